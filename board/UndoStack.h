#pragma once

#include "storage/UndoKeeper.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace qv {

class Board;

// Undo and redo of the window's changes. Every change of the board's store between begin() and
// end() (or, outside them, every change made before the event loop turns again) is one step:
// what the change replaced is kept by an UndoKeeper in a private directory, the files of entries
// that appeared or went to the trash are noted. An undo is a change of the store like any other
// (AreaStore::restore), refused when an area no longer holds what the step left; it keeps what
// it replaces, which is the redo. The steps together keep at most limitBytes; the oldest go first.
class UndoStack : public ChangeRecorder {
public:
    struct FileOp {
        enum class Kind {
            Appeared, // the step put a file there (a copy); undone by the trash
            Trashed, // the step moved it to the trash; undone by bringing it back
            Unlinked, // deleted for good: cannot be brought back
        };
        Kind kind = Kind::Appeared;
        QString path;
        QString inTrash;
    };
    struct Outcome {
        bool done = false;
        QString message; // why it was refused, or what could not be brought back
        std::vector<int> areas; // areas it changed
    };

    static constexpr uint64_t kDefaultLimit = uint64_t(512) << 20;

    // directory is made (mode 0700) when missing and removed with everything in it at the end.
    UndoStack(Board& board, QString directory, uint64_t limitBytes = kDefaultLimit);
    ~UndoStack() override;
    UndoStack(const UndoStack&) = delete;
    UndoStack& operator=(const UndoStack&) = delete;

    // $XDG_STATE_HOME/quorvex/undo/<process id>, ~/.local/state without the variable.
    static QString defaultDirectory();
    // Removes the directories of runs that are no longer running (a crash leaves its own).
    static void removeStale();

    // Brackets one step named text ("Sort", "Remove of 3 entries"); nested brackets are one step.
    void begin(const QString& text);
    void end();
    // The name a step gets that starts outside a bracket (the command whose dialog applies).
    void setPendingText(const QString& text) { m_pendingText = text; }

    void noteFile(FileOp op);
    // Called whenever a step is added, undone, redone or dropped.
    void setChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // The menu's texts: "&Undo Sort", "&Redo Sort"; "&Undo" when nothing was done, and "Can't
    // Undo" once the steps that are left were dropped to stay within the limit.
    QString undoText() const;
    QString redoText() const;
    uint64_t bytesKept() const;

    Outcome undo();
    Outcome redo();

    void committing(int area, std::span<const Touch> touches) override;
    void committed(int area, bool lateWrites) override;

private:
    struct Step {
        QString text;
        KeptChange change;
        std::vector<FileOp> files;
    };
    void open(const QString& text, bool automatic);
    void seal();
    void push(std::vector<Step>& onto, Step step, bool clearRedo);
    void drop(Step& step);
    Outcome apply(std::vector<Step>& from, std::vector<Step>& to, bool undoing);

    Board& m_board;
    QString m_directory;
    uint64_t m_limit;
    std::unique_ptr<UndoKeeper> m_keeper;
    int m_depth = 0;
    bool m_automatic = false;
    bool m_applying = false;
    QString m_text;
    QString m_pendingText;
    std::vector<FileOp> m_files;
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_dropped = false;
    std::function<void()> m_changed;
    std::shared_ptr<bool> m_alive; // tells a queued seal that the stack is gone
};

} // namespace qv
