#include "storage/DescriptionPack.h"

#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/LargeTable.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {

constexpr size_t kWindow = size_t(1) << 20;

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

// Reads one pointer per record of the header or index file into out; records the file lacks
// keep what out holds.
Result<void> readPointerFile(
    FileIo& io, const std::string& file, AreaFileKind kind, LargeVector<Pointers>& out, uint8_t* block)
{
    const size_t size = kind == AreaFileKind::Header ? HeaderRecord::kSize : IndexRecord::kSize;
    auto h = io.open(file, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    auto length = io.size(*h);
    if (!length)
        return length.error();
    const uint64_t present = std::min<uint64_t>(out.size(), *length / size);
    const uint64_t perBlock = kWindow / size;
    for (uint64_t first = 0; first < present; first += perBlock) {
        const uint64_t n = std::min(perBlock, present - first);
        auto got = io.readAt(*h, first * size, block, n * size);
        if (!got)
            return got.error();
        if (*got != n * size)
            return Error { kChangedMeanwhile, "an area file became shorter while it was read" };
        for (uint64_t i = 0; i < n; ++i) {
            const uint8_t* rec = block + i * size;
            Pointers& p = out[first + i];
            if (kind == AreaFileKind::Header) {
                p.header = enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset);
                p.longName = enc::getLong(rec + HeaderRecord::kLongNamePointerOffset);
            } else {
                p.index = enc::getLong(rec + IndexRecord::kDescriptionPointerOffset);
            }
        }
    }
    return {};
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
    return readPointerFile(io, file, AreaFileKind::Index, out, block);
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

// Lays out anew the kept texts of the records whose pointers are given, in the description file
// survey.layout.read measured.
Result<void> layOut(
    FileIo& io, const std::string& txt, const LargeVector<Pointers>& pointers, PackSurvey& survey, uint8_t* window)
{
    auto h = io.open(txt, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    const uint64_t length = survey.layout.read.size;
    auto tail = afterLastZero(io, *h, length, window);
    if (!tail)
        return tail.error();
    survey.layout.tailFrom = *tail;

    // Every text starts at a pointer and ends with the first zero byte after it. Texts that share
    // their end (one a suffix of another) are one stretch, so they stay shared.
    // Pointers are 32-bit: half the memory of 64-bit offsets, which for 100,000 records counts.
    LargeVector<uint32_t> starts;
    starts.reserve(pointers.size() + pointers.size() / 4);
    auto consider = [&](int32_t p, bool longName) {
        if (p < 0 || (longName && p == 0) || uint64_t(p) >= *tail)
            return;
        starts.push_back(uint32_t(p));
    };
    for (const Pointers& p : pointers) {
        consider(p.header, false);
        consider(p.longName, true);
        if (p.index != p.header) // as they mostly are
            consider(p.index, false);
    }
    // Texts appended one after another leave them in order already.
    if (!std::is_sorted(starts.begin(), starts.end()))
        std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

    auto& stretches = survey.layout.stretches;
    stretches.reserve(starts.size());
    uint64_t windowFirst = 0, windowCount = 0; // the window holds no bytes of the file yet
    for (const uint64_t start : starts) {
        if (!stretches.empty() && start < stretches.back().from + stretches.back().length)
            continue; // a suffix of the stretch before
        // The zero byte that ends it: there is one before the tail.
        uint64_t at = start;
        for (;;) {
            if (at < windowFirst || at >= windowFirst + windowCount) {
                auto got = io.readAt(*h, at, window, size_t(std::min<uint64_t>(kWindow, *tail - at)));
                if (!got)
                    return got.error();
                if (*got == 0)
                    return Error { kChangedMeanwhile, "the description file became shorter while it was read" };
                windowFirst = at;
                windowCount = *got;
            }
            const uint8_t* from = window + (at - windowFirst);
            const void* zero = std::memchr(from, 0, size_t(windowFirst + windowCount - at));
            if (zero) {
                at += uint64_t(static_cast<const uint8_t*>(zero) - from);
                break;
            }
            at = windowFirst + windowCount;
        }
        stretches.push_back({ start, at + 1 - start, 0 });
    }

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
        if (p < 0 || (longName && p == 0) || uint64_t(p) >= *tail)
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
    survey.texts = stretches.size();
    survey.layout.tailTo = next + lead;
    survey.keptBytes = survey.layout.tailTo + (length - *tail);
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

// The index's pointers added to the header's, then the texts laid out.
Result<PackSurvey> finishSurvey(FileIo& io, const std::string& fileBaseDir, int area, LargeVector<Pointers>& pointers,
    RawBuffer& buffer, PackSurvey& survey)
{
    if (auto r = readIndexPointers(io, fileBaseDir, area, pointers, buffer.data()); !r)
        return r.error();
    if (auto r
        = layOut(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Description), pointers, survey, buffer.data());
        !r)
        return r.error();
    return survey;
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
    if (auto r = readPointerFile(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Header), AreaFileKind::Header,
            pointers, buffer.data());
        !r)
        return r.error();
    return finishSurvey(io, fileBaseDir, area, pointers, buffer, survey);
}

Result<PackSurvey> surveyPack(FileIo& io, const std::string& fileBaseDir, int area, std::span<const LoadedRow> rows)
{
    PackSurvey survey;
    // Measured after the rows were read, so every text they point at is in it.
    auto any = measure(io, fileBaseDir, area, survey);
    survey.records = rows.size();
    if (!any || !*any)
        return any ? Result<PackSurvey>(survey) : Result<PackSurvey>(any.error());
    LargeVector<Pointers> pointers(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        pointers[i].header = enc::getLong(rows[i].record.data() + HeaderRecord::kDescriptionPointerOffset);
        pointers[i].longName = enc::getLong(rows[i].record.data() + HeaderRecord::kLongNamePointerOffset);
    }
    RawBuffer buffer = readBuffer();
    return finishSurvey(io, fileBaseDir, area, pointers, buffer, survey);
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
