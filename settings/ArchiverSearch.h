#pragma once

#include "settings/Settings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace qv {

// The archivers the first-run setup looks for: per slot, the programs that extract FILE_ID.DIZ
// from that archive type, each with the options that make it write the member into the current
// directory and overwrite an older copy without asking.
struct KnownArchiver {
    struct Program {
        QString name; // matched without regard to case
        QString options;
    };
    int slot;
    QString extension;
    std::vector<Program> programs; // preferred first when one directory holds several
};

const std::vector<KnownArchiver>& knownArchivers();

class ArchiverSearch {
public:
    // PATH split into directories in order, each ending in "/"; empty entries are skipped (they
    // would mean the current directory, which says nothing about where programs live).
    static QStringList pathDirectories(const QString& path);

    // Searches the directories in order; the first directory that holds a program of a slot wins.
    void run(const QStringList& directories, const std::function<void(const QString& progressText)>& progress = {});

    bool found(int slot) const;
    // Every known slot, found or not: the found program's path and options, else an empty path and
    // the options of the slot's Linux program.
    std::array<ArchiverSlot, 32> archiverSlots() const;
    // The found programs' paths in slot order.
    QStringList foundPaths() const;
    // Each found program once, in slot order, with the extensions it serves: "/usr/bin/7z (LZH, 7Z)".
    QStringList foundPrograms() const;
    static QString resultText(const QStringList& foundPaths);

private:
    struct Hit {
        QString path;
        QString options;
    };
    std::vector<std::optional<Hit>> m_hits = std::vector<std::optional<Hit>>(knownArchivers().size());
};

} // namespace qv
