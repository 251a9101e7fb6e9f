#include "tools/DuplicateSearch.h"

#include "board/Board.h"
#include "platform/ShortName.h"
#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/Text.h"
#include "tools/CaseFold.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <thread>

namespace qv {

namespace {
// Blocks small enough that a block's records are still in the cache when they are looked at.
constexpr size_t kRecordsPerRead = 512;

// A Text[n] field without a copy.
std::string_view fieldView(const uint8_t* p, size_t n)
{
    return std::string_view(reinterpret_cast<const char*>(p) + 1, std::min<size_t>(p[0], n));
}

bool stopped(const std::atomic<bool>* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// The name an entry is known by: its long name when it has one, else its 8.3 name.
std::string_view shownName(std::string_view header, std::string_view longName)
{
    const std::string_view l = text::trim(longName);
    return l.empty() ? text::trim(header) : l;
}

// A hash of the name folded through the board's code page; names whose hashes meet are
// compared in full afterwards, so a collision costs a read, never a wrong group. Eight folded
// bytes are mixed at a time: this runs for every entry searched.
uint64_t hashFolded(std::string_view s, const std::array<uint8_t, 256>& fold)
{
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    uint64_t h = s.size() * kMultiplier;
    size_t i = 0;
    auto mix = [&](uint64_t word) {
        h = (h ^ word) * kMultiplier;
        h ^= h >> 29;
    };
    for (; i + 8 <= s.size(); i += 8)
        mix(uint64_t(fold[p[i]]) | uint64_t(fold[p[i + 1]]) << 8 | uint64_t(fold[p[i + 2]]) << 16
            | uint64_t(fold[p[i + 3]]) << 24 | uint64_t(fold[p[i + 4]]) << 32 | uint64_t(fold[p[i + 5]]) << 40
            | uint64_t(fold[p[i + 6]]) << 48 | uint64_t(fold[p[i + 7]]) << 56);
    uint64_t tail = 0;
    for (int shift = 0; i < s.size(); ++i, shift += 8)
        tail |= uint64_t(fold[p[i]]) << shift;
    mix(tail);
    return h * kMultiplier;
}

// Sorts keys by their upper 32 bits, three passes of a radix sort: a million keys take a few
// milliseconds where a comparison sort takes tens.
void sortByHash(std::vector<uint64_t>& keys)
{
    constexpr int kDigit = 11;
    std::vector<uint64_t> other(keys.size());
    std::vector<size_t> at((size_t(1) << kDigit) + 1);
    for (int shift = 32; shift < 64; shift += kDigit) {
        const uint64_t mask = (uint64_t(1) << kDigit) - 1;
        std::fill(at.begin(), at.end(), 0);
        for (const uint64_t k : keys)
            ++at[((k >> shift) & mask) + 1];
        for (size_t d = 1; d < at.size(); ++d)
            at[d] += at[d - 1];
        for (const uint64_t k : keys)
            other[at[(k >> shift) & mask]++] = k;
        keys.swap(other);
    }
}

// An area's header and long-name files, read in blocks.
struct AreaReader {
    FileIo& io;
    std::optional<ScopedHandle> hdr;
    std::optional<ScopedHandle> lfn;
    uint64_t count = 0;
    uint64_t lfnCount = 0;

    AreaReader(FileIo& fileIo, const std::string& base, int area, std::optional<Error>& error)
        : io(fileIo)
    {
        auto h = io.open(areaFilePath(io, base, area, AreaFileKind::Header), FileIo::Mode::Read);
        if (!h) {
            if (h.error().code != ENOENT)
                error = h.error();
            return;
        }
        hdr.emplace(io, *h);
        count = recordCount(io.size(hdr->get()).valueOr(0), AreaFileKind::Header);
        auto l = io.open(areaFilePath(io, base, area, AreaFileKind::LongName), FileIo::Mode::Read);
        if (l) {
            lfn.emplace(io, *l);
            lfnCount = recordCount(io.size(lfn->get()).valueOr(0), AreaFileKind::LongName);
        } else if (l.error().code != ENOENT) {
            error = l.error();
        }
    }

    // The records at one position (an empty long name past the end of its file); false when the
    // header file no longer reaches it.
    bool at(uint64_t position, HeaderRecord::Bytes& rec, std::string& longName)
    {
        longName.clear();
        auto got = hdr ? io.readAt(hdr->get(), position * HeaderRecord::kSize, rec.data(), rec.size())
                       : Result<size_t>(size_t(0));
        if (!got || *got != rec.size())
            return false;
        if (lfn && position < lfnCount) {
            std::array<uint8_t, LongNameRecord::kSize> l {};
            auto g = io.readAt(lfn->get(), position * LongNameRecord::kSize, l.data(), l.size());
            if (g && *g == l.size())
                longName = fieldView(l.data(), LongNameRecord::kWidth);
        }
        return true;
    }

    // f(position, header, long name) for every record from first, in blocks.
    template <typename F> bool each(F&& f, const std::atomic<bool>* stop)
    {
        std::vector<uint8_t> h(kRecordsPerRead * HeaderRecord::kSize);
        std::vector<uint8_t> l(kRecordsPerRead * LongNameRecord::kSize);
        for (uint64_t first = 0; hdr && first < count; first += kRecordsPerRead) {
            if (stopped(stop))
                return true;
            const uint64_t n = std::min<uint64_t>(kRecordsPerRead, count - first);
            auto got = io.readAt(hdr->get(), first * HeaderRecord::kSize, h.data(), n * HeaderRecord::kSize);
            if (!got)
                return false;
            const uint64_t have = *got / HeaderRecord::kSize;
            uint64_t names = 0;
            if (lfn && first < lfnCount) {
                const uint64_t want = std::min(have, lfnCount - first);
                auto g = io.readAt(lfn->get(), first * LongNameRecord::kSize, l.data(), want * LongNameRecord::kSize);
                if (!g)
                    return false;
                names = *g / LongNameRecord::kSize;
            }
            for (uint64_t i = 0; i < have; ++i) {
                const uint8_t* rec = h.data() + i * HeaderRecord::kSize;
                const std::string_view longName = i < names
                    ? fieldView(l.data() + i * LongNameRecord::kSize, LongNameRecord::kWidth)
                    : std::string_view();
                f(first + i, rec, longName);
            }
            if (have < n)
                break;
        }
        return true;
    }
};

std::optional<Error> firstError(const std::vector<std::optional<Error>>& errors)
{
    for (const auto& e : errors)
        if (e)
            return e;
    return std::nullopt;
}

// work(i) for every area index, on two threads where the file layer allows: reading and hashing
// a million records takes longer than the reads alone, and a second core halves it. progress is
// called on the calling thread only, once for each area begun, in order.
template <typename Work>
void eachArea(FileIo& io, const std::vector<int>& areas, const std::atomic<bool>* stop,
    const std::function<void(int)>& progress, Work&& work)
{
    std::atomic<size_t> next { 0 };
    auto take = [&]() -> std::optional<size_t> {
        if (stopped(stop))
            return std::nullopt;
        const size_t i = next.fetch_add(1);
        return i < areas.size() ? std::optional(i) : std::nullopt;
    };
    std::optional<std::thread> helper;
    if (areas.size() > 1 && io.readsFromThreads() && std::thread::hardware_concurrency() > 1)
        helper.emplace([&] {
            while (const auto i = take())
                work(*i);
        });
    size_t reported = 0;
    auto report = [&](size_t upTo) {
        for (; progress && reported < std::min(upTo, areas.size()); ++reported)
            progress(areas[reported]);
    };
    while (const auto i = take()) {
        report(*i + 1);
        work(*i);
    }
    if (helper)
        helper->join();
    if (!stopped(stop))
        report(areas.size());
}

DuplicateSearch::Entry entryOf(int area, uint64_t position, const uint8_t* rec, std::string_view longName)
{
    const std::string name = enc::getText(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
    DuplicateSearch::Entry e;
    e.area = area;
    e.position = position;
    e.name = text::displayName(name, longName);
    e.size = uint32_t(enc::getLong(rec + HeaderRecord::kSizeOffset));
    e.fileDate = enc::getLong(rec + HeaderRecord::kFileDateOffset);
    e.uploader = enc::getText(rec + HeaderRecord::kUploaderOffset, HeaderRecord::kUploaderWidth);
    return e;
}
} // namespace

DuplicateSearch::DuplicateSearch(const Board& board)
    : m_board(board)
{
}

std::optional<uint32_t> DuplicateSearch::fileCrc(
    const QString& path, const std::atomic<bool>* stop, uint64_t* bytesRead)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    std::vector<char> block(size_t(1) << 20);
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        if (stopped(stop))
            return std::nullopt;
        const qint64 got = f.read(block.data(), qint64(block.size()));
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return uint32_t(crc);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), uInt(got));
        if (bytesRead)
            *bytesRead += uint64_t(got);
    }
}

