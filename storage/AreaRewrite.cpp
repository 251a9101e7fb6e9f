// The rewrite engine behind AreaStore::rewrite.

#include "storage/AreaStore.h"

#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/Encoding.h"
#include "storage/LargeTable.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <array>
#include <memory>
#include <span>
#include <optional>
#include <chrono>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace qv {

namespace {

// Reads for scattered records (a sort, a paste) go through a cache of this size.
constexpr size_t kChunkBytes = size_t(1) << 20;
// From this many records on, a second thread pays for itself in building the new files.
constexpr uint64_t kParallelWriteRecords = 1024;

// The open files of one area that a plan reads from.
struct SourceArea {
    FileIo* io = nullptr;
    int hdr = -1, idx = -1, lfn = -1;
    uint64_t hdrCount = 0, idxCount = 0, lfnCount = 0;

    // Files a rename has replaced: their handles are the last ones, and may be closed later.
    bool hdrReplaced = false, idxReplaced = false, lfnReplaced = false;

    ~SourceArea()
    {
        for (auto [h, replaced] : { std::pair { hdr, hdrReplaced }, { idx, idxReplaced }, { lfn, lfnReplaced } })
            if (h >= 0 && replaced)
                io->closeReplaced(h);
            else if (h >= 0)
                (void)io->close(h);
    }
    void replaced(AreaFileKind kind)
    {
        (kind == AreaFileKind::Header ? hdrReplaced : kind == AreaFileKind::Index ? idxReplaced : lfnReplaced) = true;
    }

    Result<void> open(FileIo& fileIo, const std::string& fileBaseDir, int area)
    {
        io = &fileIo;
        struct Slot {
            AreaFileKind kind;
            int* handle;
            uint64_t* count;
        };
        for (Slot s : { Slot { AreaFileKind::Header, &hdr, &hdrCount }, Slot { AreaFileKind::Index, &idx, &idxCount },
                 Slot { AreaFileKind::LongName, &lfn, &lfnCount } }) {
            const std::string file = areaFilePath(fileIo, fileBaseDir, area, s.kind);
            if (!fileIo.exists(file))
                continue; // an area without files yet, or without index or long names
            auto h = fileIo.open(file, FileIo::Mode::Read);
            if (!h)
                return h.error();
            *s.handle = *h;
            auto length = fileIo.size(*h);
            if (!length)
                return length.error();
            *s.count = recordCount(*length, s.kind);
        }
        return {};
    }

    int handle(AreaFileKind kind) const
    {
        return kind == AreaFileKind::Header ? hdr : kind == AreaFileKind::Index ? idx : lfn;
    }
    uint64_t records(AreaFileKind kind) const
    {
        return kind == AreaFileKind::Header ? hdrCount : kind == AreaFileKind::Index ? idxCount : lfnCount;
    }
};

// Copies records of one source into an output window, reading through a small cache when the
// records are scattered and straight into the window when they are long runs.
class Gatherer {
public:
    Gatherer(FileIo& io, const SourceArea& source, AreaFileKind kind)
        : m_io(io)
        , m_source(source)
        , m_kind(kind)
        , m_size(recordSize(kind))
    {
    }

    // Asks the processor for a record held in the cache ahead of its copy: a sort's records come
    // from all over a preloaded file, and each would otherwise wait for memory on its own.
    void prefetch(uint64_t record) const
    {
        if (record >= m_cacheFirst && record < m_cacheFirst + m_cacheCount)
            qv::prefetch(m_cache.data() + (record - m_cacheFirst) * m_size, m_size);
    }

    // Record `first`..`first + count` of the source into out (count records of m_size bytes).
    Result<void> copy(uint64_t first, uint64_t count, uint8_t* out)
    {
        const uint64_t stored = m_source.records(m_kind);
        const uint64_t present = first >= stored ? 0 : std::min(count, stored - first);
        if (present > 0) {
            if (first >= m_cacheFirst && first + present <= m_cacheFirst + m_cacheCount) {
                std::memcpy(out, m_cache.data() + (first - m_cacheFirst) * m_size, present * m_size);
            } else if (present * m_size >= kChunkBytes / 2) {
                if (auto r = readExact(first, present, out); !r)
                    return r;
            } else {
                for (uint64_t i = 0; i < present; ++i) {
                    auto r = cached(first + i, out + i * m_size);
                    if (!r)
                        return r;
                }
            }
        }
        // Records the file lacks: empty long names, index records rebuilt from the header (whose
        // records are read in one go: a lost index is rebuilt whole).
        std::vector<uint8_t> headers;
        if (m_kind == AreaFileKind::Index && present < count) {
            headers.resize((count - present) * HeaderRecord::kSize);
            if (auto r
                = readFrom(m_source.hdr, (first + present) * HeaderRecord::kSize, headers.data(), headers.size());
                !r)
                return r;
        }
        for (uint64_t i = present; i < count; ++i) {
            uint8_t* rec = out + i * m_size;
            std::memset(rec, 0, m_size);
            if (m_kind == AreaFileKind::Index)
                indexFromHeader(headers.data() + (i - present) * HeaderRecord::kSize, rec);
        }
        return {};
    }

    // Reads records [first, end) at once (clipped to the file), for a window that takes records
    // from all over that stretch, such as a sort.
    Result<void> preload(uint64_t first, uint64_t end)
    {
        end = std::min(end, m_source.records(m_kind));
        if (first >= end)
            return {};
        m_cacheFirst = first;
        m_cacheCount = end - first;
        m_cache.resize(m_cacheCount * m_size);
        if (auto r = readExact(first, m_cacheCount, m_cache.data()); !r) {
            m_cacheCount = 0;
            return r;
        }
        return {};
    }

private:
    Result<void> readExact(uint64_t first, uint64_t count, uint8_t* out)
    {
        return readFrom(m_source.handle(m_kind), first * m_size, out, count * m_size);
    }

    Result<void> readFrom(int handle, uint64_t offset, uint8_t* out, size_t bytes)
    {
        auto got = m_io.readAt(handle, offset, out, bytes);
        if (!got)
            return got.error();
        if (*got != bytes)
            return Error { EIO, "an area file became shorter while it was rewritten" };
        return {};
    }

    Result<void> cached(uint64_t record, uint8_t* out)
    {
        if (record < m_cacheFirst || record >= m_cacheFirst + m_cacheCount) {
            const uint64_t perChunk = std::max<uint64_t>(1, kChunkBytes / m_size);
            m_cacheFirst = record;
            m_cacheCount = std::min(perChunk, m_source.records(m_kind) - record);
            m_cache.resize(m_cacheCount * m_size);
            if (auto r = readExact(m_cacheFirst, m_cacheCount, m_cache.data()); !r) {
                m_cacheCount = 0;
                return r;
            }
        }
        std::memcpy(out, m_cache.data() + (record - m_cacheFirst) * m_size, m_size);
        return {};
    }

