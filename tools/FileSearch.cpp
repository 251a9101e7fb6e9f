#include "tools/FileSearch.h"

#include "board/Board.h"
#include "storage/AreaFiles.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/Text.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace qv {

namespace {
// Blocks small enough to stay in the cache between the read and the scan.
constexpr size_t kRecordsPerRead = 1024;
constexpr size_t kTextBlock = size_t(256) << 10;

// An area file opened for reading, or nothing when it is missing.
std::optional<ScopedHandle> openForReading(FileIo& io, const std::string& path)
{
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return std::nullopt;
    return std::optional<ScopedHandle>(std::in_place, io, *h);
}

void openInto(std::optional<ScopedHandle>& slot, FileIo& io, const std::string& path)
{
    slot.reset();
    if (auto h = io.open(path, FileIo::Mode::Read))
        slot.emplace(io, *h);
}

// Not blank: a long name that is shown and tried. Most end in a character, so the trim that
// decides is rarely needed.
bool hasText(std::string_view name)
{
    return !name.empty() && ((name.back() != ' ' && name.back() != '\t') || !text::trim(name).empty());
}

uint64_t fileLength(FileIo& io, const std::optional<ScopedHandle>& file)
{
    return file ? io.size(file->get()).valueOr(0) : 0;
}
}

// Turns positions into hit rows: reads their header records, adds the area row to the count and
// keeps the results list within its limit.
class FileSearch::HitSink {
public:
    HitSink(FileSearch& search, const SearchQuery& query, const Callbacks& callbacks)
        : m_search(search)
        , m_limit(query.rowLimit)
        , m_callbacks(callbacks)
    {
    }

    void startArea(int area)
    {
        FileIo& io = m_search.m_board.io();
        m_area = area;
        m_first = true;
        m_windowCount = 0;
        openInto(m_header, io, areaFilePath(io, m_search.m_board.store().fileBaseDir(), area, AreaFileKind::Header));
    }

    // A candidate examined while the list is full ends the search.
    bool full() const { return m_limit && m_search.m_rows >= m_limit; }

    // longName: shown instead of the short name when it is not blank.
    bool add(uint64_t position, std::string_view longName)
    {
        const size_t needed = m_first ? 2 : 1;
        if (m_limit && m_search.m_rows + needed > m_limit)
            return false;
        // One hit is filled again and again, every field of it.
        SearchHit& hit = m_hit;
        hit.area = m_area;
        hit.position = position;
        hit.firstOfArea = m_first;
        HeaderRecord h;
        if (const uint8_t* bytes = headerBytes(position))
            h = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(bytes, HeaderRecord::kSize));
        LoadedRow& r = hit.row;
        r.record = h.encode();
        r.comment = h.isComment();
        if (r.comment)
            r.name = RowName::lasting(text::kCommentRowText);
        else if (hasText(longName))
            r.name = longName;
        else
            r.name = text::capitalise(h.name());
        m_search.m_rows += needed;
        m_first = false;
        if (m_callbacks.hit)
            m_callbacks.hit(hit);
        return true;
    }

private:
    // Hits come in record order: header records are read a window at a time.
    const uint8_t* headerBytes(uint64_t position)
    {
        if (!m_header)
            return nullptr;
        if (position < m_windowFirst || position >= m_windowFirst + m_windowCount) {
            m_window.resize(kHeaderWindow * HeaderRecord::kSize);
            auto got = m_search.m_board.io().readAt(
                m_header->get(), position * HeaderRecord::kSize, m_window.data(), m_window.size());
            m_windowFirst = position;
            m_windowCount = got ? *got / HeaderRecord::kSize : 0;
            if (m_windowCount == 0)
                return nullptr;
        }
        return m_window.data() + (position - m_windowFirst) * HeaderRecord::kSize;
    }

    static constexpr size_t kHeaderWindow = 512;
    FileSearch& m_search;
    SearchHit m_hit;
    std::vector<uint8_t> m_window;
    uint64_t m_windowFirst = 0;
    uint64_t m_windowCount = 0;
    size_t m_limit;
    const Callbacks& m_callbacks;
    int m_area = 0;
    bool m_first = true;
    std::optional<ScopedHandle> m_header;
};

uint8_t* FileSearch::Scratch::take(size_t size)
{
    if (size > m_size) {
        m_bytes.reset(new uint8_t[size]);
        m_size = size;
    }
    return m_bytes.get();
}

FileSearch::FileSearch(const Board& board)
    : m_board(board)
    , m_fold(board.codePage())
{
}

