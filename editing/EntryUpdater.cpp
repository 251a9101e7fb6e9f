#include "editing/EntryUpdater.h"

#include "board/Board.h"
#include "storage/HeaderRecord.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace qv {

EntryUpdater::EntryUpdater(Board& board)
    : m_board(board)
{
}

int32_t EntryUpdater::missingFileDate()
{
    return enc::encodeDate({ 1980, 1, 1 });
}

EntryUpdater::Outcome EntryUpdater::update(int area, const std::vector<LoadedRow>& rows, std::vector<int> selected)
{
    Outcome outcome;
    const int n = int(rows.size());
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    std::erase_if(selected, [&](int p) { return p < 0 || p >= n || rows[size_t(p)].comment; });
    if (selected.empty())
        return outcome;

    AreaStore& store = m_board.store();

    // Without its directory every file would look missing and be marked so.
    const Board::AreaDirectory directory = m_board.areaDirectory(area);
    if (!directory.ok()) {
        outcome.error = Error { ENOENT, directory.problem.toStdString() };
        return outcome;
    }
    FileIo& io = m_board.io();
    std::vector<NewEntry> replaced;
    for (int p : selected) {
        const QString rowText = m_board.text(rows[size_t(p)].name);
        // The record shown is the one updated; the rewrite refuses when it is no longer there.
        HeaderRecord record = HeaderRecord::decode(rows[size_t(p)].record);
        const QString path = Board::entryFile(directory.host, rowText);
        const QFileInfo info(path);
        Changed change { uint64_t(p), 0, missingFileDate(), record.attributes(), false };
        if (!info.isFile()) {
            change.missing = true;
            change.attributes |= uint8_t(Attribute::MissingOffline);
            outcome.missing.append(rowText);
        } else {
            // The length is taken from the opened file: one that cannot be opened is left alone.
            auto handle = io.open(QFile::encodeName(path).toStdString(), FileIo::Mode::Read);
            if (!handle) {
                outcome.skipped.append(rowText);
                continue;
            }
            ScopedHandle opened(io, *handle);
            auto length = io.size(*handle);
            if (!length) {
                outcome.skipped.append(rowText);
                continue;
            }
            change.size = int32_t(std::min<uint64_t>(*length, uint64_t(std::numeric_limits<int32_t>::max())));
            const QDate day = info.lastModified().date();
            change.fileDate = enc::encodeDate({ day.year(), day.month(), day.day() });
        }
        if (record.size() == change.size && record.fileDate() == change.fileDate
            && record.attributes() == change.attributes)
            continue;
        record.setSize(change.size);
        record.setFileDate(change.fileDate);
        record.setAttributes(change.attributes);
        auto index = store.readIndex(area, uint64_t(p));
        auto longName = store.readLongName(area, uint64_t(p));
        if (!index || !longName) {
            outcome.error = !index ? index.error() : longName.error();
            return outcome;
        }
        replaced.push_back({ record, *index, *longName });
        change.record = record.encode();
        outcome.changed.push_back(change);
    }
    if (replaced.empty())
        return outcome;

    // The changed records replace the old ones in one rewrite, so an update is all or nothing.
    auto count = store.count(area);
    if (!count) {
        outcome.error = count.error();
        outcome.changed.clear();
        return outcome;
    }
    RewritePlan plan;
    std::vector<RowIdentity> shown;
    uint64_t next = 0;
    for (size_t k = 0; k < replaced.size(); ++k) {
        const uint64_t p = outcome.changed[k].position;
        shown.push_back(identityOf(rows[size_t(p)], p));
        plan.keep(next, p - next);
        plan.add(std::move(replaced[k]));
        next = p + 1;
    }
    plan.keep(next, std::max(*count, next) - next);
    if (auto written = store.rewrite(area, plan, shown); !written) {
        outcome.error = written.error();
        outcome.changed.clear();
    } else {
        outcome.carried = store.lastCarriedOver();
    }
    return outcome;
}

} // namespace qv
