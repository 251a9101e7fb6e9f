#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qv {

class Board;

// What a transfer killed half way leaves in the areas' directories: its temporary copies
// (.qvcopy-PID-N.tmp); files still in the source directory that moved entries now name in the
// destination (a move killed while it deleted); copies whose entries never arrived.
class TransferLeftovers {
public:
    // The temporary file a copy of this process writes first, in directory.
    static QString temporaryCopyIn(const QString& directory);
    // The process that wrote a temporary copy of this name; 0 for any other name.
    static qint64 writerOf(const QString& fileName);
    // Removes the temporary copies in directory whose process has ended.
    static void removeDeadCopies(const QString& directory);

    explicit TransferLeftovers(Board& board);
    // One line per leftover in the area's directory; empty when there is none (or no directory).
    // The entries of every area are read once, on the first need.
    QStringList find(int area);

private:
    struct Named {
        int area = 0;
        QString directory;
        QString canonical; // the directory with links resolved, to tell areas sharing one
        QHash<QString, uint64_t> positions; // case-folded row texts, long and short, -> entry
    };
    Named namedIn(int area) const;

    Board& m_board;
    std::optional<std::vector<Named>> m_areas;
};

} // namespace qv