std::vector<int> FileSearch::areasInRange(int first, int last) const
{
    std::vector<int> areas;
    for (const AreaInfo& a : m_board.config().areas())
        if (a.number >= first && a.number <= last && !text::trim(a.name).empty()
            && m_board.config().areaRecordOf(a.number) == a.record)
            areas.push_back(a.number);
    std::sort(areas.begin(), areas.end());
    areas.erase(std::unique(areas.begin(), areas.end()), areas.end());
    return areas;
}

int FileSearch::highestArea() const
{
    const std::vector<int> all = areasInRange(1, 65535);
    return all.empty() ? 0 : all.back();
}

SearchOutcome FileSearch::run(const SearchQuery& query, const std::atomic<bool>& stop, const Callbacks& callbacks)
{
    m_rows = 0;
    const QString trimmed = query.text.trimmed();
    const std::optional<std::string> folded = m_fold.foldedBytes(trimmed);
    // A text the code page cannot hold is in no board file.
    if (trimmed.isEmpty() || !folded || folded->find('\0') != std::string::npos)
        return SearchOutcome::Finished;
    const FoldedFinder finder(*folded, m_fold.table());
    const NamePattern pattern(*folded, &m_fold.table());
    HitSink sink(*this, query, callbacks);
    for (int area : areasInRange(query.firstArea, query.lastArea)) {
        if (stop.load(std::memory_order_relaxed))
            return SearchOutcome::Stopped;
        if (callbacks.areaStarted)
            callbacks.areaStarted(area);
        sink.startArea(area);
        const SearchOutcome outcome = query.mode == SearchQuery::Mode::FileName
            ? searchNames(area, pattern, query.useLongNames, stop, sink)
            : searchDescriptions(area, finder, stop, sink);
        if (outcome != SearchOutcome::Finished)
            return outcome;
    }
    return SearchOutcome::Finished;
}

SearchOutcome FileSearch::searchNames(
    int area, const NamePattern& pattern, bool longNames, const std::atomic<bool>& stop, HitSink& sink)
{
    FileIo& io = m_board.io();
    const std::string& base = m_board.store().fileBaseDir();
    const auto index = openForReading(io, areaFilePath(io, base, area, AreaFileKind::Index));
    if (!index)
        return SearchOutcome::Finished;
    std::optional<ScopedHandle> lfn;
    if (longNames)
        openInto(lfn, io, areaFilePath(io, base, area, AreaFileKind::LongName));
    const uint64_t count = recordCount(fileLength(io, index), AreaFileKind::Index);
    const uint64_t lfnCount = recordCount(fileLength(io, lfn), AreaFileKind::LongName);

    uint8_t* idx = m_scratch.take(kRecordsPerRead * (IndexRecord::kSize + LongNameRecord::kSize));
    uint8_t* names = idx + kRecordsPerRead * IndexRecord::kSize;
    for (uint64_t start = 0; start < count; start += kRecordsPerRead) {
        if (stop.load(std::memory_order_relaxed))
            return SearchOutcome::Stopped;
        const uint64_t n = std::min<uint64_t>(kRecordsPerRead, count - start);
        auto got = io.readAt(index->get(), start * IndexRecord::kSize, idx, n * IndexRecord::kSize);
        if (!got)
            return SearchOutcome::Finished;
        const uint64_t have = *got / IndexRecord::kSize;
        uint64_t namesHave = 0;
        if (lfn && start < lfnCount) {
            const uint64_t want = std::min<uint64_t>(n, lfnCount - start);
            auto read = io.readAt(lfn->get(), start * LongNameRecord::kSize, names, want * LongNameRecord::kSize);
            namesHave = read ? *read / LongNameRecord::kSize : 0;
        }
        for (uint64_t i = 0; i < have; ++i) {
            const uint8_t* rec = idx + i * IndexRecord::kSize;
            // A name length of 0 is a comment line: there is no name to match.
            if (rec[IndexRecord::kNameOffset] == 0)
                continue;
            if (sink.full())
                return SearchOutcome::RowLimit;
            // Matched where they lie, folded as the walk goes: a million names must not cost a
            // million copies.
            const std::string_view name(reinterpret_cast<const char*>(rec + IndexRecord::kNameOffset + 1),
                std::min<size_t>(rec[IndexRecord::kNameOffset], IndexRecord::kNameWidth));
            std::string_view longName;
            if (i < namesHave) {
                const uint8_t* field = names + i * LongNameRecord::kSize;
                longName = std::string_view(
                    reinterpret_cast<const char*>(field + 1), std::min<size_t>(field[0], LongNameRecord::kWidth));
            }
            const bool match = pattern.matches(name) || (hasText(longName) && pattern.matches(longName));
            if (match && !sink.add(start + i, longName))
                return SearchOutcome::RowLimit;
        }
        if (have < n)
            break;
    }
    return SearchOutcome::Finished;
}

