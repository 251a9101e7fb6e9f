#include "tools/DuplicateSearch.h"

#include "board/Board.h"
#include "platform/ShortName.h"
#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>

namespace qv {

namespace {
constexpr size_t kRecordsPerRead = 4096;

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

uint64_t hashUpper(std::string_view s)
{
    uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        h = (h ^ u) * 1099511628211ull;
    }
    return h;
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
        // One hash per entry, sorted: only entries whose hashes meet are read again.
        std::vector<std::pair<uint64_t, uint64_t>> keys; // hash, area index << 40 | position
        for (size_t a = 0; a < areas.size() && !stopped(stop); ++a) {
            if (progress)
                progress(areas[a]);
            AreaReader reader(io, base, areas[a], outcome.error);
            if (outcome.error)
                return outcome;
            keys.reserve(keys.size() + reader.count);
            const bool ok = reader.each(
                [&](uint64_t position, const uint8_t* rec, std::string_view longName) {
                    const std::string_view header
                        = fieldView(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
                    if (text::trim(header).empty())
                        return;
                    keys.emplace_back(hashUpper(shownName(header, longName)), uint64_t(a) << 40 | position);
                },
                stop);
            if (!ok) {
                outcome.error = Error { EIO, "could not read area " + std::to_string(areas[a]) };
                return outcome;
            }
        }
        std::sort(keys.begin(), keys.end());
        std::map<std::string, Group> byKey;
        std::vector<HeaderRecord::Bytes> rec(1);
        for (size_t i = 0; i < keys.size();) {
            size_t j = i + 1;
            while (j < keys.size() && keys[j].first == keys[i].first)
                ++j;
            for (size_t k = i; j - i > 1 && k < j; ++k) {
                const int area = areas[size_t(keys[k].second >> 40)];
                const uint64_t position = keys[k].second & ((uint64_t(1) << 40) - 1);
                auto h = m_board.store().readHeader(area, position);
                auto l = m_board.store().readLongName(area, position);
                if (!h || !l)
                    continue;
                const std::string header = h->name();
                const std::string longName = l->name();
                Entry e = entryOf(area, position, h->encode().data(), longName);
                byKey[text::toUpper(shownName(header, longName))].entries.push_back(std::move(e));
            }
            i = j;
        }
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
