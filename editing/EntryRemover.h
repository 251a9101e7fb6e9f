#pragma once

#include "storage/AreaStore.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;

// The answers of the "Confirm Deletion" question, in the order of its buttons.
enum class DeletionAnswer { Yes, YesToAll, No, NoToAll, Cancel };

// Removes entries of one area and, as answered, their files. Every question is asked before
// anything changes, the records go in one rewrite of the area, and only once that rewrite is
// committed are the files deleted, so a cancel or a crash never leaves a listed entry without
// its file.
class EntryRemover : public QObject {
    Q_OBJECT
public:
    // Asked for each file that exists and is named by no remaining entry, with the row text.
    using Ask = std::function<DeletionAnswer(const QString& rowText)>;

    struct Outcome {
        bool cancelled = false; // nothing changed
        std::vector<uint64_t> removed; // 0-based positions before the removal, ascending
        QStringList deleted; // host paths of the files deleted
        QStringList trashed; // those of them that went to the trash
        QStringList notDeleted; // answered Yes, but deleting failed (not reported by the window)
        QStringList keptShared; // row texts whose file another remaining entry still names
        QString filesNotLookedFor; // why no file was looked for (the area has no usable directory)
        std::optional<Error> error; // the rewrite failed: nothing was deleted
        CarriedOver carried; // what the board wrote meanwhile, kept in the new files
        bool ok() const { return !cancelled && !error; }
    };

    explicit EntryRemover(Board& board, QObject* parent = nullptr);

    // rows: every row of the area as loaded (row texts as the list shows them); selected:
    // 0-based positions, any order. The removal is refused (kRowsChanged) unless the selected
    // positions still hold the records shown. Without ask no file is deleted.
    Outcome remove(int area, const LoadedRows& rows, std::vector<int> selected, const Ask& ask = {});

signals:
    // After a committed removal: the header records removed, for whoever holds entries of the
    // area (the internal clipboard).
    void entriesRemoved(int area, const QList<QByteArray>& records);

private:
    Board& m_board;
};

} // namespace qv
