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

EntryRemover::Outcome EntryRemover::remove(int area, const LoadedRows& rows, std::vector<int> selected, const Ask& ask)
{
    Outcome outcome;
    const int n = int(rows.size());
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    std::erase_if(selected, [n](int p) { return p < 0 || p >= n; });
    if (selected.empty())
        return outcome;

    AreaStore& store = m_board.store();

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
    std::optional<shortname::DirectoryNames> listed;
    std::optional<DeletionAnswer> standing; // Yes to All or No to All
    for (int p : selected) {
        const LoadedRow& row = rows[size_t(p)];
        if (row.comment || !directory.ok() || standing == DeletionAnswer::NoToAll)
            continue;
        const QString rowText = m_board.text(row.name);
        const QString path = Board::entryFile(directory.host, rowText, listed);
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

    // Only the rows shown go, and only while they are where they were shown; whatever else the
    // area holds by now stays.
    std::vector<uint64_t> positions(selected.begin(), selected.end());
    std::vector<RowIdentity> shown;
    for (int p : selected)
        shown.push_back(identityOf(rows[size_t(p)], uint64_t(p)));
    auto count = store.count(area);
    if (!count) {
        outcome.error = count.error();
        return outcome;
    }
    if (auto written = store.rewrite(area, RewritePlan::removal(*count, positions), shown); !written) {
        outcome.error = written.error();
        return outcome;
    }
    outcome.removed = positions;
    outcome.carried = store.lastCarriedOver();
    outcome.filesNotLookedFor = unknownDirectory;

    // The records no longer name these files; a failure to delete one is not reported.
    toDelete.removeDuplicates();
    for (const QString& path : toDelete) {
        const Board::Discarded d = m_board.discardFile(path);
        (d.gone ? outcome.deleted : outcome.notDeleted).append(path);
        if (!d.inTrash.isEmpty())
            outcome.trashed.append(path);
    }

    QList<QByteArray> removed;
    removed.reserve(qsizetype(positions.size()));
    for (const RowIdentity& r : shown)
        removed.append(QByteArray(reinterpret_cast<const char*>(r.record.data()), qsizetype(r.record.size())));
    emit entriesRemoved(area, removed);
    return outcome;
}

} // namespace qv
