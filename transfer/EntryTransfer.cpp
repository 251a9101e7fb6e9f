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
#include <numeric>

namespace qv {

namespace {
// Moving entries out of an area retries when another program changed it meanwhile, finding the
// entries again where they are.
constexpr int kSourceAttempts = 3;

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

const Clipboard::Item& EntryTransfer::item(const Request& request, size_t k)
{
    return k < request.entries.size() ? request.entries[k] : request.removedWith[k - request.entries.size()];
}

size_t EntryTransfer::itemCount(const Request& request)
{
    return request.entries.size() + (request.move ? request.removedWith.size() : 0);
}

std::vector<RowIdentity> EntryTransfer::identities(const Request& request, const std::vector<size_t>& which) const
{
    std::vector<RowIdentity> out;
    out.reserve(which.size());
    for (size_t k : which)
        out.push_back({ m_positions[k], item(request, k).row.record });
    return out;
}

bool EntryTransfer::locate(const Request& request, Outcome& outcome)
{
    std::vector<std::array<uint8_t, HeaderRecord::kSize>> records;
    records.reserve(itemCount(request));
    for (size_t k = 0; k < itemCount(request); ++k)
        records.push_back(item(request, k).row.record);
    auto found = m_board.store().locate(request.source, records);
    if (!found) {
        outcome.error = found.error();
        return false;
    }
    if (found->ambiguous && !found->missing) {
        // Identical records (a copy pasted into its own area makes them): each entry is taken
        // where it was held, when that place still holds it.
        std::vector<uint64_t> held;
        for (size_t k = 0; k < itemCount(request); ++k)
            held.push_back(item(request, k).position);
        auto rows = m_board.store().readRows(request.source, held, false);
        bool all = bool(rows);
        for (size_t k = 0; all && k < rows->size(); ++k)
            all = HeaderRecord::sameButCounted((*rows)[k].record.data(), item(request, k).row.record.data());
        if (all) {
            m_positions = std::move(held);
            return true;
        }
    }
    if (found->missing || found->ambiguous) {
        outcome.gone = found->missing;
        outcome.ambiguous = found->ambiguous;
        outcome.error = Error { kRowsChanged, "area " + std::to_string(request.source) + " no longer holds the entry" };
        return false;
    }
    m_positions = std::move(found->positions);
    return true;
}

bool EntryTransfer::check(const Request& request, Outcome& outcome)
{
    AreaStore& store = m_board.store();
    auto fail = [&](Error e) {
        outcome.failedAt = Stage::Checking;
        outcome.stale = e.code == kRowsChanged;
        outcome.error = std::move(e);
        return false;
    };
    if (!m_board.areaExists(request.source))
        return fail(Error { ENOENT, "area " + std::to_string(request.source) + " does not exist" });
    if (request.to == To::Area && !m_board.areaExists(request.area))
        return fail(Error { ENOENT, "area " + std::to_string(request.area) + " does not exist" });
    if (request.locate) {
        if (!locate(request, outcome))
            return fail(*outcome.error);
        return true;
    }
    m_positions.clear();
    for (size_t k = 0; k < itemCount(request); ++k)
        m_positions.push_back(item(request, k).position);
    // Before any file is copied: the rows must still be the entries shown. The store checks
    // them again when each area's change commits.
    auto rows = store.readRows(request.source, m_positions, false);
    if (!rows)
        return fail(
            rows.error().code == ESTALE ? Error { kRowsChanged, rowsChangedMessage(request.source) } : rows.error());
    for (size_t k = 0; k < rows->size(); ++k)
        // The same entry: equal outside the fields the board bumps in place.
        if (!HeaderRecord::sameButCounted((*rows)[k].record.data(), item(request, k).row.record.data()))
            return fail(Error { kRowsChanged, rowsChangedMessage(request.source) });
    return true;
}

EntryTransfer::Outcome EntryTransfer::run(const Request& request, const Callbacks& callbacks)
{
    Outcome outcome;
    if (request.move && !request.removedWith.empty() && request.to == To::Area && request.area == request.source) {
        outcome.failedAt = Stage::Checking;
        outcome.error = Error { EINVAL, "rows removed with a move need another area" };
        return outcome;
    }
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

    std::vector<size_t> leaving;
    if (request.to == To::Area) {
        AreaStore& store = m_board.store();
        const uint64_t p = request.behind ? request.behind->position + 1 : request.after;
        auto count = store.count(request.area);
        if (count)
            outcome.insertedAt = std::min(p, *count);
        std::vector<size_t> all(request.entries.size());
        std::iota(all.begin(), all.end(), size_t(0));
        const std::vector<RowIdentity> shown = identities(request, all);
        std::vector<RowIdentity> here;
        if (request.behind)
            here.push_back(*request.behind);
        const std::vector<uint64_t> taking(m_positions.begin(), m_positions.begin() + long(all.size()));
        Result<void> taken = count ? store.takeEntries(request.area, p, request.source, taking, shown, here)
                                   : Result<void>(count.error());
        if (!taken) {
            undoCopies(outcome);
            outcome.failedAt = Stage::Destination;
            outcome.stale = taken.error().code == kRowsChanged;
            outcome.error = taken.error();
            return outcome;
        }
        std::vector<uint64_t> now;
        for (uint64_t k = 0; k < request.entries.size(); ++k)
            now.push_back(outcome.insertedAt + k);
        if (auto rows = store.readRows(request.area, now, request.useLongNames))
            outcome.inserted = std::move(*rows);
        if (request.move)
            leaving = all;
        else
            outcome.heldNow = taking;
    } else if (request.move) {
        // Entries leave with their files; one whose file stayed behind (failed, or the existing
        // copy kept) stays with it. Comment lines have no file and go.
        size_t file = 0;
        for (size_t k = 0; k < request.entries.size(); ++k) {
            if (request.entries[k].row.comment) {
                leaving.push_back(k);
                continue;
            }
            const FileCopier::Status r = outcome.files[file++].status;
            if (r == FileCopier::Status::Copied || r == FileCopier::Status::SameFile)
                leaving.push_back(k);
        }
    }
    if (request.move)
        for (size_t k = request.entries.size(); k < itemCount(request); ++k)
            leaving.push_back(k);
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
    const std::vector<uint64_t>& held = m_positions;
    const uint64_t p = std::min(request.behind ? request.behind->position + 1 : request.after, *count);
    std::vector<uint64_t> order = request.move ? moveOrder(*count, held, p) : duplicateOrder(*count, held, p);
    std::vector<size_t> all(request.entries.size());
    std::iota(all.begin(), all.end(), size_t(0));
    std::vector<RowIdentity> expected = identities(request, all);
    if (request.behind)
        expected.push_back(*request.behind);
    if (auto written = store.rewrite(request.source, RewritePlan::permutation(order), expected); !written) {
        outcome.failedAt = Stage::Destination;
        outcome.stale = written.error().code == kRowsChanged;
        outcome.error = written.error();
        return;
    }
    uint64_t inFront = p;
    if (request.move)
        inFront -= uint64_t(std::count_if(held.begin(), held.end(), [p](uint64_t h) { return h < p; }));
    outcome.insertedAt = inFront;
    // The copies went in front of the held entries that stood behind the insertion point.
    for (uint64_t h : held)
        outcome.heldNow.push_back(h < p ? h : h + held.size());
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
        if (copy.status == FileCopier::Status::Copied && !copy.replaced)
            m_board.noteFileAppeared(copy.destination);
        outcome.cancelled = copy.status == FileCopier::Status::Cancelled;
        outcome.files.push_back(std::move(copy));
        if (outcome.cancelled)
            break;
    }
}

bool EntryTransfer::removeFromSource(const Request& request, const std::vector<size_t>& leaving, Outcome& outcome)
{
    AreaStore& store = m_board.store();
    Error last { EIO, "" };
    for (int attempt = 0; attempt < kSourceAttempts; ++attempt) {
        // The destination holds the entries now: when another program moved them meanwhile, they
        // are removed from where they are.
        if (attempt > 0 && !locate(request, outcome)) {
            last = *outcome.error;
            outcome.gone.reset();
            outcome.ambiguous.reset();
            break;
        }
        auto count = store.count(request.source);
        if (!count) {
            last = count.error();
            break;
        }
        std::vector<RowIdentity> expected = identities(request, leaving);
        std::vector<uint64_t> positions;
        for (const RowIdentity& r : expected)
            positions.push_back(r.position);
        std::sort(positions.begin(), positions.end());
        auto removed = store.rewrite(request.source, RewritePlan::removal(*count, positions), expected);
        if (removed) {
            outcome.removed = positions;
            return true;
        }
        last = removed.error();
        if (last.code != kChangedMeanwhile && last.code != kRowsChanged)
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
    if (request.deleteRemovedFiles && !request.removedWith.empty()) {
        const Board::AreaDirectory source = m_board.areaDirectory(request.source);
        if (source.ok()) {
            const shortname::DirectoryNames names(source.host);
            for (const Clipboard::Item& e : request.removedWith)
                if (!e.row.comment)
                    if (const QString found = names.find(m_board.text(e.row.name)); !found.isEmpty())
                        candidates.append(found);
            candidates.removeDuplicates();
        }
    }
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
        const Board::Discarded d = m_board.discardFile(path);
        if (d.gone)
            outcome.deleted.append(path);
        if (!d.inTrash.isEmpty())
            outcome.trashed.append(path);
    }
}

void EntryTransfer::undoCopies(const Outcome& outcome)
{
    for (const FileCopier::Copy& c : outcome.files)
        if (c.status == FileCopier::Status::Copied && !c.replaced)
            (void)m_board.io().remove(QFile::encodeName(c.destination).toStdString());
}

} // namespace qv
