// The rewrite engine behind AreaStore::rewrite.

#include "storage/AreaStore.h"

#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace qv {

namespace {

// Reads for scattered records (a sort, a paste) go through a cache of this size.
constexpr size_t kChunkBytes = size_t(1) << 20;

// The open files of one area that a plan reads from.
struct SourceArea {
    FileIo* io = nullptr;
    int hdr = -1, idx = -1, lfn = -1;
    uint64_t hdrCount = 0, idxCount = 0, lfnCount = 0;

    ~SourceArea()
    {
        for (int h : { hdr, idx, lfn })
            if (h >= 0)
                (void)io->close(h);
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

// A byte buffer that is not zero-filled: rewrites fill every byte they write, and clearing tens
// of megabytes first costs as much as the copy itself.
class RawBuffer {
public:
    uint8_t* data() { return m_data.get(); }
    size_t size() const { return m_size; }
    void resize(size_t size)
    {
        if (size > m_capacity) {
            m_data.reset(new uint8_t[size]);
            m_capacity = size;
        }
        m_size = size;
    }

private:
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
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
        // Records the file lacks: empty long names, index records rebuilt from the header.
        for (uint64_t i = present; i < count; ++i) {
            uint8_t* rec = out + i * m_size;
            std::memset(rec, 0, m_size);
            if (m_kind == AreaFileKind::Index) {
                if (auto r = indexFromHeader(first + i, rec); !r)
                    return r;
            }
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

    Result<void> indexFromHeader(uint64_t record, uint8_t* out)
    {
        HeaderRecord::Bytes bytes {};
        if (auto r = readFrom(m_source.hdr, record * HeaderRecord::kSize, bytes.data(), bytes.size()); !r)
            return r;
        const auto header = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(bytes));
        IndexRecord index;
        index.setName(text::toUpper(header.name()));
        index.setUploadDate(header.uploadDate());
        index.setDescriptionPointer(header.descriptionPointer());
        std::memcpy(out, index.encode().data(), IndexRecord::kSize);
        return {};
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

// Writes the plan's records of one kind to an open temporary file.
// Output is built in windows, so memory stays bounded whatever the area's size while a sort still
// reads its source nearly sequentially.
Result<void> writeKind(FileIo& io, int out, AreaFileKind kind, const RewritePlan& plan, const SourceArea& here,
    const SourceArea* other, const PointerMap& longNamePointers, size_t windowBytes, size_t preloadBytes)
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
        for (const Piece& p : pieces) {
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
        if (kind == AreaFileKind::LongName && !longNames)
            continue;
        const std::string file = path(area, kind);
        const std::string stem = "fdb" + std::to_string(area);
        targets.push_back(
            { kind, file, directoryOf(file) + "/" + stem + (kind == AreaFileKind::LongName ? ".l$$" : ".$$$") });
    }
    const std::string indexDir = directoryOf(targets.back().file);

    auto abandon = [&](const Error& e) -> Result<void> {
        // Temporary files first: a journal whose temporary files are gone replaces nothing.
        for (const auto& t : targets)
            if (t.written || m_io->exists(t.temporary))
                (void)m_io->remove(t.temporary);
        return undo(e);
    };

    // Temporary files, complete and on disk.
    for (auto& t : targets) {
        auto h = m_io->open(t.temporary, FileIo::Mode::CreateTruncate); // a stale one is emptied
        if (!h)
            return abandon(h.error());
        t.written = true;
        ScopedHandle out(*m_io, *h);
        auto r = writeKind(
            *m_io, *h, t.kind, plan, here, other ? &*other : nullptr, longNamePointers, m_windowBytes, m_preloadBytes);
        if (r)
            r = m_io->sync(*h);
        if (r)
            r = out.close();
        if (!r)
            return abandon(r.error());
    }

    // The board may have changed the header file since its records were read: then this change
    // rests on old records and is given up. Its lock is held from the check to the renames, so
    // a board that respects it cannot slip an update in between.
    std::optional<ScopedHandle> lock;
    if (before.exists) {
        // A header file this process may not write (the rename replaces it all the same) cannot
        // be locked; the stamp check still stands.
        auto h = m_io->open(targets.front().file, FileIo::Mode::ReadWrite);
        if (!h && h.error().code != EACCES && h.error().code != EROFS)
            return abandon(h.error());
        if (h) {
            lock.emplace(*m_io, *h);
            if (auto l = m_io->lockRange(*h, 0, HeaderRecord::kSize, m_lockWaitMs); !l)
                return abandon(l.error());
        }
    }
    auto now = m_io->stamp(targets.front().file);
    if (!now)
        return abandon(now.error());
    if (!expected.empty()) {
        if (here.hdr < 0)
            return abandon(Error { kRowsChanged, rowsChangedMessage(area) });
        if (auto same = checkRows(here.hdr, area, expected, true); !same)
            return abandon(same.error());
    }
    if (other && !expectedOther.empty()) {
        if (auto same = checkRows(other->hdr, plan.otherArea(), expectedOther, true); !same)
            return abandon(same.error());
    }
    if (!(*now == before))
        return abandon(Error { kChangedMeanwhile, changedMeanwhileMessage(area) });

    // The commit point: once the journal is complete on disk the replacement will happen.
    AreaJournal note;
    note.append = appended;
    for (const auto& t : targets)
        note.replacements.push_back(
            { journalName(t.kind, t.temporary), journalName(t.kind, t.file), plan.size() * recordSize(t.kind) });
    if (auto written = writeJournal(*m_io, journal, note); !written)
        return abandon(written.error());

    // Replace the old files; the journal finishes the job if a rename fails or the process dies.
    for (const auto& t : targets) {
        if (auto renamed = m_io->rename(t.temporary, t.file); !renamed) {
            // Success only for a change that is now wholly in place.
            auto again = recover(area);
            if (!again || *again != Recovery::Completed)
                return Error { renamed.error().code,
                    renamed.error().message + " (the change is completed when the area is next loaded)" };
            return {};
        }
    }
    (void)m_io->syncDirectory(headerDir);
    if (indexDir != headerDir)
        (void)m_io->syncDirectory(indexDir);
    // The change is in place; a journal that cannot be removed now is removed by the next load.
    if (m_io->remove(journal))
        (void)m_io->syncDirectory(headerDir);
    return {};
}

} // namespace qv