    static void indexFromHeader(const uint8_t* bytes, uint8_t* out)
    {
        const auto header
            = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(bytes, HeaderRecord::kSize));
        IndexRecord index;
        index.setName(text::toUpper(header.name()));
        index.setUploadDate(header.uploadDate());
        index.setDescriptionPointer(header.descriptionPointer());
        std::memcpy(out, index.encode().data(), IndexRecord::kSize);
    }

    FileIo& m_io;
    const SourceArea& m_source;
    AreaFileKind m_kind;
    size_t m_size;
    RawBuffer m_cache;
    uint64_t m_cacheFirst = 0;
    uint64_t m_cacheCount = 0;
};

// One piece of an output window: `count` records from `run`, starting `skip` records into it.
struct Piece {
    const RewritePlan::Run* run;
    uint64_t skip;
    uint64_t count;
    uint64_t slot; // first record of the window it fills
};

// New long-name pointers of records taken from the other area: record there -> offset here.
using PointerMap = std::unordered_map<uint64_t, int32_t>;

// Finds the records of the other area whose header points at a board long name, and reads the
// texts. Returns the records in plan order with their texts ("" when the pointer leads nowhere).
Result<std::vector<std::pair<uint64_t, std::string>>> boardLongNames(
    FileIo& io, const RewritePlan& plan, const SourceArea& other, const std::string& otherTexts)
{
    std::vector<std::pair<uint64_t, std::string>> found;
    DescriptionReader texts(io, otherTexts);
    constexpr uint64_t kBlock = 1024;
    std::vector<uint8_t> block(kBlock * HeaderRecord::kSize);
    for (const auto& run : plan.runs()) {
        if (run.source != RewritePlan::Source::OtherArea)
            continue;
        for (uint64_t first = run.first; first < run.first + run.count; first += kBlock) {
            const uint64_t n = std::min(kBlock, run.first + run.count - first);
            auto got = io.readAt(other.hdr, first * HeaderRecord::kSize, block.data(), n * HeaderRecord::kSize);
            if (!got)
                return got.error();
            if (*got != n * HeaderRecord::kSize)
                return Error { EIO, "an area file became shorter while it was rewritten" };
            for (uint64_t i = 0; i < n; ++i) {
                const int32_t p
                    = enc::getLong(block.data() + i * HeaderRecord::kSize + HeaderRecord::kLongNamePointerOffset);
                if (p > 0)
                    found.emplace_back(first + i, texts.textAt(p));
            }
        }
    }
    // A text that could not be read is not a text that is missing.
    if (texts.error())
        return *texts.error();
    return found;
}

// A record's fingerprint, never 0 (0 marks a record nobody watches). With a mask, the bytes
// where it holds 0 count as zeros.
uint64_t fingerprint(const uint8_t* p, size_t n, const uint8_t* mask = nullptr)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (mask) {
            uint64_t m;
            std::memcpy(&m, mask + i, 8);
            w &= m;
        }
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    for (; i < n; ++i)
        h = (h ^ (mask ? p[i] & mask[i] : p[i])) * 0x100000001B3ull;
    return h | 1;
}

// A record's fingerprint without the bumped bytes (for a header record), as if they were zeros.
uint32_t maskedPrint(const uint8_t* p, size_t n, bool header)
{
    static const auto kMask = [] {
        std::array<uint8_t, HeaderRecord::kSize> m;
        m.fill(0xFF);
        std::fill_n(m.begin() + HeaderRecord::kBumpedOffset, HeaderRecord::kBumpedSize, uint8_t(0));
        return m;
    }();
    if (!header)
        return uint32_t(fingerprint(p, n));
    return uint32_t(fingerprint(p, std::min(n, HeaderRecord::kSize), kMask.data()));
}

// One old file (header or index) a rewrite replaces, watched for what the board writes to it
// after the rewrite read it: records it changes in place are changed where the plan moved them,
// records it appends behind those the plan rests on go to the end of the new file.
struct Watched {
    AreaFileKind kind = AreaFileKind::Header;
    int handle = -1; // the old file, read only
    size_t size = 0;
    uint64_t rested = 0; // records the plan rests on; later ones are the board's
    uint64_t read = 0; // records the old file had when it was opened
    std::vector<uint64_t> print; // of each record as copied; 0 for one not kept
    std::vector<uint32_t> namePrint; // of its name, which an in-place change keeps
    std::vector<uint32_t> restPrint; // of all but the bumped bytes
    std::vector<std::array<uint8_t, HeaderRecord::kBumpedSize>> bumped; // as copied (header only)
    std::vector<uint64_t> to; // where each kept record is in the new file
    uint64_t appended = 0; // records behind `rested` carried over so far

    bool header() const { return kind == AreaFileKind::Header; }
    void note(uint64_t record, const uint8_t* bytes)
    {
        if (record >= read)
            return; // rebuilt, not read: nothing to compare with
        print[record] = fingerprint(bytes, size);
        namePrint[record] = uint32_t(fingerprint(bytes, 13));
        restPrint[record] = maskedPrint(bytes, size, header());
        if (header())
            std::memcpy(bumped[record].data(), bytes + HeaderRecord::kBumpedOffset, HeaderRecord::kBumpedSize);
    }
};

// What a look at an old file found.
struct Late {
    bool unknown = false; // the file shrank or records moved: nothing can be carried
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> changed; // new position, whole record
    struct Count {
        uint64_t to = 0;
        int added = 0; // downloads counted meanwhile
        std::optional<int32_t> date; // the last-download date, when it changed
    };
    std::vector<Count> counted;
    std::vector<uint8_t> appended; // whole records
    uint64_t changedCount() const { return changed.size() + counted.size(); }
    uint64_t appendedCount(size_t size) const { return appended.size() / size; }
    bool empty() const { return changed.empty() && counted.empty() && appended.empty(); }
};

// The rows a change rests on, checked against the header file while the last look reads it
// anyway (one pass instead of two over the largest file). Without the bumped bytes.
struct RowCheck {
    std::span<const RowIdentity> expected;
    std::vector<int32_t> at; // by position: index into expected, -1 for none
    size_t checked = 0;
    bool differs = false;

    // False when the identities cannot be checked this way (a position given twice).
    bool prepare(std::span<const RowIdentity> rows)
    {
        expected = rows;
        uint64_t end = 0;
        for (const RowIdentity& r : rows)
            end = std::max(end, r.position + 1);
        at.assign(end, -1);
        for (size_t k = 0; k < rows.size(); ++k) {
            if (at[rows[k].position] >= 0)
                return false;
            at[rows[k].position] = int32_t(k);
        }
        return true;
    }
    void see(uint64_t record, const uint8_t* bytes)
    {
        if (record >= at.size() || at[record] < 0)
            return;
        const uint8_t* shown = expected[size_t(at[record])].record.data();
        ++checked;
        differs = differs || !HeaderRecord::sameButCounted(bytes, shown);
    }
    // Every row seen and each as shown.
    bool same() const { return !differs && checked == expected.size(); }
};

