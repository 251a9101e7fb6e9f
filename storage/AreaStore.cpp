#include "storage/AreaStore.h"

#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/LargeTable.h"
#include "storage/LongName.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <thread>

namespace qv {

AreaStore::AreaStore(FileIo& io, std::string fileBaseDir)
    : m_io(&io)
    , m_fileBaseDir(std::move(fileBaseDir))
{
}

Error AreaStore::noFileBase()
{
    return Error { ENOENT, "no file database directory" };
}

std::string AreaStore::path(int area, AreaFileKind kind) const
{
    return areaFilePath(*m_io, m_fileBaseDir, area, kind);
}

namespace {
std::string_view counted(const uint8_t* p, size_t width)
{
    return std::string_view(reinterpret_cast<const char*>(p + 1), std::min<size_t>(p[0], width));
}

// One header record as the file list shows it. longName is the entry's own long-name record;
// boardNames, when long names are shown, reads the board's texts at the pointer at 174. The name
// goes into blocks when given, else into a block of its own. The record's bytes are the caller's
// to set.
void fillRow(
    LoadedRow& row, const uint8_t* rec, std::string_view longName, DescriptionReader* boardNames, NameBlocks* blocks)
{
    const std::string_view name = counted(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
    const std::string_view shortName = text::trim(name);
    row.comment = shortName.empty();
    if (row.comment) {
        row.name = RowName::lasting(text::kCommentRowText);
        return;
    }
    if (!longname::belongsToTrimmed(shortName, text::trim(longName)))
        longName = {}; // none, or another entry's left here by the board's own tools
    std::string boardName;
    if (boardNames && longName.empty()) {
        if (const int32_t p = enc::getLong(rec + HeaderRecord::kLongNamePointerOffset); p > 0) {
            boardName = boardNames->textAt(p);
            if (!text::trim(boardName).empty())
                longName = boardName;
        }
    }
    // A long name shows as stored, blanks and all; none left here is blank.
    const std::string_view shown = longName.empty() ? name : longName;
    if (blocks) {
        char* at = blocks->room(shown.size());
        text::capitaliseInto(at, shown);
        row.name = blocks->name(at, shown.size());
    } else {
        row.name = RowName::made(shown.size(), [&](char* out) { text::capitaliseInto(out, shown); });
    }
}

bool sameRecord(const uint8_t* a, const uint8_t* b, bool masked)
{
    return masked ? HeaderRecord::sameButCounted(a, b) : std::equal(a, a + HeaderRecord::kSize, b);
}
} // namespace

RowIdentity identityOf(const LoadedRow& row, uint64_t position)
{
    return RowIdentity { position, row.record };
}

Result<void> AreaStore::checkRows(FileIo::Handle header, int area, std::span<const RowIdentity> expected, bool masked)
{
    if (expected.empty())
        return {};
    const Error changed { kRowsChanged, rowsChangedMessage(area) };
    // Many rows in record order (the usual case) are read a window at a time; many in another
    // order in one stretch; a few one by one.
    const auto byPosition = [](const RowIdentity& a, const RowIdentity& b) { return a.position < b.position; };
    uint64_t lo = UINT64_MAX, hi = 0;
    for (const RowIdentity& r : expected) {
        lo = std::min(lo, r.position);
        hi = std::max(hi, r.position + 1);
    }
    const bool many = expected.size() > 16;
    const bool ordered = many && std::is_sorted(expected.begin(), expected.end(), byPosition);
    const bool stretch = many && !ordered && (hi - lo) <= uint64_t(64 << 20) / HeaderRecord::kSize;
    constexpr uint64_t kWindowRecords = (uint64_t(1) << 20) / HeaderRecord::kSize;
    std::vector<uint8_t> block(size_t(stretch    ? hi - lo
                                       : ordered ? std::min(kWindowRecords, hi - lo)
                                                 : 1)
        * HeaderRecord::kSize);
    uint64_t first = lo, held = 0; // the records block holds: [first, first + held)
    auto fill = [&](uint64_t from, uint64_t n) -> Result<bool> {
        auto got = m_io->readAt(header, from * HeaderRecord::kSize, block.data(), size_t(n) * HeaderRecord::kSize);
        if (!got)
            return got.error();
        first = from;
        held = n;
        return *got == n * HeaderRecord::kSize;
    };
    if (stretch) {
        auto whole = fill(lo, hi - lo);
        if (!whole)
            return whole.error();
        if (!*whole)
            return changed;
    }
    for (const RowIdentity& r : expected) {
        if (r.position < first || r.position >= first + held) {
            auto whole = fill(r.position, ordered ? std::min(kWindowRecords, hi - r.position) : 1);
            if (!whole)
                return whole.error();
            if (!*whole)
                return changed;
        }
        if (!sameRecord(block.data() + (r.position - first) * HeaderRecord::kSize, r.record.data(), masked))
            return changed;
    }
    return {};
}

Result<Located> AreaStore::locate(int area, std::span<const std::array<uint8_t, HeaderRecord::kSize>> records)
{
    if (m_fileBaseDir.empty())
        return noFileBase();
    Located found;
    if (records.empty())
        return found;
    auto hdr = readWholeFile(*m_io, path(area, AreaFileKind::Header), uint64_t(1) << 31);
    if (!hdr)
        return hdr.error();
    const uint64_t n = recordCount(hdr->size(), AreaFileKind::Header);
    // One pass over the file: each stored record is looked up among the wanted ones by its name.
    std::multimap<std::string_view, size_t> byName;
    auto nameOf = [](const uint8_t* rec) {
        return std::string_view(reinterpret_cast<const char*>(rec), HeaderRecord::kNameWidth + 1);
    };
    for (size_t k = 0; k < records.size(); ++k)
        byName.emplace(nameOf(records[k].data()), k);
    std::vector<std::optional<uint64_t>> at(records.size());
    std::vector<bool> twice(records.size(), false);
    for (uint64_t i = 0; i < n; ++i) {
        const uint8_t* rec = hdr->data() + i * HeaderRecord::kSize;
        auto [first, last] = byName.equal_range(nameOf(rec));
        for (auto it = first; it != last; ++it) {
            if (!sameRecord(rec, records[it->second].data(), true))
                continue;
            if (at[it->second])
                twice[it->second] = true;
            else
                at[it->second] = i;
        }
    }
    for (size_t k = 0; k < records.size(); ++k) {
        if (!at[k]) {
            found.missing = k;
            break;
        }
        if (twice[k]) {
            found.ambiguous = k;
            break;
        }
        found.positions.push_back(*at[k]);
    }
    return found;
}

LoadOutcome AreaStore::load(
    int area, bool useLongNames, const std::function<void(int, int)>& progress, WithPointers withPointers)
{
    LoadOutcome outcome;
    // No file base is no directory at all, never the current one.
    if (m_fileBaseDir.empty()) {
        outcome.error = LoadError { LoadError::Kind::FileBasePathNotFound, ENOENT, "no file base directory" };
        return outcome;
    }
    // A rewrite that could not be finished keeps its journal; the old or new files still load.
    (void)recover(area);
    auto fail = [&](const Error& e) {
        const bool missing
            = e.code == ENOENT || e.code == ENOTDIR || e.code == EACCES || e.code == EIO || e.code == ENAMETOOLONG;
        outcome.rows.clear();
        outcome.sizes = 0;
        outcome.pointers.clear();
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
    if (withPointers == WithPointers::Yes)
        outcome.pointers.resize(size_t(count));
    TextPointers* const pointers = outcome.pointers.data();

    // Makes the rows [from, to) in place at slots (room the table reserved), counting them in
    // made; both files read in blocks of records. Fewer rows when the file became shorter while
    // it was read. Each thread makes its rows where they stay: no table is zeroed first and
    // none is moved afterwards.
    const std::string texts = path(area, AreaFileKind::Description);
    auto decode = [&](int from, int to, LoadedRow* slots, size_t& made, uint64_t& sizes,
                      const std::function<void(int)>& reached) -> Result<void> {
        constexpr int kBlock = 1024;
        // The records are read straight into the buffer their rows keep.
        const std::shared_ptr<uint8_t[]> kept = sharedLarge<uint8_t>(size_t(to - from) * HeaderRecord::kSize);
        uint8_t* records = kept.get();
        std::vector<uint8_t> names(longNames ? size_t(kBlock) * LongNameRecord::kSize : 0);
        // Texts the board's long-name pointers lead to, read only for entries that need one.
        std::optional<DescriptionReader> boardNames;
        if (useLongNames)
            boardNames.emplace(*m_io, texts);
        // Names of 8.3 entries fit 12 bytes; long ones mostly a few dozen.
        NameBlocks blocks(size_t(to - from) * (useLongNames ? 48 : 12));
        for (int first = from; first < to; first += kBlock) {
            const int n = std::min(kBlock, to - first);
            uint8_t* block = records + size_t(first - from) * HeaderRecord::kSize;
            auto got = m_io->readAt(
                header.get(), uint64_t(first) * HeaderRecord::kSize, block, size_t(n) * HeaderRecord::kSize);
            if (!got)
                return got.error();
            size_t namesGot = 0;
            if (longNames) {
                // A short long-name file gives empty names for the records it lacks.
                auto r = m_io->readAt(longNames->get(), uint64_t(first) * LongNameRecord::kSize, names.data(),
                    size_t(n) * LongNameRecord::kSize);
                namesGot = r ? *r / LongNameRecord::kSize : 0;
            }
            const int whole = int(std::min<size_t>(size_t(n), *got / HeaderRecord::kSize));
            for (int k = 0; k < whole; ++k) {
                const int i = first + k + 1;
                if (reached && i % 10 == 0)
                    reached(i);
                const uint8_t* rec = block + size_t(k) * HeaderRecord::kSize;
                std::string_view longName = size_t(k) < namesGot
                    ? counted(names.data() + size_t(k) * LongNameRecord::kSize, LongNameRecord::kWidth)
                    : std::string_view();
                LoadedRow& row = *::new (static_cast<void*>(slots + made)) LoadedRow();
                ++made;
                fillRow(row, rec, longName, boardNames ? &*boardNames : nullptr, &blocks);
                row.record = RowRecord(kept, rec);
                sizes += uint32_t(enc::getLong(rec + HeaderRecord::kSizeOffset));
                if (pointers)
                    pointers[first + k] = { enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset),
                        enc::getLong(rec + HeaderRecord::kLongNamePointerOffset) };
            }
            if (whole < n)
                return {};
        }
        return {};
    };

    // A large area is decoded by two threads, each on its half; the reads are positioned, so
    // they share the handles. The first half reports progress for both.
    int half = count;
    if (count >= kParallelRows && std::thread::hardware_concurrency() > 1)
        half = count / 2;
    outcome.rows.reserve(size_t(count));
    LoadedRow* const slots = outcome.rows.data();
    size_t made = 0, tailMade = 0;
    uint64_t tailSizes = 0;
    Result<void> second;
    std::optional<std::thread> helper;
    if (half < count)
        helper.emplace([&] { second = decode(half, count, slots + half, tailMade, tailSizes, {}); });
    Result<void> firstHalf = decode(0, half, slots, made, outcome.sizes, [&](int i) {
        if (progress)
            progress(int(int64_t(i) * count / std::max(half, 1)), count);
    });
    if (helper)
        helper->join();
    // Rows made in place are the table's once adopted; those it does not take are ended here.
    if (!firstHalf || !second) {
        std::destroy_n(slots, made);
        std::destroy_n(slots + half, tailMade);
        return fail(!firstHalf ? firstHalf.error() : second.error());
    }
    adoptMadeInPlace(outcome.rows, made);
    // The file became shorter while it was read: keep the rows that were read.
    if (made == size_t(half)) {
        adoptMadeInPlace(outcome.rows, tailMade);
        outcome.sizes += tailSizes;
    } else {
        std::destroy_n(slots + half, tailMade);
    }
    if (!outcome.pointers.empty())
        outcome.pointers.resize(outcome.rows.size());
    return outcome;
}

Result<uint64_t> AreaStore::count(int area)
{
    if (m_fileBaseDir.empty())
        return noFileBase();
    const std::string hdr = path(area, AreaFileKind::Header);
    if (!m_io->exists(hdr))
        return uint64_t(0);
    auto length = m_io->fileSize(hdr);
    if (!length)
        return length.error();
    return recordCount(*length, AreaFileKind::Header);
}

Result<int32_t> AreaStore::appendText(const std::string& file, std::string_view text, bool flush)
{
    auto h = m_io->open(file, FileIo::Mode::Append);
    if (!h)
        return h.error();
    ScopedHandle handle(*m_io, *h);
    auto length = m_io->size(*h);
    if (!length)
        return length.error();
    if (*length + text.size() + 1 > uint64_t(std::numeric_limits<int32_t>::max()))
        return Error { EFBIG, "the description file would pass 2 GiB" };
    std::string bytes(text);
    bytes.push_back('\0');
    // The board may have appended since the length was read: the pointer is where the text landed.
    std::optional<uint64_t> started;
    auto at = m_io->append(*h, bytes.data(), bytes.size(), &started);
    Result<void> written;
    if (!at)
        written = at.error();
    else if (started = *at; flush)
        written = m_io->syncData(*h);
    if (!written) {
        // Half a text without its zero byte would run into the next one appended; what the
        // board appended meanwhile stays.
        (void)handle.close();
        if (started)
            if (auto left = partialAppend(*m_io, file, *started, bytes); left && *left)
                (void)cutBack(*m_io, file, **left, *started);
        return written.error();
    }
    // The text is on disk once sync succeeded; a failing close cannot take it back.
    (void)handle.close();
    return int32_t(*at);
}

Result<int32_t> AreaStore::appendDescription(int area, std::string_view text)
{
    return appendText(path(area, AreaFileKind::Description), text);
}

Result<void> AreaStore::insertEntry(
    int area, uint64_t p, NewEntry entry, std::string_view description, std::span<const RowIdentity> expected)
{
    std::vector<NewEntry> one;
    one.push_back(std::move(entry));
    return insertEntries(area, p, std::move(one), { std::string(description) }, expected);
}

Result<void> AreaStore::patchRecord(int area, AreaFileKind kind, uint64_t position, size_t fieldOffset,
    std::span<const uint8_t> bytes, std::span<const RowIdentity> expected)
{
    const size_t size = recordSize(kind);
    if (size == 0 || fieldOffset > size || bytes.size() > size - fieldOffset)
        return Error { EINVAL, "a patch must stay inside one record" };
    if (kind == AreaFileKind::Header && fieldOffset + bytes.size() > HeaderRecord::kPatchableSize)
        return Error { EINVAL, "a patch must end before the board's long-name pointer" };
    if (auto r = recover(area); !r)
        return r.error();
    auto records = count(area);
    if (!records)
        return records.error();
    if (position >= *records)
        return Error { EINVAL, "record " + std::to_string(position + 1) + " is past the end of the area" };
    const std::string file = path(area, kind);
    if (kind != AreaFileKind::LongName) {
        auto length = m_io->exists(file) ? m_io->fileSize(file) : Result<uint64_t>(uint64_t(0));
        if (!length)
            return length.error();
        if (recordCount(*length, kind) <= position)
            return Error { EINVAL, file + " has no record " + std::to_string(position + 1) };
    }
    // Journalled like a rewrite: a crash in the middle of the write is finished by the next load.
    AreaJournal note;
    AreaJournal::Patch patch { journalName(kind, file), position * size + fieldOffset,
        std::vector<uint8_t>(bytes.begin(), bytes.end()), 0, 0 };
    if (kind == AreaFileKind::LongName) {
        // A short long-name file means empty names for the missing records; they are written so.
        patch.recordSize = size;
        patch.minimumLength = (position + 1) * size;
    }
    note.patches.push_back(patch);
    return writeNoted(area, note, { file }, {}, expected);
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
    if (m_fileBaseDir.empty())
        return noFileBase();
    return readRecordAt<LongNameRecord>(*m_io, path(area, AreaFileKind::LongName), position, true);
}

std::string AreaStore::readDescription(int area, uint64_t position)
{
    auto record = readHeader(area, position);
    if (!record || record->descriptionPointer() < 0)
        return {};
    return qv::readDescription(*m_io, path(area, AreaFileKind::Description), record->descriptionPointer());
}

Result<std::string> AreaStore::readShownLongName(int area, uint64_t position)
{
    auto header = readHeader(area, position);
    if (!header)
        return header.error();
    auto own = readLongName(area, position);
    if (!own)
        return own.error();
    const std::string name = own->name();
    if (!text::trim(name).empty() && longname::belongsTo(header->name(), name))
        return name;
    if (header->longNamePointer() <= 0)
        return std::string();
    DescriptionReader texts(*m_io, path(area, AreaFileKind::Description));
    return texts.textAt(header->longNamePointer());
}

Result<LoadedRows> AreaStore::readRows(int area, const std::vector<uint64_t>& positions, bool useLongNames)
{
    if (m_fileBaseDir.empty())
        return noFileBase();
    auto hdr = m_io->open(path(area, AreaFileKind::Header), FileIo::Mode::Read);
    if (!hdr)
        return hdr.error();
    ScopedHandle header(*m_io, *hdr);
    std::optional<ScopedHandle> longNames;
    std::optional<DescriptionReader> boardNames;
    if (useLongNames) {
        boardNames.emplace(*m_io, path(area, AreaFileKind::Description));
        if (auto l = m_io->open(path(area, AreaFileKind::LongName), FileIo::Mode::Read))
            longNames.emplace(*m_io, *l);
    }
    LoadedRows rows(positions.size());
    HeaderRecord::Bytes rec {};
    LongNameRecord::Bytes name {};
    for (size_t k = 0; k < positions.size(); ++k) {
        auto got = m_io->readAt(header.get(), positions[k] * HeaderRecord::kSize, rec.data(), rec.size());
        if (!got)
            return got.error();
        if (*got != rec.size())
            return Error { ESTALE,
                "area " + std::to_string(area) + " has no entry " + std::to_string(positions[k] + 1) };
        std::string_view longName;
        if (longNames) {
            auto r = m_io->readAt(longNames->get(), positions[k] * LongNameRecord::kSize, name.data(), name.size());
            if (r && *r == name.size())
                longName = counted(name.data(), LongNameRecord::kWidth);
        }
        fillRow(rows[k], rec.data(), longName, boardNames ? &*boardNames : nullptr, nullptr);
        rows[k].record = rec;
    }
    return rows;
}

Result<Recovery> AreaStore::recover(int area)
{
    return recoverArea(*m_io, m_fileBaseDir, area);
}

std::vector<int> AreaStore::recoverAll()
{
    std::vector<int> failed;
    if (m_fileBaseDir.empty())
        return failed;
    // Every spelling of the directories: HDR and hdr may each hold some of the areas.
    std::vector<FileIo::DirEntry> entries;
    for (const char* dir : { "/hdr", "/idx", "/txt" })
        for (const std::string& found : caseVariants(*m_io, m_fileBaseDir + dir))
            if (auto listed = m_io->list(found))
                entries.insert(entries.end(), listed->begin(), listed->end());
    std::vector<int> areas;
    for (const auto& e : entries) {
        // fdbN.jnl, fdbN.j$$, fdbN.$$$ or fdbN.l$$ in any case
        const std::string name = text::toLower(e.name);
        if (e.isDirectory || name.size() < 8 || name.compare(0, 3, "fdb") != 0)
            continue;
        const size_t dot = name.find('.');
        const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
        if (ext != ".jnl" && ext != ".j$$" && ext != ".$$$" && ext != ".l$$")
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
