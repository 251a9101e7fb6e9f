#include "transfer/EntryTransfer.h"

#include "board/Board.h"
#include "platform/ShortName.h"
#include "storage/AreaFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>

namespace qv {

namespace {
// Moving entries out of an area retries when the board changed it meanwhile, after checking
// that the rows are still where they were.
constexpr int kSourceAttempts = 3;

std::vector<uint64_t> positionsOf(const std::vector<Clipboard::Item>& entries)
{
    std::vector<uint64_t> out;
    out.reserve(entries.size());
    for (const auto& e : entries)
        out.push_back(e.position);
    return out;
}

QString nameKey(const QString& name)
{
    return name.trimmed().toCaseFolded();
}
} // namespace

EntryTransfer::EntryTransfer(Board& board)
    : m_board(board)
{
}

std::vector<uint64_t> EntryTransfer::moveOrder(uint64_t count, const std::vector<uint64_t>& held, uint64_t p)
{
    p = std::min(p, count);
    std::vector<bool> isHeld(size_t(count), false);
    for (uint64_t h : held)
        if (h < count)
            isHeld[size_t(h)] = true;
    std::vector<uint64_t> order;
    order.reserve(size_t(count));
    for (uint64_t j = 0; j < p; ++j)
        if (!isHeld[size_t(j)])
            order.push_back(j);
    for (uint64_t h : held)
        if (h < count)
            order.push_back(h);
    for (uint64_t j = p; j < count; ++j)
        if (!isHeld[size_t(j)])
            order.push_back(j);
    return order;
}

std::vector<uint64_t> EntryTransfer::duplicateOrder(uint64_t count, const std::vector<uint64_t>& held, uint64_t p)
{
    p = std::min(p, count);
    std::vector<uint64_t> order;
    order.reserve(size_t(count) + held.size());
    for (uint64_t j = 0; j < p; ++j)
        order.push_back(j);
    for (uint64_t h : held)
        if (h < count)
            order.push_back(h);
    for (uint64_t j = p; j < count; ++j)
        order.push_back(j);
    return order;
}

bool EntryTransfer::check(const Request& request, Outcome& outcome)
{
    AreaStore& store = m_board.store();
    auto fail = [&](Error e, bool stale = false) {
        outcome.failedAt = Stage::Checking;
        outcome.stale = stale;
        outcome.error = std::move(e);
        return false;
    };
    if (!m_board.areaExists(request.source))
        return fail(Error { ENOENT, "area " + std::to_string(request.source) + " does not exist" });
    if (request.to == To::Area && !m_board.areaExists(request.area))
        return fail(Error { ENOENT, "area " + std::to_string(request.area) + " does not exist" });
    const std::string header = areaFilePath(m_board.io(), store.fileBaseDir(), request.source, AreaFileKind::Header);
    auto stamp = m_board.io().stamp(header);
    if (!stamp)
        return fail(stamp.error());
    m_sourceStamp = *stamp;
    // Only the rows that were taken are read: the area may have been sorted or shortened since.
    auto rows = store.readRows(request.source, positionsOf(request.entries), request.useLongNames);
    if (!rows)
        return fail(rows.error(), rows.error().code == ESTALE);
    for (size_t k = 0; k < rows->size(); ++k) {
        const LoadedRow& held = request.entries[k].row;
        if ((*rows)[k].name != held.name || (*rows)[k].comment != held.comment)
            return fail(
                Error { ESTALE, "area " + std::to_string(request.source) + " no longer holds the entries" }, true);
    }
    if (request.to == To::Area && request.destinationRows) {
        if (auto same = store.expectCount(request.area, *request.destinationRows); !same)
            return fail(same.error());
    }
    return true;
}

EntryTransfer::Outcome EntryTransfer::run(const Request& request, const Callbacks& callbacks)
{
    Outcome outcome;
    if (request.entries.empty() || !check(request, outcome))
        return outcome;
    if (request.to == To::Area && request.area == request.source) {
        withinArea(request, outcome);
        return outcome;
    }
    const QString destination = request.to == To::Area ? m_board.areaDirectory(request.area).host : request.directory;
    copyFiles(request, destination, callbacks, outcome);
    if (outcome.cancelled) {
        // As a failure before the destination changed.
        undoCopies(outcome);
        outcome.failedAt = Stage::Destination;
        outcome.error = Error { ECANCELED, "the transfer was cancelled" };
        return outcome;
    }

    std::vector<uint64_t> leaving;
    if (request.to == To::Area) {
        AreaStore& store = m_board.store();
        auto count = store.count(request.area);
        if (count)
            outcome.insertedAt = std::min(request.after, *count);
        Result<void> taken = count
            ? store.takeEntries(request.area, request.after, request.source, positionsOf(request.entries))
            : Result<void>(count.error());
        if (!taken) {
            undoCopies(outcome);
            outcome.failedAt = Stage::Destination;
            outcome.error = taken.error();
            return outcome;
        }
        std::vector<uint64_t> now;
        for (uint64_t k = 0; k < request.entries.size(); ++k)
            now.push_back(outcome.insertedAt + k);
        if (auto rows = store.readRows(request.area, now, request.useLongNames))
            outcome.inserted = std::move(*rows);
        if (request.move)
            leaving = positionsOf(request.entries);
    } else if (request.move) {
        // Entries leave with their files; one whose file stayed behind (failed, or the existing
        // copy kept) stays with it. Comment lines have no file and go.
        size_t file = 0;
        for (const auto& e : request.entries) {
            if (e.row.comment) {
                leaving.push_back(e.position);
                continue;
            }
            const FileCopier::Status r = outcome.files[file++].status;
            if (r == FileCopier::Status::Copied || r == FileCopier::Status::SameFile)
                leaving.push_back(e.position);
        }
    }
    if (!leaving.empty() && !removeFromSource(request, leaving, outcome))
        return outcome;
    if (request.move)
        deleteMovedFiles(request, outcome);
    return outcome;
}

void EntryTransfer::withinArea(const Request& request, Outcome& outcome)
{
    AreaStore& store = m_board.store();
    auto count = store.count(request.source);
    if (!count) {
        outcome.failedAt = Stage::Destination;
        outcome.error = count.error();
        return;
    }
    const std::vector<uint64_t> held = positionsOf(request.entries);
    const uint64_t p = std::min(request.after, *count);
    std::vector<uint64_t> order = request.move ? moveOrder(*count, held, p) : duplicateOrder(*count, held, p);
    if (auto written = store.rewrite(request.source, RewritePlan::permutation(order), m_sourceStamp); !written) {
        outcome.failedAt = Stage::Destination;
        outcome.error = written.error();
        return;
    }
    uint64_t inFront = p;
    if (request.move)
        inFront -= uint64_t(std::count_if(held.begin(), held.end(), [p](uint64_t h) { return h < p; }));
    outcome.insertedAt = inFront;
    for (const auto& e : request.entries)
        outcome.inserted.push_back(e.row);
    outcome.order = std::move(order);
}

void EntryTransfer::copyFiles(
    const Request& request, const QString& destination, const Callbacks& callbacks, Outcome& outcome)
{
    const Board::AreaDirectory source = m_board.areaDirectory(request.source);
    const FileCopier copier(m_board.io());
    // Each directory is listed once, however many files go.
    std::optional<shortname::DirectoryNames> from, to;
    for (const auto& e : request.entries) {
        if (e.row.comment)
            continue; // a comment line has no file
        const QString rowText = m_board.text(e.row.name).trimmed();
        FileCopier::Copy copy;
        if (source.ok()) {
            if (!from) {
                copier.removeLeftovers(destination);
                from.emplace(source.host);
                to.emplace(destination);
            }
            const QString found = from->find(rowText);
            const QString path = found.isEmpty() ? source.host + QLatin1Char('/') + rowText : found;
            if (callbacks.copying)
                callbacks.copying(path);
            copy = copier.copyInto(path, destination, callbacks.copy, &*to);
        } else {
            if (callbacks.copying)
                callbacks.copying(source.stored + QLatin1Char('\\') + rowText);
            copy.source = source.stored + QLatin1Char('\\') + rowText;
            copy.destination = destination + QLatin1Char('/') + rowText;
            copy.error = source.problem;
        }
        if (copy.status == FileCopier::Status::Failed && callbacks.copyFailed)
            callbacks.copyFailed(copy);
        outcome.cancelled = copy.status == FileCopier::Status::Cancelled;
        outcome.files.push_back(std::move(copy));
        if (outcome.cancelled)
            break;
    }
}

bool EntryTransfer::removeFromSource(const Request& request, const std::vector<uint64_t>& positions, Outcome& outcome)
{
    AreaStore& store = m_board.store();
    FileIo::Stamp since = m_sourceStamp;
    Error last { EIO, "" };
    for (int attempt = 0; attempt < kSourceAttempts; ++attempt) {
        if (attempt > 0) {
            // The board changed the area: go on only when the rows are still where they were.
            const std::string header
                = areaFilePath(m_board.io(), store.fileBaseDir(), request.source, AreaFileKind::Header);
            auto stamp = m_board.io().stamp(header);
            auto rows = store.readRows(request.source, positionsOf(request.entries), request.useLongNames);
            if (!stamp || !rows)
                break;
            bool same = true;
            for (size_t k = 0; k < rows->size() && same; ++k)
                same = (*rows)[k].name == request.entries[k].row.name;
            if (!same) {
                last = Error { ESTALE, "area " + std::to_string(request.source) + " no longer holds the entries" };
                break;
            }
            since = *stamp;
        }
        auto count = store.count(request.source);
        if (!count) {
            last = count.error();
            break;
        }
        auto removed = store.rewrite(request.source, RewritePlan::removal(*count, positions), since);
        if (removed) {
            outcome.removed = positions;
            return true;
        }
        last = removed.error();
        if (last.code != kChangedMeanwhile)
            break;
    }
    outcome.failedAt = Stage::Source;
    outcome.error = last;
    return false;
}

void EntryTransfer::deleteMovedFiles(const Request& request, Outcome& outcome)
{
    if (outcome.removed.empty())
        return;
    QStringList candidates;
    for (const FileCopier::Copy& c : outcome.files)
        if (c.status == FileCopier::Status::Copied)
            candidates.append(c.source);
    if (candidates.isEmpty())
        return;
    // A file another entry of the source still names stays for it.
    QSet<QString> remaining;
    const LoadOutcome left = m_board.store().load(request.source, request.useLongNames);
    for (const LoadedRow& row : left.rows)
        if (!row.comment)
            remaining.insert(nameKey(m_board.text(row.name)));
    std::optional<QHash<QString, QString>> aliases; // of the source directory, made once
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        bool named = left.error || remaining.contains(nameKey(info.fileName()));
        if (!named) {
            if (!aliases)
                aliases = shortname::shortNamesFor(
                    QDir(info.absolutePath())
                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
            named = remaining.contains(nameKey(aliases->value(info.fileName())));
        }
        if (named) {
            outcome.keptShared.append(path);
            continue;
        }
        if (m_board.io().remove(QFile::encodeName(path).toStdString()))
            outcome.deleted.append(path);
    }
}

void EntryTransfer::undoCopies(const Outcome& outcome)
{
    for (const FileCopier::Copy& c : outcome.files)
        if (c.status == FileCopier::Status::Copied && !c.replaced)
            (void)m_board.io().remove(QFile::encodeName(c.destination).toStdString());
}

} // namespace qv