DuplicateSearch::Outcome DuplicateSearch::find(
    const std::vector<int>& areas, By by, const std::atomic<bool>* stop, const std::function<void(int)>& progress) const
{
    Outcome outcome;
    FileIo& io = m_board.io();
    const std::string& base = m_board.store().fileBaseDir();
    auto finish = [&](std::vector<Group> groups) {
        for (Group& g : groups)
            std::sort(g.entries.begin(), g.entries.end(), [&](const Entry& a, const Entry& b) {
                const auto ia = std::find(areas.begin(), areas.end(), a.area);
                const auto ib = std::find(areas.begin(), areas.end(), b.area);
                return ia != ib ? ia < ib : a.position < b.position;
            });
        std::sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
            const auto ia = std::find(areas.begin(), areas.end(), a.entries.front().area);
            const auto ib = std::find(areas.begin(), areas.end(), b.entries.front().area);
            return ia != ib ? ia < ib : a.entries.front().position < b.entries.front().position;
        });
        outcome.groups = std::move(groups);
        outcome.stopped = stopped(stop);
        return outcome;
    };

    if (by == By::Name) {
        const CaseFold fold(m_board.codePage());
        // One key per entry, its name's hash above its number among all records searched; sorted
        // by hash, only entries whose hashes meet are read again, area by area with one opening
        // of its files.
        std::vector<uint64_t> firstOf(areas.size() + 1, 0); // number of each area's first record
        for (size_t a = 0; a < areas.size(); ++a)
            firstOf[a + 1] = firstOf[a] + m_board.store().count(areas[a]).valueOr(0);
        std::vector<std::vector<uint64_t>> keysOf(areas.size());
        std::vector<std::optional<Error>> errorOf(areas.size());
        eachArea(io, areas, stop, progress, [&](size_t a) {
            AreaReader reader(io, base, areas[a], errorOf[a]);
            if (errorOf[a])
                return;
            // Records the board appended since they were counted wait for the next search.
            const uint64_t count = std::min(reader.count, firstOf[a + 1] - firstOf[a]);
            std::vector<uint64_t>& keys = keysOf[a];
            keys.reserve(count);
            const bool ok = reader.each(
                [&](uint64_t position, const uint8_t* rec, std::string_view longName) {
                    const std::string_view header
                        = fieldView(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
                    if (position >= count || text::trim(header).empty())
                        return;
                    const uint64_t hash = hashFolded(shownName(header, longName), fold.table());
                    keys.push_back((hash & 0xFFFFFFFF00000000ull) | (firstOf[a] + position));
                },
                stop);
            if (!ok)
                errorOf[a] = Error { EIO, "could not read area " + std::to_string(areas[a]) };
        });
        if (auto e = firstError(errorOf)) {
            outcome.error = *e;
            return outcome;
        }
        // Most names occur once: two bit tables over the hashes' top bits say which hashes may
        // occur twice, and only those keys are sorted.
        constexpr int kTableBits = 22;
        std::vector<uint64_t> seen(size_t(1) << (kTableBits - 6)), twice(seen.size());
        for (const std::vector<uint64_t>& area : keysOf)
            for (const uint64_t k : area) {
                const uint64_t slot = k >> (64 - kTableBits), bit = uint64_t(1) << (slot & 63);
                uint64_t& s = seen[size_t(slot >> 6)];
                if (s & bit)
                    twice[size_t(slot >> 6)] |= bit;
                s |= bit;
            }
        std::vector<uint64_t> keys;
        for (std::vector<uint64_t>& area : keysOf) {
            for (const uint64_t k : area) {
                const uint64_t slot = k >> (64 - kTableBits);
                if (twice[size_t(slot >> 6)] >> (slot & 63) & 1)
                    keys.push_back(k);
            }
            std::vector<uint64_t>().swap(area);
        }
        sortByHash(keys);
        std::vector<std::vector<uint64_t>> wanted(areas.size());
        for (size_t i = 0; i < keys.size();) {
            size_t j = i + 1;
            while (j < keys.size() && keys[j] >> 32 == keys[i] >> 32)
                ++j;
            for (size_t k = i; j - i > 1 && k < j; ++k) {
                const uint64_t number = keys[k] & 0xFFFFFFFFull;
                const auto a = size_t(std::upper_bound(firstOf.begin(), firstOf.end(), number) - firstOf.begin() - 1);
                wanted[a].push_back(number - firstOf[a]);
            }
            i = j;
        }
        // Entries found again with their folded names, area by area; grouped in area order.
        std::vector<std::vector<std::pair<std::string, Entry>>> foundOf(areas.size());
        eachArea(io, areas, stop, {}, [&](size_t a) {
            if (wanted[a].empty())
                return;
            std::sort(wanted[a].begin(), wanted[a].end());
            AreaReader reader(io, base, areas[a], errorOf[a]);
            if (errorOf[a])
                return;
            HeaderRecord::Bytes rec;
            std::string longName;
            for (const uint64_t position : wanted[a]) {
                if (!reader.at(position, rec, longName))
                    continue; // the area became shorter meanwhile
                const std::string_view header
                    = fieldView(rec.data() + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
                if (text::trim(header).empty())
                    continue;
                foundOf[a].emplace_back(
                    fold.apply(shownName(header, longName)), entryOf(areas[a], position, rec.data(), longName));
            }
        });
        if (auto e = firstError(errorOf)) {
            outcome.error = *e;
            return outcome;
        }
        std::map<std::string, Group> byKey;
        for (auto& found : foundOf)
            for (auto& [key, entry] : found)
                byKey[key].entries.push_back(std::move(entry));
        std::vector<Group> groups;
        for (auto& [key, g] : byKey)
            if (g.entries.size() > 1)
                groups.push_back(std::move(g));
        return finish(std::move(groups));
    }

    // By content: sizes on disk first; bytes are read only where sizes meet, once per file.
    struct Candidate {
        Entry entry;
        QString path;
    };
    std::map<int64_t, std::vector<Candidate>> bySize;
    std::map<QString, std::unique_ptr<shortname::DirectoryNames>> directories;
    for (size_t a = 0; a < areas.size() && !stopped(stop); ++a) {
        if (progress)
            progress(areas[a]);
        const Board::AreaDirectory dir = m_board.areaDirectory(areas[a]);
        if (!dir.ok())
            continue;
        auto& names = directories[dir.host];
        if (!names)
            names = std::make_unique<shortname::DirectoryNames>(dir.host);
        AreaReader reader(io, base, areas[a], outcome.error);
        if (outcome.error)
            return outcome;
        const bool ok = reader.each(
            [&](uint64_t position, const uint8_t* rec, std::string_view longName) {
                const std::string_view header = fieldView(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
                if (text::trim(header).empty())
                    return;
                const QString path = names->find(m_board.text(shownName(header, longName)));
                const QFileInfo info(path);
                if (path.isEmpty() || !info.isFile())
                    return;
                Entry e = entryOf(areas[a], position, rec, longName);
                e.size = info.size();
                bySize[e.size].push_back({ std::move(e), info.canonicalFilePath() });
            },
            stop);
        if (!ok) {
            outcome.error = Error { EIO, "could not read area " + std::to_string(areas[a]) };
            return outcome;
        }
    }
    std::vector<Group> groups;
    QHash<QString, std::optional<uint32_t>> crcs;
    for (auto& [size, candidates] : bySize) {
        if (candidates.size() < 2 || stopped(stop))
            continue;
        // One file listed twice (areas sharing a directory) is the same content without a read.
        const bool onePath = std::all_of(candidates.begin(), candidates.end(),
            [&](const Candidate& c) { return c.path == candidates.front().path; });
        std::map<int64_t, Group> byCrc;
        for (Candidate& c : candidates) {
            int64_t key = 0;
            if (!onePath) {
                auto it = crcs.find(c.path);
                if (it == crcs.end())
                    it = crcs.insert(c.path, fileCrc(c.path, stop, &outcome.bytesRead));
                if (!*it)
                    continue;
                key = **it;
            }
            byCrc[key].entries.push_back(std::move(c.entry));
        }
        for (auto& [crc, g] : byCrc)
            if (g.entries.size() > 1)
                groups.push_back(std::move(g));
    }
    return finish(std::move(groups));
}

} // namespace qv
