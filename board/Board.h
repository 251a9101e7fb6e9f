#pragma once

#include "platform/CodePage.h"
#include "platform/DosPath.h"
#include "platform/ShortName.h"
#include "storage/AreaConfiguration.h"
#include "storage/AreaStore.h"
#include "storage/FileIo.h"

#include <QChar>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

namespace qv {

struct Settings;
class UndoStack;

// An opened board: its area configuration, the DOS path mapping, the code page, the file base
// and the area store. The window and qvtool open a board through this and through nothing else.
class Board {
public:
    struct Options {
        QString boardDirectory; // host directory holding FILES.RA
        QMap<QChar, QString> drives; // upper-case letters
        QByteArray codePage = CodePage::kDefaultName;
        bool sendToMode = false; // groups are not read
        // An entry's file that is deleted goes to the desktop's trash, so the user can bring it
        // back from the file manager. Off unless a program turns it on (tests stay out of it).
        bool useTrash = false;
    };

    explicit Board(Options options, FileIo& io = systemFileIo());
    // The board of the settings in memory: board directory, [Drives] and code page.
    static Options optionsOf(const Settings& settings);

    FileIo& io() const { return *m_io; }
    const AreaConfiguration& config() const { return m_config; }
    const CodePage& codePage() const { return m_codePage; }
    const DosPathMapper& mapper() const { return m_mapper; }
    const QString& boardDirectory() const { return m_options.boardDirectory; }
    // Board bytes as text, through the board's code page. Text becomes bytes through
    // EditedText, which refuses a character the page lacks instead of writing a substitute.
    QString text(std::string_view bytes) const { return m_codePage.decode(bytes); }

    // The file database path as CONFIG.RA stores it (one trailing backslash removed), as text.
    QString fileBasePath() const { return text(m_fileBasePath); }
    const std::string& fileBasePathBytes() const { return m_fileBasePath; }
    // Its host directory; empty when CONFIG.RA holds none or its drive cannot be mapped, and
    // then the store refuses every operation.
    const QString& fileBaseDirectory() const { return m_fileBaseDir; }
    // Why the file base has no host directory (an unmapped drive, an empty path); empty when it has.
    const QString& fileBaseProblem() const { return m_fileBaseProblem; }
    AreaStore& store() const { return *m_store; }
    // The area as the file list shows it, after removing what dead transfers left in its
    // directory (their temporary copies).
    LoadOutcome loadArea(int area, bool useLongNames, const std::function<void(int, int)>& progress = {},
        WithPointers withPointers = WithPointers::No) const;

    bool areaExists(int area) const { return m_config.areaExists(area); }
    // The area's name as stored, as text ("" for an unknown area).
    QString areaName(int area) const;

    // An area's file directory from its FILES.RA path field, read afresh on each call.
    struct AreaDirectory {
        QString stored; // trimmed, trailing backslashes removed, for messages
        QString host; // empty when the path cannot be mapped
        QString problem;
        bool ok() const { return problem.isEmpty() && !host.isEmpty(); }
    };
    AreaDirectory areaDirectory(int area) const;
    // A stored DOS path (board bytes) as a host path; empty when it cannot be mapped.
    DosPathMapper::Mapped hostPathOf(const std::string& storedBytes) const;
    // The real file in a host directory for a row text (names without case, 8.3 aliases); the
    // plain path when none matches, so messages still name the file the sysop expects.
    static QString entryFile(const QString& hostDirectory, const QString& rowText);
    // The same for many rows of one directory: it is listed once, for the first name that is not
    // there as given, and that listing answers the rest.
    static QString entryFile(
        const QString& hostDirectory, const QString& rowText, std::optional<shortname::DirectoryNames>& listed);

    // Area selector items in FILES.RA record order: "00012: Utilities" (areas without a name are
    // left out), and the sorted names.
    QStringList numberedAreaItems() const;
    QStringList areaNamesSorted() const;
    static QString numberedItem(int area, const QString& name);

    // Finishes or undoes every change a crash interrupted; returns the areas that need attention.
    // Nothing is touched when the file base has no host directory.
    std::vector<int> recoverInterruptedChanges();

    // Deletes a file whose entry is gone: into the trash when the options want it and the file's
    // file system has one, unlinked otherwise.
    struct Discarded {
        bool gone = false; // no longer in its directory
        QString inTrash; // where it went; empty when unlinked (or not gone)
    };
    Discarded discardFile(const QString& path) const;
    bool usesTrash() const { return m_options.useTrash; }

    // The window's undo: told of every entry's file that a change puts in place or discards.
    void setUndo(UndoStack* undo) { m_undo = undo; }
    void noteFileAppeared(const QString& path) const;

private:
    Options m_options;
    FileIo* m_io;
    CodePage m_codePage;
    DosPathMapper m_mapper;
    AreaConfiguration m_config;
    std::string m_fileBasePath;
    QString m_fileBaseDir;
    QString m_fileBaseProblem;
    std::unique_ptr<AreaStore> m_store;
    UndoStack* m_undo = nullptr;
};

} // namespace qv
