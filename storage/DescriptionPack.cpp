#include "storage/DescriptionPack.h"

#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/LargeTable.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {

// Small enough to stay in the processor's cache between the read and the look at its bytes, and
// few fresh pages; a read more per 128 KiB costs less than either.
constexpr size_t kWindow = size_t(128) << 10;

// One buffer of kWindow bytes serves every read of a survey: each fresh page costs a fault, and
// zeroing it first would touch pages a short file never fills.
RawBuffer readBuffer()
{
    RawBuffer buffer;
    buffer.resize(kWindow);
    return buffer;
}

// The pointers of one record that lead to text: description (header, index) and long name.
struct Pointers {
    int32_t header = -1;
    int32_t longName = 0;
    int32_t index = -1;
};

// Hands each of the first `records` records of the header or index file to each, with its
// number; records the file lacks are not handed.
template <class Each>
Result<void> readRecords(
    FileIo& io, const std::string& file, AreaFileKind kind, uint64_t records, uint8_t* block, Each each)
{
    const size_t size = kind == AreaFileKind::Header ? HeaderRecord::kSize : IndexRecord::kSize;
    auto h = io.open(file, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    auto length = io.size(*h);
    if (!length)
        return length.error();
    const uint64_t present = std::min<uint64_t>(records, *length / size);
    const uint64_t perBlock = kWindow / size;
    for (uint64_t first = 0; first < present; first += perBlock) {
        const uint64_t n = std::min(perBlock, present - first);
        auto got = io.readAt(*h, first * size, block, n * size);
        if (!got)
            return got.error();
        if (*got != n * size)
            return Error { kChangedMeanwhile, "an area file became shorter while it was read" };
        for (uint64_t i = 0; i < n; ++i)
            each(first + i, block + i * size);
    }
    return {};
}

int32_t indexPointer(const uint8_t* rec)
{
    return enc::getLong(rec + IndexRecord::kDescriptionPointerOffset);
}

// The index's pointers; without an index file (or for the records it lacks) the header's, as
// the rewrite rebuilds them.
Result<void> readIndexPointers(
    FileIo& io, const std::string& fileBaseDir, int area, LargeVector<Pointers>& out, uint8_t* block)
{
    for (auto& p : out)
        p.index = p.header;
    const std::string file = areaFilePath(io, fileBaseDir, area, AreaFileKind::Index);
    if (!io.exists(file))
        return {};
    return readRecords(io, file, AreaFileKind::Index, out.size(), block,
        [&](uint64_t i, const uint8_t* rec) { out[i].index = indexPointer(rec); });
}

// Where the bytes after the last zero byte of the file's first `length` bytes start (0: none).
Result<uint64_t> afterLastZero(FileIo& io, FileIo::Handle h, uint64_t length, uint8_t* block)
{
    // The last byte is mostly a zero: a small read first, larger ones only when it is not.
    uint64_t want = 4096;
    for (uint64_t end = length; end > 0; want = std::min<uint64_t>(want * 16, kWindow)) {
        const uint64_t start = end > want ? end - want : 0;
        auto got = io.readAt(h, start, block, size_t(end - start));
        if (!got)
            return got.error();
        if (*got != end - start)
            return Error { kChangedMeanwhile, "the description file became shorter while it was read" };
        for (uint64_t i = end - start; i > 0; --i)
            if (block[i - 1] == 0)
                return start + i;
        end = start;
    }
    return uint64_t(0);
}

// The texts the records point at, gathered in record order before they are sorted. Each is
// its offset shifted left by one, the low bit set for a long-name pointer: pointers are
// positive 32-bit values, so this fits 32 bits, half the memory of 64-bit offsets, which for
// 100,000 records counts.
struct Starts {
    explicit Starts(uint64_t tail, size_t records)
        : tail(tail)
    {
        all.reserve(records + records / 4);
    }
    // One record's pointers, in the order a pack places their texts.
    void add(int32_t header, int32_t longName, int32_t index)
    {
        consider(header, false);
        consider(longName, true);
        if (index != header) // as they mostly are
            consider(index, false);
    }
    // Texts appended one after another leave them in order already.
    void sort()
    {
        if (!std::is_sorted(all.begin(), all.end()))
            std::sort(all.begin(), all.end());
    }
    static bool leads(int32_t p, bool longName, uint64_t tail)
    {
        return p >= 0 && !(longName && p == 0) && uint64_t(p) < tail;
    }

    uint64_t tail;
    LargeVector<uint32_t> all;
    std::optional<uint32_t> first; // the first pointer in record order that leads to a text

private:
    void consider(int32_t p, bool longName)
    {
        if (!leads(p, longName, tail))
            return;
        all.push_back(uint32_t(p) << 1 | uint32_t(longName));
        if (!first)
            first = uint32_t(p);
    }
};

// Finds where each text ends: at the first zero byte after its start, before the tail. Texts
// that share their end (one a suffix of another) are one stretch, so they stay shared.
// stretch(from, length) is called for each stretch, in the order of the file, then start(p,
// longName, from) for each gathered start in it.
template <class Stretch, class Start>
Result<void> findStretches(
    FileIo& io, FileIo::Handle h, const Starts& starts, uint8_t* window, Stretch stretch, Start start)
{
    uint64_t windowFirst = 0, windowCount = 0; // the window holds no bytes of the file yet
    uint64_t from = 0, end = 0; // the last stretch; none yet
    for (const uint32_t entry : starts.all) {
        const uint64_t p = entry >> 1;
        if (p >= end) { // else a suffix of the stretch before
            // The zero byte that ends it: there is one before the tail.
            uint64_t at = p;
            for (;;) {
                if (at < windowFirst || at >= windowFirst + windowCount) {
                    auto got = io.readAt(h, at, window, size_t(std::min<uint64_t>(kWindow, starts.tail - at)));
                    if (!got)
                        return got.error();
                    if (*got == 0)
                        return Error { kChangedMeanwhile, "the description file became shorter while it was read" };
                    windowFirst = at;
                    windowCount = *got;
                }
                const uint8_t* in = window + (at - windowFirst);
                const void* zero = std::memchr(in, 0, size_t(windowFirst + windowCount - at));
                if (zero) {
                    at += uint64_t(static_cast<const uint8_t*>(zero) - in);
                    break;
                }
                at = windowFirst + windowCount;
            }
            from = p;
            end = at + 1;
            stretch(from, end - from);
        }
        start(p, (entry & 1) != 0, from);
    }
    return {};
}

// Opens the description file survey.layout.read measured and finds its tail.
Result<uint64_t> openTexts(
    FileIo& io, const std::string& txt, PackSurvey& survey, std::optional<ScopedHandle>& handle, uint8_t* window)
{
    auto h = io.open(txt, FileIo::Mode::Read);
    if (!h)
        return h.error();
    handle.emplace(io, *h);
    auto tail = afterLastZero(io, *h, survey.layout.read.size, window);
    if (!tail)
        return tail.error();
    survey.layout.tailFrom = *tail;
    return *tail;
}

// What a pack keeps: the kept texts, the byte before them when a long name would come first
// (lead), and the tail as it is.
void keep(PackSurvey& survey, uint64_t texts, uint64_t packed, bool lead)
{
    survey.texts = texts;
    survey.layout.tailTo = packed + (lead ? 1 : 0);
    survey.keptBytes = survey.layout.tailTo + (survey.layout.read.size - survey.layout.tailFrom);
}

// Lays out anew the kept texts of the records whose pointers are given, in the description file
// survey.layout.read measured.
Result<void> layOut(
    FileIo& io, const std::string& txt, const LargeVector<Pointers>& pointers, PackSurvey& survey, uint8_t* window)
{
    std::optional<ScopedHandle> handle;
    auto tail = openTexts(io, txt, survey, handle, window);
    if (!tail)
        return tail.error();
    Starts starts(*tail, pointers.size());
    for (const Pointers& p : pointers)
        starts.add(p.header, p.longName, p.index);
    starts.sort();
    auto& stretches = survey.layout.stretches;
    stretches.reserve(starts.all.size());
    if (auto r = findStretches(
            io, handle->get(), starts, window,
            [&](uint64_t from, uint64_t length) {
                stretches.push_back({ from, length, 0 });
            },
            [](uint64_t, bool, uint64_t) {});
        !r)
        return r.error();

    // New offsets in record order: the first record's texts first.
    size_t hint = 0;
    auto stretchOf = [&](uint64_t p) {
        // Records mostly point at texts in the order they were appended: first where the last led.
        for (size_t k : { hint, hint + 1 })
            if (k < stretches.size() && stretches[k].from <= p && p < stretches[k].from + stretches[k].length)
                return hint = k;
        hint = size_t(std::upper_bound(stretches.begin(), stretches.end(), p,
                          [](uint64_t v, const DescriptionLayout::Stretch& s) { return v < s.from; })
            - stretches.begin() - 1);
        return hint;
    };
    std::vector<bool> placed(stretches.size(), false);
    uint64_t next = 0;
    std::optional<size_t> first;
    bool longNameAtZero = false;
    auto place = [&](int32_t p, bool longName) {
        if (!Starts::leads(p, longName, *tail))
            return;
        const size_t k = stretchOf(uint64_t(p));
        if (!placed[k]) {
            placed[k] = true;
            stretches[k].to = next;
            next += stretches[k].length;
            if (!first)
                first = k;
        }
        // A long-name pointer of 0 means none: such a text must not come first.
        longNameAtZero = longNameAtZero || (longName && k == *first && uint64_t(p) == stretches[k].from);
    };
    for (const Pointers& p : pointers) {
        place(p.header, false);
        place(p.longName, true);
        if (p.index != p.header)
            place(p.index, false);
    }
    const uint64_t lead = longNameAtZero ? 1 : 0;
    for (auto& s : stretches)
        s.to += lead;
    keep(survey, stretches.size(), next, longNameAtZero);
    return {};
}

// The stamps of the description and header files; false when there is nothing to pack.
Result<bool> measure(FileIo& io, const std::string& fileBaseDir, int area, PackSurvey& survey)
{
    // The description file is measured before the records are counted: every text a counted
    // record points at was written before it, so pointers at or past that length lead nowhere.
    auto texts = io.stamp(areaFilePath(io, fileBaseDir, area, AreaFileKind::Description));
    if (!texts)
        return texts.error();
    survey.layout.read = *texts;
    auto header = io.stamp(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header));
    if (!header)
        return header.error();
    survey.header = *header;
    survey.records = header->exists ? header->size / HeaderRecord::kSize : 0;
    survey.fileBytes = texts->exists ? texts->size : 0;
    survey.keptBytes = survey.fileBytes;
    return texts->exists && header->exists; // else no records to rewrite: nothing is packed
}

} // namespace

