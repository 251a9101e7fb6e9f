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

EntryUpdater::Outcome EntryUpdater::update(int area, const LoadedRows& rows, std::vector<int> selected,
    const std::function<void(size_t done, size_t total)>& checked)
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
    std::vector<FieldPatch> patches;
    std::optional<shortname::DirectoryNames> listed;
    size_t done = 0;
    for (int p : selected) {
        if (checked)
            checked(done++, selected.size());
        const QString rowText = m_board.text(rows[size_t(p)].name);
        // The record shown is the one updated; the change is refused when it is no longer there.
        HeaderRecord record = HeaderRecord::decode(rows[size_t(p)].record);
        const QString path = Board::entryFile(directory.host, rowText, listed);
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
        // Only the three fields are written, in place: the index and long-name files are not
        // touched, so one the board left short or missing is no obstacle.
        auto field = [&](size_t offset, size_t width, const HeaderRecord& from) {
            const auto begin = from.encode().begin() + std::ptrdiff_t(offset);
            patches.push_back({ AreaFileKind::Header, uint64_t(p), offset,
                std::vector<uint8_t>(begin, begin + std::ptrdiff_t(width)), std::nullopt });
        };
        record.setSize(change.size);
        record.setFileDate(change.fileDate);
        record.setAttributes(change.attributes);
        field(HeaderRecord::kSizeOffset, 4, record);
        field(HeaderRecord::kFileDateOffset, 4, record);
        field(HeaderRecord::kAttributesOffset, 1, record);
        change.record = record.encode();
        outcome.changed.push_back(change);
    }
    if (patches.empty())
        return outcome;

    // All patches in one change of the area, so an update is all or nothing; it is refused when a
    // record shown is no longer where it was.
    std::vector<RowIdentity> shown;
    for (const Changed& change : outcome.changed)
        shown.push_back(identityOf(rows[size_t(change.position)], change.position));
    if (auto written = store.patchRecords(area, {}, std::move(patches), shown); !written) {
        outcome.error = written.error();
        outcome.changed.clear();
    }
    return outcome;
}

} // namespace qv
