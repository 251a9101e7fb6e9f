#include "storage/DescriptionPack.h"

#include "storage/AreaFiles.h"
#include "storage/Encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {

constexpr size_t kWindow = size_t(1) << 20;

// The pointers of one record that lead to text: description (header, index) and long name.
struct Pointers {
    int32_t header = -1;
    int32_t longName = 0;
    int32_t index = -1;
};

Result<std::vector<Pointers>> readPointers(FileIo& io, const std::string& fileBaseDir, int area, uint64_t records)
{
    std::vector<Pointers> out(records);
    struct Kind {
        AreaFileKind kind;
        size_t size;
    };
    for (Kind k :
        { Kind { AreaFileKind::Header, HeaderRecord::kSize }, Kind { AreaFileKind::Index, IndexRecord::kSize } }) {
        const std::string file = areaFilePath(io, fileBaseDir, area, k.kind);
        if (!io.exists(file)) {
            // No index: the rewrite builds one from the header, pointers and all.
            for (auto& p : out)
                p.index = p.header;
            continue;
        }
        auto h = io.open(file, FileIo::Mode::Read);
        if (!h)
            return h.error();
        ScopedHandle handle(io, *h);
        auto length = io.size(*h);
        if (!length)
            return length.error();
        const uint64_t present = std::min(records, *length / k.size);
        const uint64_t perBlock = kWindow / k.size;
        std::vector<uint8_t> block(perBlock * k.size);
        for (uint64_t first = 0; first < present; first += perBlock) {
            const uint64_t n = std::min(perBlock, present - first);
            auto got = io.readAt(*h, first * k.size, block.data(), n * k.size);
            if (!got)
                return got.error();
            if (*got != n * k.size)
                return Error { kChangedMeanwhile, "an area file became shorter while it was read" };
            for (uint64_t i = 0; i < n; ++i) {
                const uint8_t* rec = block.data() + i * k.size;
                Pointers& p = out[first + i];
                if (k.kind == AreaFileKind::Header) {
                    p.header = enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset);
                    p.longName = enc::getLong(rec + HeaderRecord::kLongNamePointerOffset);
                } else {
                    p.index = enc::getLong(rec + IndexRecord::kDescriptionPointerOffset);
                }
            }
        }
        // Index records the file lacks are rebuilt from the header.
        if (k.kind == AreaFileKind::Index)
            for (uint64_t i = present; i < records; ++i)
                out[i].index = out[i].header;
    }
    return out;
}

// Where the bytes after the last zero byte of the file's first `length` bytes start (0: none).
Result<uint64_t> afterLastZero(FileIo& io, FileIo::Handle h, uint64_t length)
{
    std::vector<uint8_t> block(kWindow);
    for (uint64_t end = length; end > 0;) {
        const uint64_t start = end > kWindow ? end - kWindow : 0;
        auto got = io.readAt(h, start, block.data(), size_t(end - start));
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

} // namespace

Result<PackSurvey> surveyPack(FileIo& io, const std::string& fileBaseDir, int area)
{
    PackSurvey survey;
    const std::string txt = areaFilePath(io, fileBaseDir, area, AreaFileKind::Description);
    // The description file is measured before the records are counted: every text a counted
    // record points at was written before it, so pointers at or past that length lead nowhere.
    auto texts = io.stamp(txt);
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
    if (!texts->exists || !header->exists)
        return survey; // no records to rewrite: nothing is packed

    auto pointers = readPointers(io, fileBaseDir, area, survey.records);
    if (!pointers)
        return pointers.error();
    auto h = io.open(txt, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    const uint64_t length = texts->size;
    auto tail = afterLastZero(io, *h, length);
    if (!tail)
        return tail.error();
    survey.layout.tailFrom = *tail;

    // Every text starts at a pointer and ends with the first zero byte after it. Texts that share
    // their end (one a suffix of another) are one stretch, so they stay shared.
    std::vector<uint64_t> starts;
    starts.reserve(pointers->size() * 2);
    auto consider = [&](int32_t p, bool longName) {
        if (p < 0 || (longName && p == 0) || uint64_t(p) >= *tail)
            return;
        starts.push_back(uint64_t(p));
    };
    for (const Pointers& p : *pointers) {
        consider(p.header, false);
        consider(p.longName, true);
        consider(p.index, false);
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

    std::vector<DescriptionLayout::Stretch>& stretches = survey.layout.stretches;
    std::vector<uint8_t> window(kWindow);
    uint64_t windowFirst = 0, windowCount = 0;
    for (uint64_t start : starts) {
        if (!stretches.empty() && start < stretches.back().from + stretches.back().length)
            continue; // a suffix of the stretch before
        // The zero byte that ends it: there is one before the tail.
        uint64_t at = start;
        for (;;) {
            if (at < windowFirst || at >= windowFirst + windowCount) {
                auto got = io.readAt(*h, at, window.data(), size_t(std::min<uint64_t>(kWindow, *tail - at)));
                if (!got)
                    return got.error();
                if (*got == 0)
                    return Error { kChangedMeanwhile, "the description file became shorter while it was read" };
                windowFirst = at;
                windowCount = *got;
            }
            const uint8_t* from = window.data() + (at - windowFirst);
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
    auto stretchOf = [&](uint64_t p) {
        return size_t(std::upper_bound(stretches.begin(), stretches.end(), p,
                          [](uint64_t v, const DescriptionLayout::Stretch& s) { return v < s.from; })
            - stretches.begin() - 1);
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
    for (const Pointers& p : *pointers) {
        place(p.header, false);
        place(p.longName, true);
        place(p.index, false);
    }
    const uint64_t lead = longNameAtZero ? 1 : 0;
    for (auto& s : stretches)
        s.to += lead;
    survey.texts = stretches.size();
    survey.layout.tailTo = next + lead;
    survey.keptBytes = survey.layout.tailTo + (length - *tail);
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
