#include "storage/AreaStore.h"

#include "storage/AreaFiles.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace qv {

AreaStore::AreaStore(FileIo& io, std::string fileBaseDir)
    : m_io(&io)
    , m_fileBaseDir(std::move(fileBaseDir))
{
}

std::string AreaStore::path(int area, AreaFileKind kind) const
{
    return areaFilePath(*m_io, m_fileBaseDir, area, kind);
}

LoadOutcome AreaStore::load(int area, bool useLongNames, const std::function<void(int, int)>& progress)
{
    // A rewrite that could not be finished keeps its journal; the old or new files still load.
    (void)recover(area);
    LoadOutcome outcome;
    auto fail = [&](const Error& e) {
        const bool missing
            = e.code == ENOENT || e.code == ENOTDIR || e.code == EACCES || e.code == EIO || e.code == ENAMETOOLONG;
        outcome.rows.clear();
        outcome.error = LoadError { missing ? LoadError::Kind::FileBasePathNotFound : LoadError::Kind::Unexpected,
            e.code, e.message };
        return outcome;
    };
    auto hdr = m_io->open(areaFilePath(*m_io, m_fileBaseDir, area, AreaFileKind::Header), FileIo::Mode::Read);
    if (!hdr)
        return fail(hdr.error());
    ScopedHandle header(*m_io, *hdr);
    std::optional<ScopedHandle> longNames;
    if (useLongNames) {
        if (auto l = m_io->open(areaFilePath(*m_io, m_fileBaseDir, area, AreaFileKind::LongName), FileIo::Mode::Read))
            longNames.emplace(*m_io, *l);
    }
    auto length = m_io->size(header.get());
    if (!length)
        return fail(length.error());
    const auto count = int(recordCount(*length, AreaFileKind::Header));
    outcome.rows.reserve(size_t(count));
    // Read in blocks; the records are still taken one by one in file order.
    constexpr int kBlock = 512;
    std::vector<uint8_t> block(size_t(kBlock) * HeaderRecord::kSize);
    for (int first = 0; first < count; first += kBlock) {
        const int n = std::min(kBlock, count - first);
        auto got = m_io->readAt(
            header.get(), uint64_t(first) * HeaderRecord::kSize, block.data(), size_t(n) * HeaderRecord::kSize);
        if (!got)
            return fail(got.error());
        for (int k = 0; k < n && size_t(k + 1) * HeaderRecord::kSize <= *got; ++k) {
            const int i = first + k + 1;
            if (progress && i % 10 == 0)
                progress(i, count);
            const auto record = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(
                block.data() + size_t(k) * HeaderRecord::kSize, HeaderRecord::kSize));
            std::string longName;
            if (longNames) {
                uint8_t field[256] = {};
                if (auto r = m_io->readAt(longNames->get(), uint64_t(i - 1) * 256, field, sizeof field); r && *r > 0)
                    longName = enc::getText(field, 255);
            }
            LoadedRow row;
            row.comment = text::trim(record.name()).empty();
            row.name = text::displayName(record.name(), longName);
            row.size = record.size();
            row.checksum = record.checksum();
            row.uploader = record.uploader();
            row.uploadDate = record.uploadDate();
            row.fileDate = record.fileDate();
            row.lastDownloadDate = record.lastDownloadDate();
            row.downloads = record.downloads();
            outcome.rows.push_back(std::move(row));
        }
    }
    return outcome;
}

Result<uint64_t> AreaStore::count(int area)
{
    const std::string hdr = path(area, AreaFileKind::Header);
    if (!m_io->exists(hdr))
        return uint64_t(0);
    auto length = m_io->fileSize(hdr);
    if (!length)
        return length.error();
    return recordCount(*length, AreaFileKind::Header);
}

Result<int32_t> AreaStore::appendDescription(int area, std::string_view text)
{
    auto h = m_io->open(path(area, AreaFileKind::Description), FileIo::Mode::Append);
    if (!h)
        return h.error();
    ScopedHandle file(*m_io, *h);
    auto length = m_io->size(*h);
    if (!length)
        return length.error();
    if (*length + text.size() + 1 > uint64_t(std::numeric_limits<int32_t>::max()))
        return Error { EFBIG, "the description file would pass 2 GiB" };
    std::string bytes(text);
    bytes.push_back('\0');
    auto written = m_io->writeAt(*h, *length, bytes.data(), bytes.size());
    if (written)
        written = m_io->sync(*h);
    if (!written) {
        // Half a text without its zero byte would run into the next one appended.
        (void)m_io->truncate(*h, *length);
        return written.error();
    }
    if (auto closed = file.close(); !closed)
        return closed.error();
    return int32_t(*length);
}