// Reads the old file as it is now and notes what changed since it was copied or last carried
// over; `dry` leaves the watch as it was. rows, when given, are checked on the way.
Result<Late> look(FileIo& io, Watched& w, bool dry, RowCheck* rows = nullptr)
{
    Late late;
    auto length = io.size(w.handle);
    if (!length)
        return length.error();
    const uint64_t records = *length / w.size;
    // Shorter than it was: what happened cannot be told. Index records the file lacked are rebuilt
    // from the header, and the board's appends start behind those the plan rests on.
    if (records < w.read || (w.header() && records < w.rested) || (w.appended > 0 && records < w.rested + w.appended)) {
        late.unknown = true;
        return late;
    }
    constexpr uint64_t kBlock = 4096;
    std::vector<uint8_t> block(kBlock * w.size);
    const uint64_t kept = std::min(w.read, w.rested);
    for (uint64_t first = 0; first < records; first += kBlock) {
        const uint64_t n = std::min(kBlock, records - first);
        auto got = io.readAt(w.handle, first * w.size, block.data(), n * w.size);
        if (!got)
            return got.error();
        if (*got != n * w.size) {
            late.unknown = true;
            return late;
        }
        for (uint64_t i = 0; i < n; ++i) {
            const uint64_t r = first + i;
            const uint8_t* rec = block.data() + i * w.size;
            if (rows)
                rows->see(r, rec);
            if (r < kept) {
                if (w.print[r] == 0 || fingerprint(rec, w.size) == w.print[r])
                    continue;
                if (uint32_t(fingerprint(rec, 13)) != w.namePrint[r]) {
                    late.unknown = true; // another entry now: records moved
                    return late;
                }
                if (w.header() && maskedPrint(rec, w.size, true) == w.restPrint[r]) {
                    // Only counted: the count goes onto whatever the new record holds by then.
                    const uint8_t* was = w.bumped[r].data();
                    const int now = enc::getWord(rec + HeaderRecord::kDownloadsOffset);
                    const int then = enc::getWord(was + (HeaderRecord::kDownloadsOffset - HeaderRecord::kBumpedOffset));
                    Late::Count c { w.to[r], (now - then + 0x10000) % 0x10000, std::nullopt };
                    if (std::memcmp(rec + HeaderRecord::kBumpedOffset, was, 4) != 0)
                        c.date = enc::getLong(rec + HeaderRecord::kBumpedOffset);
                    late.counted.push_back(c);
                } else {
                    late.changed.emplace_back(w.to[r], std::vector<uint8_t>(rec, rec + w.size));
                }
                if (!dry)
                    w.note(r, rec);
            } else if (r >= w.rested + w.appended) {
                late.appended.insert(late.appended.end(), rec, rec + w.size);
            }
        }
    }
    if (!dry)
        w.appended += late.appendedCount(w.size);
    return late;
}

// Moves the pointers of one record with the texts a new description file holds. copiedTo, for a
// record the board wrote meanwhile, is how much of the old file came along: a pointer behind it
// leads to text the new file lacks. False when a pointer leads to bytes the layout dropped.
bool repoint(const DescriptionLayout& layout, AreaFileKind kind, uint8_t* rec, std::optional<uint64_t> copiedTo)
{
    auto move = [&](size_t offset, int32_t none) {
        const int32_t p = enc::getLong(rec + offset);
        if (p < 0 || (p == 0 && none == 0))
            return true;
        const auto to = layout.moved(uint64_t(p));
        if (!to || *to > uint64_t(INT32_MAX)
            || (copiedTo && uint64_t(p) >= layout.tailFrom && uint64_t(p) >= *copiedTo))
            return false;
        enc::putLong(rec + offset, int32_t(*to));
        return true;
    };
    if (kind == AreaFileKind::Header)
        return move(HeaderRecord::kDescriptionPointerOffset, -1) && move(HeaderRecord::kLongNamePointerOffset, 0);
    if (kind == AreaFileKind::Index)
        return move(IndexRecord::kDescriptionPointerOffset, -1);
    return true;
}

// Writes the new description file of a layout from the old one (open at old); returns how far
// into the old file the tail was copied.
Result<uint64_t> writeDescriptions(FileIo& io, int out, int old, const DescriptionLayout& layout, size_t windowBytes)
{
    auto length = io.size(old);
    if (!length)
        return length.error();
    if (*length < layout.tailFrom)
        return Error { kChangedMeanwhile, "the description file became shorter" };
    std::vector<const DescriptionLayout::Stretch*> order;
    order.reserve(layout.stretches.size());
    for (const auto& st : layout.stretches)
        order.push_back(&st);
    std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->to < b->to; });
    const size_t window = std::max<size_t>(windowBytes, 1 << 16);
    RawBuffer in, outBuffer;
    in.resize(window);
    outBuffer.resize(window);
    uint64_t inFirst = 0, inCount = 0; // of the old file's bytes held in `in`
    size_t held = 0; // bytes in outBuffer
    uint64_t written = 0; // bytes of the new file on disk
    auto flush = [&]() -> Result<void> {
        if (held == 0)
            return {};
        if (auto w = io.writeAt(out, written, outBuffer.data(), held); !w)
            return w;
        written += held;
        held = 0;
        return {};
    };
    auto put = [&](const uint8_t* bytes, size_t n, bool zeros) -> Result<void> {
        while (n > 0) {
            const size_t k = std::min(n, window - held);
            if (zeros)
                std::memset(outBuffer.data() + held, 0, k);
            else
                std::memcpy(outBuffer.data() + held, bytes, k);
            held += k;
            n -= k;
            if (!zeros)
                bytes += k;
            if (held == window)
                if (auto f = flush(); !f)
                    return f;
        }
        return {};
    };
    // Copies old bytes [from, from + n) through the read window (stretches mostly lie in order).
    auto copy = [&](uint64_t from, uint64_t n) -> Result<void> {
        while (n > 0) {
            if (from < inFirst || from >= inFirst + inCount) {
                auto got = io.readAt(old, from, in.data(), window);
                if (!got)
                    return got.error();
                if (*got == 0)
                    return Error { kChangedMeanwhile, "the description file became shorter" };
                inFirst = from;
                inCount = *got;
            }
            const uint64_t k = std::min<uint64_t>(n, inFirst + inCount - from);
            if (auto r = put(in.data() + (from - inFirst), size_t(k), false); !r)
                return r;
            from += k;
            n -= k;
        }
        return {};
    };
    uint64_t at = 0;
    for (const auto* st : order) {
        if (st->from + st->length > *length)
            return Error { kChangedMeanwhile, "the description file became shorter" };
        if (auto r = put(nullptr, size_t(st->to - at), true); !r)
            return r.error();
        if (auto r = copy(st->from, st->length); !r)
            return r.error();
        at = st->to + st->length;
    }
    if (auto r = put(nullptr, size_t(layout.tailTo - at), true); !r)
        return r.error();
    if (auto r = copy(layout.tailFrom, *length - layout.tailFrom); !r)
        return r.error();
    if (auto r = flush(); !r)
        return r.error();
    return *length;
}