SearchOutcome FileSearch::searchDescriptions(
    int area, const FoldedFinder& finder, const std::atomic<bool>& stop, HitSink& sink)
{
    FileIo& io = m_board.io();
    const std::string& base = m_board.store().fileBaseDir();
    const auto text = openForReading(io, areaFilePath(io, base, area, AreaFileKind::Description));
    if (!text)
        return SearchOutcome::Finished;
    const uint64_t length = fileLength(io, text);

    // Each description is the text from its start up to its zero byte. For every stretch between
    // two zero bytes that holds the text, remember where it starts and where its last occurrence
    // starts: an entry whose pointer lies in between holds the text (pointers into the middle of
    // a description, as well as several entries sharing one, are all found).
    struct Stretch {
        uint64_t start;
        uint64_t lastMatch;
    };
    std::vector<Stretch> stretches;
    const size_t carry = finder.size() - 1;
    char* const buffer = reinterpret_cast<char*>(m_scratch.take(kTextBlock + carry));
    size_t held = 0;
    uint64_t blockStart = 0; // file offset of buffer[0]
    int64_t lastZero = -1; // the last zero byte before the block's new bytes
    for (uint64_t offset = 0; offset < length;) {
        if (stop.load(std::memory_order_relaxed))
            return SearchOutcome::Stopped;
        // Keep the last bytes of the previous block in front, so text that crosses the boundary
        // is found, once.
        const size_t kept = std::min(carry, held);
        std::memmove(buffer, buffer + held - kept, kept);
        blockStart = offset - kept;
        const size_t want = size_t(std::min<uint64_t>(kTextBlock, length - offset));
        auto got = io.readAt(text->get(), offset, buffer + kept, want);
        if (!got || *got == 0)
            break;
        held = kept + *got;
        offset += *got;
        const std::string_view view(buffer, held);
        // Zero bytes are looked for only between one occurrence and the next, so a long
        // description full of occurrences is not scanned again for each.
        uint64_t start = uint64_t(lastZero + 1);
        size_t scanned = kept;
        for (size_t at = finder.find(view, 0); at != std::string_view::npos; at = finder.find(view, at + 1)) {
            if (at > scanned) {
                const size_t zero = view.substr(scanned, at - scanned).rfind('\0');
                if (zero != std::string_view::npos)
                    start = blockStart + scanned + zero + 1;
                scanned = at;
            }
            const uint64_t match = blockStart + at;
            if (!stretches.empty() && stretches.back().start == start)
                stretches.back().lastMatch = match;
            else
                stretches.push_back({ start, match });
        }
        const size_t zero = view.rfind('\0');
        if (zero != std::string_view::npos)
            lastZero = int64_t(blockStart + zero);
    }
    if (stretches.empty())
        return SearchOutcome::Finished;

    const auto index = openForReading(io, areaFilePath(io, base, area, AreaFileKind::Index));
    if (!index)
        return SearchOutcome::Finished;
    const uint64_t count = recordCount(fileLength(io, index), AreaFileKind::Index);
    uint8_t* idx = m_scratch.take(kRecordsPerRead * IndexRecord::kSize);
    for (uint64_t first = 0; first < count; first += kRecordsPerRead) {
        if (stop.load(std::memory_order_relaxed))
            return SearchOutcome::Stopped;
        const uint64_t n = std::min<uint64_t>(kRecordsPerRead, count - first);
        auto got = io.readAt(index->get(), first * IndexRecord::kSize, idx, n * IndexRecord::kSize);
        if (!got)
            break;
        const uint64_t have = *got / IndexRecord::kSize;
        for (uint64_t i = 0; i < have; ++i) {
            const int32_t pointer = enc::getLong(idx + i * IndexRecord::kSize + IndexRecord::kDescriptionPointerOffset);
            if (pointer < 0)
                continue;
            const auto p = uint64_t(pointer);
            auto it = std::upper_bound(stretches.begin(), stretches.end(), p,
                [](uint64_t value, const Stretch& s) { return value < s.start; });
            if (it == stretches.begin() || p > std::prev(it)->lastMatch)
                continue;
            if (sink.full() || !sink.add(first + i, {}))
                return SearchOutcome::RowLimit;
        }
        if (have < n)
            break;
    }
    return SearchOutcome::Finished;
}

} // namespace qv