Result<PackSurvey> surveyPack(FileIo& io, const std::string& fileBaseDir, int area)
{
    PackSurvey survey;
    auto any = measure(io, fileBaseDir, area, survey);
    if (!any || !*any)
        return any ? Result<PackSurvey>(survey) : Result<PackSurvey>(any.error());
    LargeVector<Pointers> pointers(survey.records);
    RawBuffer buffer = readBuffer();
    if (auto r = readRecords(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Header), AreaFileKind::Header,
            pointers.size(), buffer.data(),
            [&](uint64_t i, const uint8_t* rec) {
                pointers[i].header = enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset);
                pointers[i].longName = enc::getLong(rec + HeaderRecord::kLongNamePointerOffset);
            });
        !r)
        return r.error();
    if (auto r = readIndexPointers(io, fileBaseDir, area, pointers, buffer.data()); !r)
        return r.error();
    if (auto r
        = layOut(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Description), pointers, survey, buffer.data());
        !r)
        return r.error();
    return survey;
}

Result<PackSurvey> surveyPackFigures(
    FileIo& io, const std::string& fileBaseDir, int area, std::span<const TextPointers> pointers)
{
    PackSurvey survey;
    // Measured after the rows were read, so every text they point at is in it.
    auto any = measure(io, fileBaseDir, area, survey);
    survey.records = pointers.size();
    if (!any || !*any)
        return any ? Result<PackSurvey>(survey) : Result<PackSurvey>(any.error());
    RawBuffer buffer = readBuffer();
    std::optional<ScopedHandle> file;
    auto tail
        = openTexts(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Description), survey, file, buffer.data());
    if (!tail)
        return tail.error();

    // Each row's pointers with its index record's, read in step; rows the index file lacks take
    // the header's, as the rewrite rebuilds them.
    Starts starts(*tail, pointers.size());
    uint64_t done = 0;
    auto add = [&](uint64_t i, std::optional<int32_t> index) {
        starts.add(pointers[i].description, pointers[i].longName, index.value_or(pointers[i].description));
        done = i + 1;
    };
    const std::string index = areaFilePath(io, fileBaseDir, area, AreaFileKind::Index);
    if (io.exists(index)) {
        if (auto r = readRecords(io, index, AreaFileKind::Index, pointers.size(), buffer.data(),
                [&](uint64_t i, const uint8_t* rec) { add(i, indexPointer(rec)); });
            !r)
            return r.error();
    }
    while (done < pointers.size())
        add(done, std::nullopt);
    starts.sort();

    // The first text in record order is placed first: it must not be one a long-name pointer
    // leads to at its start, or that pointer would read 0.
    uint64_t kept = 0, packed = 0;
    std::optional<uint64_t> first;
    bool lead = false;
    if (auto r = findStretches(
            io, file->get(), starts, buffer.data(),
            [&](uint64_t from, uint64_t length) {
                ++kept;
                packed += length;
                if (starts.first && from <= *starts.first && *starts.first < from + length)
                    first = from;
            },
            [&](uint64_t p, bool longName, uint64_t from) { lead = lead || (longName && first == from && p == from); });
        !r)
        return r.error();
    keep(survey, kept, packed, lead);
    return survey;
}