// After the renames: waits until no other process has the old files open (they have no name
// any more, so none can open them again), then carries what the board wrote to them since they
// were copied into the new files as one journalled change. files are the new files by kind,
// the header first.
// Asks done() again, with growing pauses, until it says yes or waitMs have passed.
template <typename Done> void retryFor(int waitMs, Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (int pause = 1; !done() && std::chrono::steady_clock::now() < deadline; pause = std::min(pause * 2, 20))
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
}

// Waits until no other process has any of the files open (where leases tell), at most
// leaseWaitMs; where they cannot tell, for graceMs.
void waitUntilClosedElsewhere(FileIo& io, const std::vector<FileIo::Handle>& handles, int leaseWaitMs, int graceMs)
{
    bool leases = true;
    retryFor(leaseWaitMs, [&] {
        bool busy = false;
        for (const FileIo::Handle h : handles) {
            auto open = io.openElsewhere(h);
            leases = leases && open.ok();
            busy = busy || !open || *open;
        }
        return !leases || !busy;
    });
    if (!leases)
        std::this_thread::sleep_for(std::chrono::milliseconds(graceMs));
}

Result<CarriedOver> carryLate(FileIo& io, const std::string& journal, std::vector<Watched>& watched,
    const std::vector<std::pair<AreaFileKind, std::string>>& files, int leaseWaitMs, int graceMs, int lockWaitMs,
    const DescriptionLayout* layout = nullptr, uint64_t copiedTo = 0)
{
    {
        std::vector<FileIo::Handle> old;
        for (const auto& w : watched)
            old.push_back(w.handle);
        waitUntilClosedElsewhere(io, old, leaseWaitMs, graceMs);
    }

    CarriedOver carried;
    AreaJournal note;
    struct Open {
        std::string file;
        std::unique_ptr<ScopedHandle> handle;
        std::vector<size_t> patches; // in the note
        std::vector<std::optional<Late::Count>> counts; // per patch: a count to add at write time
        std::vector<bool> atEnd; // per patch: appended records, written where the file ends then
        bool header = false;
        AreaFileKind kind = AreaFileKind::Header;
    };
    std::vector<Open> opened;
    for (auto& w : watched) {
        const auto file = std::find_if(files.begin(), files.end(), [&](const auto& f) { return f.first == w.kind; });
        if (file == files.end())
            continue;
        auto found = look(io, w, false);
        if (!found)
            return found.error();
        if (found->unknown || found->empty())
            continue;
        if (layout) {
            // Pointers of late records lead into the old description file.
            bool lost = false;
            for (auto& [to, bytes] : found->changed)
                lost = !repoint(*layout, w.kind, bytes.data(), copiedTo) || lost;
            for (size_t at = 0; at < found->appended.size(); at += w.size)
                lost = !repoint(*layout, w.kind, found->appended.data() + at, copiedTo) || lost;
            if (lost)
                carried.failed = Error { kChangedMeanwhile, "a late record points at text the pack did not copy" };
        }
        auto h = io.open(file->second, FileIo::Mode::ReadWrite);
        if (!h)
            return h.error();
        Open o { file->second, std::make_unique<ScopedHandle>(io, *h), {}, {}, {}, w.header(), w.kind };
        auto length = io.size(*h);
        if (!length)
            return length.error();
        const std::string name = journalName(w.kind, file->second);
        auto add = [&](uint64_t offset, std::vector<uint8_t> bytes, std::optional<Late::Count> count, bool atEnd) {
            o.patches.push_back(note.patches.size());
            o.counts.push_back(count);
            o.atEnd.push_back(atEnd);
            note.patches.push_back({ name, offset, std::move(bytes), atEnd ? w.size : 0, 0, atEnd });
        };
        for (auto& [to, bytes] : found->changed)
            add(to * w.size, std::move(bytes), std::nullopt, false);
        for (const auto& c : found->counted)
            add(c.to * w.size + HeaderRecord::kBumpedOffset, std::vector<uint8_t>(HeaderRecord::kBumpedSize), c, false);
        if (!found->appended.empty())
            add(*length / w.size * w.size, found->appended, std::nullopt, true);
        if (w.header()) {
            carried.added += found->appendedCount(w.size);
            carried.changed += found->changedCount();
        }
        opened.push_back(std::move(o));
    }
    if (note.patches.empty())
        return carried;

    // Whole records go where the file ends at that moment, in one step, so a record the board
    // appended since the file was measured is never written over; a torn record at the end is.
    // A write grows the file a page at a time, and a board that measured the end in between
    // would write into the middle of it: where leases can be had, the records are written while
    // no other process has the file open, and one that opens it waits until they are.
    auto placeAtEnd = [&](Open& o, std::span<const uint8_t> bytes) -> Result<void> {
        const size_t size = recordSize(o.kind);
        auto length = io.size(o.handle->get());
        if (!length)
            return length.error();
        if (*length % size != 0)
            return io.writeAt(o.handle->get(), *length / size * size, bytes.data(), bytes.size());
        if (auto synced = io.sync(o.handle->get()); !synced)
            return synced; // what was written through it, before it is closed
        o.handle.reset(); // our own handle would keep the lease from being had
        auto h = io.open(o.file, FileIo::Mode::Append);
        if (!h)
            return h.error();
        o.handle = std::make_unique<ScopedHandle>(io, *h);
        bool held = false;
        retryFor(leaseWaitMs, [&] {
            auto lease = io.holdLease(*h);
            held = lease && *lease;
            return !lease || held;
        });
        auto at = io.append(*h, bytes.data(), bytes.size());
        if (held)
            io.releaseLease(*h);
        if (!at)
            return at.error();
        return {};
    };
    // A count goes onto the record as it is in the new file, where the board may count as well.
    auto countOnto = [&](FileIo::Handle h, AreaJournal::Patch& p, const Late::Count& c) -> Result<void> {
        uint8_t now[HeaderRecord::kBumpedSize] {};
        auto got = io.readAt(h, p.offset, now, HeaderRecord::kBumpedSize);
        if (!got)
            return got.error();
        std::memcpy(p.bytes.data(), now, HeaderRecord::kBumpedSize);
        if (c.date)
            enc::putLong(p.bytes.data(), *c.date);
        const int word = HeaderRecord::kDownloadsOffset - HeaderRecord::kBumpedOffset;
        enc::putWord(p.bytes.data() + word, (enc::getWord(now + word) + c.added) % 0x10000);
        return {};
    };
    for (auto& o : opened)
        for (size_t k = 0; k < o.patches.size(); ++k)
            if (o.counts[k])
                if (auto r = countOnto(o.handle->get(), note.patches[o.patches[k]], *o.counts[k]); !r)
                    return r.error();
    if (auto written = writeJournal(io, journal, note); !written) {
        (void)io.remove(journal);
        return written.error();
    }
    const FileIo::Handle header = opened.front().handle->get();
    const bool locked = opened.front().header && io.lockRange(header, 0, HeaderRecord::kSize, lockWaitMs).ok();
    Result<void> done;
    for (auto& o : opened)
        for (size_t k = 0; k < o.patches.size() && done; ++k) {
            AreaJournal::Patch& p = note.patches[o.patches[k]];
            if (o.counts[k])
                done = countOnto(o.handle->get(), p, *o.counts[k]);
            if (done && o.atEnd[k])
                done = placeAtEnd(o, p.bytes);
            else if (done)
                done = io.writeAt(o.handle->get(), p.offset, p.bytes.data(), p.bytes.size());
        }
    if (locked)
        (void)io.unlockRange(header, 0, HeaderRecord::kSize);
    for (auto& o : opened)
        if (done)
            done = io.sync(o.handle->get());
    // A board that measured the file's end before a record was placed there writes its own over
    // it. Once no other process has the file open, each placed record is looked for behind where
    // the file ended when it was measured, and one that is gone is placed again.
    for (auto& o : opened) {
        std::vector<size_t> placed;
        for (size_t k = 0; k < o.patches.size(); ++k)
            if (o.atEnd[k])
                placed.push_back(o.patches[k]);
        if (!done || placed.empty())
            continue;
        o.handle.reset(); // our own handle would keep the lease from being had
        for (int round = 0; done; ++round) {
            auto h = io.open(o.file, FileIo::Mode::Read);
            if (!h) {
                done = h.error();
                break;
            }
            ScopedHandle reading(io, *h);
            waitUntilClosedElsewhere(io, { *h }, leaseWaitMs, graceMs);
            std::vector<uint8_t> gone;
            for (size_t i : placed) {
                const AreaJournal::Patch& p = note.patches[i];
                auto missing = recordsMissing(io, *h, p.offset, p.bytes, p.recordSize);
                if (!missing) {
                    done = missing.error();
                    break;
                }
                gone.insert(gone.end(), missing->begin(), missing->end());
            }
            if (!done || gone.empty())
                break;
            if (round == 2) {
                done = Error { EAGAIN, "the board kept writing over the entries it added meanwhile" };
                break;
            }
            auto w = io.open(o.file, FileIo::Mode::ReadWrite);
            if (!w) {
                done = w.error();
                break;
            }
            o.handle = std::make_unique<ScopedHandle>(io, *w);
            done = placeAtEnd(o, gone);
            if (done)
                done = io.sync(o.handle->get());
            o.handle.reset();
        }
    }
    if (!done)
        return done.error(); // the journal stays: the next load places the records
    (void)io.remove(journal);
    return carried;
}

