#include "editing/EntryRemover.h"

#include "board/Board.h"
#include "platform/ShortName.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace qv {

namespace {
// Row texts name files without regard to case, by their own name or by their 8.3 alias.
QString nameKey(const QString& name)
{
    return name.trimmed().toCaseFolded();
}
}

EntryRemover::EntryRemover(Board& board, QObject* parent)
    : QObject(parent)
    , m_board(board)
{
}

EntryRemover::Outcome EntryRemover::remove(
    int area, const std::vector<LoadedRow>& rows, std::vector<int> selected, const Ask& ask)
{
    Outcome outcome;
    const int n = int(rows.size());
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    std::erase_if(selected, [n](int p) { return p < 0 || p >= n; });
    if (selected.empty())
        return outcome;

    AreaStore& store = m_board.store();
    // The rows must still be the area's records, or the plan would drop what was added since.
    if (auto same = store.expectCount(area, uint64_t(n)); !same) {
        outcome.error = same.error();
        return outcome;
    }

    std::vector<bool> removing(size_t(n), false);
    for (int p : selected)
        removing[size_t(p)] = true;
    // Names of the files the remaining entries reach; built when the first file is in question.
    std::optional<QSet<QString>> remainingNames;
    auto namedByRemaining = [&](const QString& path) {
        if (!remainingNames) {
            remainingNames.emplace();
            for (int i = 0; i < n; ++i)
                if (!removing[size_t(i)] && !rows[size_t(i)].comment)
                    remainingNames->insert(nameKey(m_board.text(rows[size_t(i)].name)));
        }
        const QFileInfo info(path);
        return remainingNames->contains(nameKey(info.fileName()))
            || remainingNames->contains(nameKey(shortname::shortNameInDirectory(info.absolutePath(), info.fileName())));
    };

    // Only deleting a file needs the directory: without one the entries still go, and the
    // outcome says that their files could not be looked for.
    const Board::AreaDirectory directory = m_board.areaDirectory(area);
    const bool filesInQuestion
        = ask && std::any_of(selected.begin(), selected.end(), [&](int p) { return !rows[size_t(p)].comment; });
    const QString unknownDirectory = filesInQuestion && !directory.ok()
        ? (directory.problem.isEmpty() ? QStringLiteral("the area has no file path") : directory.problem)
        : QString();
    QStringList toDelete;
    std::optional<DeletionAnswer> standing; // Yes to All or No to All
    for (int p : selected) {
        const LoadedRow& row = rows[size_t(p)];
        if (row.comment || !directory.ok() || standing == DeletionAnswer::NoToAll)
            continue;
        const QString rowText = m_board.text(row.name);
        const QString path = Board::entryFile(directory.host, rowText);
        // A missing file is a Yes for its row: there is nothing to delete.
        if (!QFileInfo(path).isFile())
            continue;
        if (namedByRemaining(path)) {
            outcome.keptShared.append(rowText);
            continue;
        }
        if (standing == DeletionAnswer::YesToAll) {
            toDelete.append(path);
            continue;
        }
        if (!ask)
            continue;
        switch (ask(rowText)) {
        case DeletionAnswer::Cancel:
            outcome.cancelled = true;
            return outcome;
        case DeletionAnswer::YesToAll:
            standing = DeletionAnswer::YesToAll;
            [[fallthrough]];
        case DeletionAnswer::Yes:
            toDelete.append(path);
            break;
        case DeletionAnswer::NoToAll:
            standing = DeletionAnswer::NoToAll;
            break;
        case DeletionAnswer::No:
            break;
        }
    }

    std::vector<uint64_t> positions(selected.begin(), selected.end());
    if (auto written = store.rewrite(area, RewritePlan::removal(uint64_t(n), positions)); !written) {
        outcome.error = written.error();
        return outcome;
    }
    outcome.removed = positions;
    outcome.filesNotLookedFor = unknownDirectory;

    // The records no longer name these files; a failure to delete one is not reported.
    toDelete.removeDuplicates();
    for (const QString& path : toDelete) {
        if (m_board.io().remove(QFile::encodeName(path).toStdString()))
            outcome.deleted.append(path);
        else
            outcome.notDeleted.append(path);
    }

    QList<qint64> removed;
    removed.reserve(qsizetype(positions.size()));
    for (uint64_t p : positions)
        removed.append(qint64(p));
    emit entriesRemoved(area, removed);
    return outcome;
}

} // namespace qv