Result<PackOutcome> packDescriptions(AreaStore& store, int area)
{
    // An interrupted change first: its files are part of what is surveyed.
    if (auto r = store.recover(area); !r)
        return r.error();
    for (int attempt = 0;; ++attempt) {
        auto survey = surveyPack(store.io(), store.fileBaseDir(), area);
        if (!survey)
            return survey.error();
        PackOutcome outcome;
        outcome.bytesBefore = survey->fileBytes;
        outcome.bytesAfter = survey->fileBytes;
        outcome.texts = survey->texts;
        if (survey->reclaimable() == 0)
            return outcome;
        RewritePlan plan;
        plan.keep(0, survey->records);
        plan.setDescriptionLayout(survey->layout);
        auto done = store.rewrite(area, plan, survey->header);
        if (!done) {
            // The board wrote at the moment of the commit: look again.
            if (done.error().code == kChangedMeanwhile && attempt < 3)
                continue;
            return done.error();
        }
        outcome.written = true;
        outcome.carried = store.lastCarriedOver();
        auto after
            = store.io().fileSize(areaFilePath(store.io(), store.fileBaseDir(), area, AreaFileKind::Description));
        outcome.bytesAfter = after ? *after : survey->keptBytes;
        return outcome;
    }
}

} // namespace qv