// Writes the plan's records of one kind to an open temporary file.
// Output is built in windows, so memory stays bounded whatever the area's size while a sort still
// reads its source nearly sequentially.
Result<void> writeKind(FileIo& io, int out, AreaFileKind kind, const RewritePlan& plan, const SourceArea& here,
    const SourceArea* other, const PointerMap& longNamePointers, size_t windowBytes, size_t preloadBytes,
    Watched* watched)
{
    const size_t size = recordSize(kind);
    const uint64_t window = std::max<uint64_t>(1, windowBytes / size);
    RawBuffer buffer;
    Gatherer fromHere(io, here, kind);
    std::optional<Gatherer> fromOther;
    if (other)
        fromOther.emplace(io, *other, kind);

    // Scattered records of one source (a sort, a paste): read the stretch they come from at once
    // when it fits the preload budget, else visit each window's records in source order so the
    // cache reads front to back.
    bool sorted = true;
    for (auto source : { RewritePlan::Source::ThisArea, RewritePlan::Source::OtherArea }) {
        uint64_t lo = UINT64_MAX, hi = 0, scattered = 0;
        for (const auto& run : plan.runs())
            if (run.source == source) {
                lo = std::min(lo, run.first);
                hi = std::max(hi, run.first + run.count);
                scattered += run.count * size < kChunkBytes / 2;
            }
        if (scattered < 64)
            continue;
        if ((hi - lo) * size <= preloadBytes) {
            Gatherer& g = source == RewritePlan::Source::ThisArea ? fromHere : *fromOther;
            if (auto r = g.preload(lo, hi); !r)
                return r;
        } else {
            sorted = false;
        }
    }

    auto runIt = plan.runs().begin();
    uint64_t runOffset = 0; // records of *runIt already written
    for (uint64_t start = 0; start < plan.size(); start += window) {
        const uint64_t n = std::min(window, plan.size() - start);
        buffer.resize(n * size);
        std::vector<Piece> pieces;
        for (uint64_t filled = 0; filled < n;) {
            const uint64_t take = std::min(runIt->count - runOffset, n - filled);
            pieces.push_back({ &*runIt, runOffset, take, filled });
            filled += take;
            runOffset += take;
            if (runOffset == runIt->count) {
                ++runIt;
                runOffset = 0;
            }
        }
        if (!sorted)
            std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
                if (a.run->source != b.run->source)
                    return a.run->source < b.run->source;
                return a.run->first + a.skip < b.run->first + b.skip;
            });
        constexpr size_t kAhead = 16;
        for (size_t k = 0; k < pieces.size(); ++k) {
            if (k + kAhead < pieces.size()) {
                const Piece& next = pieces[k + kAhead];
                if (next.run->source == RewritePlan::Source::ThisArea)
                    fromHere.prefetch(next.run->first + next.skip);
            }
            const Piece& p = pieces[k];
            uint8_t* dest = buffer.data() + p.slot * size;
            const RewritePlan::Run& run = *p.run;
            switch (run.source) {
            case RewritePlan::Source::New:
                for (uint64_t i = 0; i < p.count; ++i) {
                    const NewEntry& e = plan.newEntries()[run.first + p.skip + i];
                    const uint8_t* src = kind == AreaFileKind::Header ? e.header.encode().data()
                        : kind == AreaFileKind::Index                 ? e.index.encode().data()
                                                                      : e.longName.encode().data();
                    std::memcpy(dest + i * size, src, size);
                }
                break;
            case RewritePlan::Source::ThisArea:
            case RewritePlan::Source::OtherArea: {
                Gatherer& g = run.source == RewritePlan::Source::ThisArea ? fromHere : *fromOther;
                if (auto r = g.copy(run.first + p.skip, p.count, dest); !r)
                    return r;
                if (watched && run.source == RewritePlan::Source::ThisArea)
                    for (uint64_t i = 0; i < p.count; ++i) {
                        const uint64_t record = run.first + p.skip + i;
                        if (record < watched->to.size()) {
                            watched->note(record, dest + i * size);
                            watched->to[record] = start + p.slot + i;
                        }
                    }
                if (run.source == RewritePlan::Source::ThisArea && (plan.recordEdit() || plan.descriptionLayout()))
                    for (uint64_t i = 0; i < p.count; ++i) {
                        uint8_t* rec = dest + i * size;
                        if (plan.recordEdit())
                            plan.recordEdit()(kind, run.first + p.skip + i, rec);
                        if (plan.descriptionLayout() && !repoint(*plan.descriptionLayout(), kind, rec, std::nullopt))
                            return Error { kChangedMeanwhile, "a record points at text the pack did not keep" };
                    }
                if (run.pointer && kind != AreaFileKind::LongName)
                    enc::putLong(dest
                            + (kind == AreaFileKind::Header ? HeaderRecord::kDescriptionPointerOffset
                                                            : IndexRecord::kDescriptionPointerOffset),
                        *run.pointer);
                // The board's long-name pointer never leads into the other area's file.
                if (run.source == RewritePlan::Source::OtherArea && kind == AreaFileKind::Header) {
                    for (uint64_t i = 0; i < p.count; ++i) {
                        uint8_t* at = dest + i * size + HeaderRecord::kLongNamePointerOffset;
                        if (enc::getLong(at) <= 0)
                            continue;
                        const auto moved = longNamePointers.find(run.first + p.skip + i);
                        enc::putLong(at, moved == longNamePointers.end() ? 0 : moved->second);
                    }
                }
                break;
            }
            }
        }
        if (auto w = io.writeAt(out, start * size, buffer.data(), buffer.size()); !w)
            return w;
    }
    return {};
}

} // namespace