Result<void> AreaStore::insertEntry(int area, uint64_t p, NewEntry entry, std::string_view description)
{
    auto records = count(area);
    if (!records)
        return records.error();
    const std::string txt = path(area, AreaFileKind::Description);
    const bool hadDescriptions = m_io->exists(txt);
    uint64_t oldLength = 0;
    if (hadDescriptions) {
        auto n = m_io->fileSize(txt);
        if (!n)
            return n.error();
        oldLength = *n;
    }
    auto pointer = appendDescription(area, description);
    if (!pointer)
        return pointer.error();
    entry.header.setDescriptionPointer(*pointer);
    entry.index.setDescriptionPointer(*pointer);
    auto rewritten = rewrite(area, RewritePlan::insertion(*records, p, std::move(entry)));
    if (!rewritten) {
        // Leave the description file as it was; if that fails too the text is merely unused.
        if (!hadDescriptions) {
            (void)m_io->remove(txt);
        } else if (auto h = m_io->open(txt, FileIo::Mode::ReadWrite)) {
            ScopedHandle file(*m_io, *h);
            if (m_io->truncate(*h, oldLength))
                (void)m_io->sync(*h);
        }
    }
    return rewritten;
}

Result<void> AreaStore::patchRecord(
    int area, AreaFileKind kind, uint64_t position, size_t fieldOffset, std::span<const uint8_t> bytes)
{
    const size_t size = recordSize(kind);
    if (size == 0 || fieldOffset > size || bytes.size() > size - fieldOffset)
        return Error { EINVAL, "a patch must stay inside one record" };
    auto records = count(area);
    if (!records)
        return records.error();
    if (position >= *records)
        return Error { EINVAL, "record " + std::to_string(position + 1) + " is past the end of the area" };
    const std::string file = path(area, kind);
    if (kind == AreaFileKind::LongName && !m_io->exists(file)) {
        auto created = m_io->open(file, FileIo::Mode::Append);
        if (!created)
            return created.error();
        if (auto closed = m_io->close(*created); !closed)
            return closed.error();
    }
    auto h = m_io->open(file, FileIo::Mode::ReadWrite);
    if (!h)
        return h.error();
    ScopedHandle handle(*m_io, *h);
    auto length = m_io->size(*h);
    if (!length)
        return length.error();
    if (kind != AreaFileKind::LongName && recordCount(*length, kind) <= position)
        return Error { EINVAL, file + " has no record " + std::to_string(position + 1) };
    // A short long-name file means empty names for the missing records; write them as such, and
    // drop a partial last record so record i stays at (i - 1) * 256.
    if (kind == AreaFileKind::LongName && *length < (position + 1) * size) {
        const uint64_t whole = recordCount(*length, kind) * size;
        if (whole != *length) {
            if (auto cut = m_io->truncate(*h, whole); !cut)
                return cut.error();
        }
        if (auto grown = m_io->truncate(*h, (position + 1) * size); !grown)
            return grown.error();
    }
    if (auto written = m_io->writeAt(*h, position * size + fieldOffset, bytes.data(), bytes.size()); !written)
        return written.error();
    if (auto synced = m_io->sync(*h); !synced)
        return synced.error();
    return handle.close();
}

namespace {
template <class Record>
Result<Record> readRecordAt(FileIo& io, const std::string& file, uint64_t position, bool emptyWhenMissing)
{
    if (emptyWhenMissing && !io.exists(file))
        return Record();
    auto h = io.open(file, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    typename Record::Bytes bytes {};
    auto got = io.readAt(*h, position * Record::kSize, bytes.data(), bytes.size());
    if (!got)
        return got.error();
    if (*got != bytes.size()) {
        if (emptyWhenMissing)
            return Record();
        return Error { EINVAL, file + " has no record " + std::to_string(position + 1) };
    }
    return Record::decode(std::span<const uint8_t, Record::kSize>(bytes));
}
} // namespace

Result<HeaderRecord> AreaStore::readHeader(int area, uint64_t position)
{
    return readRecordAt<HeaderRecord>(*m_io, path(area, AreaFileKind::Header), position, false);
}

Result<IndexRecord> AreaStore::readIndex(int area, uint64_t position)
{
    return readRecordAt<IndexRecord>(*m_io, path(area, AreaFileKind::Index), position, false);
}

Result<LongNameRecord> AreaStore::readLongName(int area, uint64_t position)
{
    return readRecordAt<LongNameRecord>(*m_io, path(area, AreaFileKind::LongName), position, true);
}

Result<Recovery> AreaStore::recover(int area)
{
    return recoverArea(*m_io, m_fileBaseDir, area);
}

std::vector<int> AreaStore::recoverAll()
{
    std::vector<int> failed;
    const std::string hdr = resolveCaseInsensitive(*m_io, (m_fileBaseDir.empty() ? "." : m_fileBaseDir) + "/hdr");
    auto entries = m_io->list(hdr);
    if (!entries)
        return failed;
    std::vector<int> areas;
    for (const auto& e : *entries) {
        // fdbN.jnl, fdbN.$$$ or fdbN.l$$ in any case
        const std::string name = text::toLower(e.name);
        if (e.isDirectory || name.size() < 8 || name.compare(0, 3, "fdb") != 0)
            continue;
        const size_t dot = name.find('.');
        const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
        if (ext != ".jnl" && ext != ".$$$" && ext != ".l$$")
            continue;
        const std::string digits = name.substr(3, dot - 3);
        if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit))
            continue;
        areas.push_back(std::stoi(digits));
    }
    std::sort(areas.begin(), areas.end());
    areas.erase(std::unique(areas.begin(), areas.end()), areas.end());
    for (int area : areas)
        if (!recover(area))
            failed.push_back(area);
    return failed;
}

} // namespace qv