Result<void> AreaStore::rewrite(int area, const RewritePlan& plan, std::span<const RowIdentity> expected)
{
    // An earlier rewrite must be finished first: its temporary names are the ones used here.
    if (auto r = recover(area); !r)
        return r.error();
    auto before = m_io->stamp(path(area, AreaFileKind::Header));
    if (!before)
        return before.error();
    return commitPlan(area, plan, std::nullopt, *before, expected);
}

Result<void> AreaStore::rewrite(
    int area, const RewritePlan& plan, const FileIo::Stamp& unchangedSince, std::span<const RowIdentity> expected)
{
    if (auto r = recover(area); !r)
        return r.error();
    return commitPlan(area, plan, std::nullopt, unchangedSince, expected);
}

Result<void> AreaStore::commitPlan(int area, const RewritePlan& plan, std::optional<AreaJournal::Append> appended,
    const FileIo::Stamp& before, std::span<const RowIdentity> expected, std::span<const RowIdentity> expectedOther)
{
    const std::string headerDir = directoryOf(path(area, AreaFileKind::Header));
    const std::string journal = journalPath(headerDir, area);
    // Before anything is written only an insertion's text has to be undone.
    auto undo = [&](const Error& e) -> Result<void> {
        if (appended && !undoAppend(*m_io, m_fileBaseDir, area, *appended))
            return e; // its journal stays, and the next load cuts the text off
        if (m_io->exists(journal))
            (void)m_io->remove(journal);
        return e;
    };

    SourceArea here;
    if (auto r = here.open(*m_io, m_fileBaseDir, area); !r)
        return undo(r.error());
    std::optional<SourceArea> other;
    const bool readsOther = std::any_of(plan.runs().begin(), plan.runs().end(),
        [](const RewritePlan::Run& r) { return r.source == RewritePlan::Source::OtherArea; });
    if (readsOther) {
        if (plan.otherArea() <= 0 || plan.otherArea() == area)
            return undo(Error { EINVAL, "a plan that takes records of another area must name it" });
        other.emplace();
        if (auto r = other->open(*m_io, m_fileBaseDir, plan.otherArea()); !r)
            return undo(r.error());
    }
    for (const auto& run : plan.runs()) {
        const uint64_t limit = run.source == RewritePlan::Source::ThisArea ? here.hdrCount
            : run.source == RewritePlan::Source::OtherArea                 ? other->hdrCount
                                                                           : plan.newEntries().size();
        if (run.first > limit || run.count > limit - run.first)
            return undo(Error { EINVAL, "the area changed since the plan was made" });
    }

    // Board long names of records from the other area: their texts are appended here first.
    PointerMap longNamePointers;
    if (other) {
        auto found = boardLongNames(
            *m_io, plan, *other, areaFilePath(*m_io, m_fileBaseDir, plan.otherArea(), AreaFileKind::Description));
        if (!found)
            return undo(found.error());
        std::string texts;
        std::vector<std::pair<uint64_t, size_t>> offsets; // record there, offset in texts
        for (const auto& [record, text] : *found) {
            if (text::trim(text).empty())
                continue; // leads nowhere: the copy gets 0
            if (!offsets.empty())
                texts.push_back('\0');
            offsets.emplace_back(record, texts.size());
            texts += text;
        }
        if (!offsets.empty()) {
            const std::string txt = path(area, AreaFileKind::Description);
            if (appended) {
                // The texts go behind those already noted: the note must cover them too, or
                // undoing it would find a length it does not expect and cut nothing.
                AreaJournal intent;
                intent.complete = false;
                intent.append = appended;
                intent.append->lengthAfter += texts.size() + 1;
                if (auto written = writeJournal(*m_io, journal, intent); !written)
                    return undo(written.error());
                appended = intent.append;
            } else {
                // Noted before the texts are appended, so a failure or crash cuts them off again.
                uint64_t oldLength = 0;
                if (m_io->exists(txt)) {
                    auto n = m_io->fileSize(txt);
                    if (!n)
                        return undo(n.error());
                    oldLength = *n;
                }
                AreaJournal intent;
                intent.complete = false;
                intent.append = AreaJournal::Append { journalName(AreaFileKind::Description, txt), oldLength,
                    oldLength + texts.size() + 1 };
                if (auto written = writeJournal(*m_io, journal, intent); !written)
                    return undo(written.error());
                appended = intent.append;
            }
            auto pointer = appendText(txt, texts);
            if (!pointer)
                return undo(pointer.error());
            texts.push_back('\0');
            appended->land(uint64_t(*pointer), texts);
            for (const auto& [record, offset] : offsets)
                longNamePointers[record] = *pointer + int32_t(offset);
        }
    }

    // The long-name file is written when it exists or when it is about to gain a name.
    bool longNames = here.lfn >= 0 || plan.createLongNames() || (other && other->lfn >= 0);
    for (const auto& e : plan.newEntries())
        longNames = longNames || !text::trim(e.longName.name()).empty();

    struct Target {
        AreaFileKind kind;
        std::string file;
        std::string temporary;
        bool written = false;
    };
    std::vector<Target> targets;
    for (AreaFileKind kind : { AreaFileKind::Header, AreaFileKind::LongName, AreaFileKind::Index }) {
        if ((kind == AreaFileKind::LongName && !longNames) || (plan.indexOnly() && kind != AreaFileKind::Index))
            continue;
        const std::string file = path(area, kind);
        const std::string stem = "fdb" + std::to_string(area);
        targets.push_back(
            { kind, file, directoryOf(file) + "/" + stem + (kind == AreaFileKind::LongName ? ".l$$" : ".$$$") });
    }
    const std::string indexDir = directoryOf(targets.back().file);
    // A pack writes the description file anew as well; it is renamed last, behind the records.
    const DescriptionLayout* layout = plan.descriptionLayout() ? &*plan.descriptionLayout() : nullptr;
    std::optional<ScopedHandle> oldTexts;
    uint64_t textsCopied = 0;
    if (layout) {
        if (other)
            return undo(Error { EINVAL, "a plan that packs descriptions takes no records of another area" });
        const std::string file = path(area, AreaFileKind::Description);
        auto h = m_io->open(file, FileIo::Mode::Read);
        if (!h)
            return undo(h.error());
        oldTexts.emplace(*m_io, *h);
        targets.push_back(
            { AreaFileKind::Description, file, directoryOf(file) + "/fdb" + std::to_string(area) + ".$$$" });
    }
    auto textsChanged = [&]() -> Result<bool> {
        auto now = m_io->stamp(path(area, AreaFileKind::Description));
        if (!now)
            return now.error();
        return !now->exists || now->inode != layout->read.inode || now->device != layout->read.device
            || now->size != textsCopied;
    };

    auto abandon = [&](const Error& e) -> Result<void> {
        // Temporary files first: a journal whose temporary files are gone replaces nothing.
        for (const auto& t : targets)
            if (t.written || m_io->exists(t.temporary))
                (void)m_io->remove(t.temporary);
        return undo(e);
    };

    // The old header and index files are watched from here on: what the board writes to them
    // is carried into the new files.
    // Records the plan rests on: those counted before it was made, and any it names beyond them.
    uint64_t rested = before.exists ? before.size / HeaderRecord::kSize : 0;
    for (const auto& run : plan.runs())
        if (run.source == RewritePlan::Source::ThisArea)
            rested = std::max(rested, run.first + run.count);
    std::vector<Watched> watched;
    for (AreaFileKind kind : { AreaFileKind::Header, AreaFileKind::Index }) {
        if (here.handle(kind) < 0)
            continue;
        Watched w;
        w.kind = kind;
        w.handle = here.handle(kind);
        w.size = recordSize(kind);
        w.rested = rested;
        w.read = here.records(kind);
        reserveLarge(w.print, w.read);
        reserveLarge(w.namePrint, w.read);
        reserveLarge(w.restPrint, w.read);
        reserveLarge(w.to, w.read);
        w.print.assign(w.read, 0);
        w.namePrint.assign(w.read, 0);
        w.restPrint.assign(w.read, 0);
        if (kind == AreaFileKind::Header) {
            reserveLarge(w.bumped, w.read);
            w.bumped.resize(w.read);
        }
        w.to.assign(w.read, 0);
        watched.push_back(std::move(w));
    }
    auto watchedOf = [&](AreaFileKind kind) -> Watched* {
        for (auto& w : watched)
            if (w.kind == kind)
                return &w;
        return nullptr;
    };
    auto idStamp = [&](AreaFileKind kind) -> Result<FileIo::Stamp> { return m_io->stamp(path(area, kind)); };
    auto idxAtRead = idStamp(AreaFileKind::Index);
    if (!idxAtRead)
        return undo(idxAtRead.error());

    // Temporary files, complete and on disk. Each file's writes start as soon as it is written,
    // while the next is built; then all are flushed together.
    std::vector<std::unique_ptr<ScopedHandle>> outputs(targets.size());
    auto openTarget = [&](size_t k) -> Result<void> {
        Target& t = targets[k];
        auto h = m_io->open(t.temporary, FileIo::Mode::CreateTruncate); // a stale one is emptied
        if (!h)
            return h.error();
        t.written = true;
        outputs[k] = std::make_unique<ScopedHandle>(*m_io, *h);
        // The board may run as another user: the new file must stay as writable to it as the old.
        if (m_io->exists(t.file))
            if (auto kept = m_io->takeModeAndOwner(*h, t.file); !kept)
                return kept.error();
        return {};
    };
    auto buildTarget = [&](size_t k) -> Result<void> {
        const Target& t = targets[k];
        const FileIo::Handle h = outputs[k]->get();
        Result<void> r;
        if (t.kind == AreaFileKind::Description) {
            auto copied = writeDescriptions(*m_io, h, oldTexts->get(), *layout, m_windowBytes);
            if (copied)
                textsCopied = *copied;
            else
                r = copied.error();
            if (r) {
                auto changed = textsChanged();
                if (!changed)
                    r = changed.error();
                else if (*changed)
                    r = Error { kChangedMeanwhile, changedMeanwhileMessage(area) };
            }
        } else {
            r = writeKind(*m_io, h, t.kind, plan, here, other ? &*other : nullptr, longNamePointers, m_windowBytes,
                m_preloadBytes, watchedOf(t.kind));
        }
        if (!r && r.error().code == kChangedMeanwhile)
            r = Error { kChangedMeanwhile, changedMeanwhileMessage(area) };
        if (r)
            r = m_io->startSync(h);
        return r;
    };
    // A large area's long-name and index files are built on a second thread while this one builds
    // the header file: they share only the plan and the old files, which both only read, and
    // each has its own record of what it watches.
    const bool beside = plan.size() >= kParallelWriteRecords && m_io->writesFromThreads()
        && std::thread::hardware_concurrency() > 1;
    auto besideKind = [&](size_t k) {
        return beside && (targets[k].kind == AreaFileKind::LongName || targets[k].kind == AreaFileKind::Index);
    };
    std::optional<std::thread> helper;
    Result<void> helped;
    // Nothing may close or remove the helper's files while it writes them.
    auto stopHelper = [&] {
        if (helper && helper->joinable())
            helper->join();
    };
    auto fail = [&](const Error& e) {
        stopHelper();
        return abandon(e);
    };
    if (beside) {
        for (size_t k = 0; k < targets.size(); ++k)
            if (besideKind(k))
                if (auto r = openTarget(k); !r)
                    return abandon(r.error());
        auto buildBeside = [&] {
            for (size_t k = 0; k < targets.size() && helped; ++k)
                if (besideKind(k))
                    helped = buildTarget(k);
        };
        try {
            helper.emplace(buildBeside);
        } catch (const std::system_error&) {
            buildBeside(); // no thread to be had: built here, first
        }
    }
    for (size_t k = 0; k < targets.size(); ++k) {
        if (besideKind(k))
            continue;
        if (auto r = openTarget(k); !r)
            return fail(r.error());
        if (auto r = buildTarget(k); !r)
            return fail(r.error());
    }
    stopHelper();
    if (!helped)
        return abandon(helped.error());
    std::vector<uint64_t> tempBytes;
    for (const Target& t : targets)
        tempBytes.push_back(t.kind == AreaFileKind::Description ? layout->tailTo + (textsCopied - layout->tailFrom)
                                                                : plan.size() * recordSize(t.kind));
    {
        std::vector<FileIo::Handle> written;
        for (const auto& o : outputs)
            written.push_back(o->get());
        auto r = syncTogether(*m_io, written);
        for (auto& o : outputs)
            if (auto closed = o->close(); r && !closed)
                r = closed;
        if (!r)
            return abandon(r.error());
    }

    // Giving up once the journal may be complete: it goes first, so nothing is committed.
    auto retract = [&](const Error& e) -> Result<void> {
        if (!m_io->remove(journal) && m_io->exists(journal))
            return Error { e.code, e.message + " (the change may be completed when the area is next loaded)" };
        return abandon(e);
    };
    auto journalOf = [&](bool complete) {
        AreaJournal note;
        note.complete = complete;
        note.append = appended;
        for (size_t k = 0; k < targets.size(); ++k)
            note.replacements.push_back({ journalName(targets[k].kind, targets[k].temporary),
                journalName(targets[k].kind, targets[k].file), tempBytes[k] });
        return note;
    };

    // The board's lock, where it takes one, is held only from the last look to the renames.
    std::optional<ScopedHandle> lock;
    if (before.exists) {
        // A header file this process may not write (the rename replaces it all the same) cannot
        // be locked; the looks still stand.
        auto h = m_io->open(path(area, AreaFileKind::Header), FileIo::Mode::ReadWrite);
        if (!h && h.error().code != EACCES && h.error().code != EROFS)
            return abandon(h.error());
        if (h)
            lock.emplace(*m_io, *h);
    }
    auto unlock = [&] {
        if (lock)
            (void)m_io->unlockRange(lock->get(), 0, HeaderRecord::kSize);
    };
    if (m_recorder) {
        std::vector<ChangeRecorder::Touch> touches;
        for (const auto& t : targets)
            touches.push_back({ t.kind, t.file, true, 0, 0 });
        m_recorder->committing(area, touches);
    }
    // A journal that names a temporary file its directory lost in a power cut would let recovery
    // take the old file for the renamed one: the names outside the header directory (whose flush
    // comes with the journal's) go to disk first.
    std::vector<std::string> flushedDirs { headerDir };
    for (const auto& t : targets) {
        const std::string dir = directoryOf(t.temporary);
        if (std::find(flushedDirs.begin(), flushedDirs.end(), dir) != flushedDirs.end())
            continue;
        if (auto synced = m_io->syncDirectory(dir); !synced)
            return abandon(synced.error());
        flushedDirs.push_back(dir);
    }
    // The commit point: once the journal is complete on disk the replacement will happen.
    // Everything is flushed before the last look, so it and the renames are microseconds apart.
    if (auto written = writeJournal(*m_io, journal, journalOf(true)); !written)
        return retract(written.error());
    if (lock) {
        if (auto l = m_io->lockRange(lock->get(), 0, HeaderRecord::kSize, m_lockWaitMs); !l)
            return retract(l.error());
    }
    auto gaveUp = [&](const Error& e) {
        unlock();
        return retract(e);
    };
    auto now = idStamp(AreaFileKind::Header);
    if (!now)
        return gaveUp(now.error());
    auto idxNow = idStamp(AreaFileKind::Index);
    if (!idxNow)
        return gaveUp(idxNow.error());
    // Replaced, removed, shrunk or reordered by another program: what it did cannot be told.
    // Appends and in-place changes are carried over once the renames are done.
    const Error meanwhile { kChangedMeanwhile, changedMeanwhileMessage(area) };
    if (now->exists != before.exists || now->device != before.device || now->inode != before.inode
        || idxNow->exists != idxAtRead->exists || idxNow->inode != idxAtRead->inode)
        return gaveUp(meanwhile);
    if (!expected.empty() && here.hdr < 0)
        return gaveUp(Error { kRowsChanged, rowsChangedMessage(area) });
    // The rows shown are checked while the header file is looked at, unless it is not watched.
    RowCheck rows;
    const bool rowsOnTheWay = !expected.empty() && watchedOf(AreaFileKind::Header) && rows.prepare(expected);
    if (!expected.empty() && !rowsOnTheWay) {
        if (auto same = checkRows(here.hdr, area, expected, true); !same)
            return gaveUp(same.error());
    }
    if (other && !expectedOther.empty()) {
        if (auto same = checkRows(other->hdr, plan.otherArea(), expectedOther, true); !same)
            return gaveUp(same.error());
    }
    for (auto& w : watched) {
        const bool checks = rowsOnTheWay && w.header();
        auto late = look(*m_io, w, true, checks ? &rows : nullptr);
        if (!late)
            return gaveUp(late.error());
        if (checks && late->unknown) {
            // The look stopped early: rows it did not reach are checked on their own, as a
            // changed row says more than a moved one.
            if (auto same = checkRows(here.hdr, area, expected, true); !same)
                return gaveUp(same.error());
        } else if (checks && !rows.same()) {
            return gaveUp(Error { kRowsChanged, rowsChangedMessage(area) });
        }
        if (late->unknown)
            return gaveUp(meanwhile);
        if (layout) {
            // A late record whose text the new description file would lack.
            bool lost = false;
            for (auto& [to, bytes] : late->changed)
                lost = lost || !repoint(*layout, w.kind, bytes.data(), textsCopied);
            for (size_t at = 0; at < late->appended.size() && !lost; at += w.size)
                lost = !repoint(*layout, w.kind, late->appended.data() + at, textsCopied);
            if (lost)
                return gaveUp(meanwhile);
        }
    }
    // Records about to point at texts appended here, in a description file another program
    // replaced or rewrote since.
    if (appended) {
        auto there = appendedStillThere(*m_io, path(area, AreaFileKind::Description), *appended);
        if (!there)
            return gaveUp(there.error());
        if (!*there)
            return gaveUp(meanwhile);
    }
    if (layout) {
        // Text the board appended since the tail was copied would be lost with the old file.
        auto changed = textsChanged();
        if (!changed)
            return gaveUp(changed.error());
        if (*changed)
            return gaveUp(meanwhile);
    }

    // Replace the old files; the journal finishes the job if a rename fails or the process dies.
    m_carried = {};
    for (const auto& t : targets) {
        if (auto renamed = m_io->rename(t.temporary, t.file); !renamed) {
            unlock();
            // Success only for a change that is now wholly in place.
            auto again = recover(area);
            if (!again || *again != Recovery::Completed)
                return Error { renamed.error().code,
                    renamed.error().message + " (the change is completed when the area is next loaded)" };
            if (m_recorder)
                m_recorder->committed(area, false);
            return {};
        }
    }
    unlock();
    lock.reset();
    for (const auto& t : targets)
        if (t.kind != AreaFileKind::Description)
            here.replaced(t.kind);
    // The index file's rename is on disk before the journal can be gone; the header directory's
    // renames and the journal's removal go to disk with one flush. A journal that outlived its
    // change could take the temporary files of the next one for its own.
    if (indexDir != headerDir)
        (void)m_io->syncDirectory(indexDir);
    if (layout)
        (void)m_io->syncDirectory(directoryOf(targets.back().file));
    // The change is in place; a journal that cannot be removed now is removed by the next load.
    (void)m_io->remove(journal);
    (void)m_io->syncDirectory(headerDir);
    if (watched.empty()) {
        if (m_recorder)
            m_recorder->committed(area, false);
        return {};
    }
    std::vector<std::pair<AreaFileKind, std::string>> files;
    for (const auto& t : targets)
        files.emplace_back(t.kind, t.file);
    // The change itself is in place whatever happens now.
    oldTexts.reset();
    auto carried
        = carryLate(*m_io, journal, watched, files, m_leaseWaitMs, m_graceMs, m_lockWaitMs, layout, textsCopied);
    if (carried)
        m_carried = *carried;
    else
        m_carried.failed = carried.error();
    if (m_recorder)
        m_recorder->committed(area, m_carried.added > 0 || m_carried.changed > 0 || m_carried.failed.has_value());
    return {};
}

} // namespace qv
