#include "editing/AreaSorter.h"

#include "board/Board.h"
#include "platform/CodePage.h"
#include "storage/Encoding.h"
#include "storage/LargeTable.h"
#include "storage/Text.h"

#include <QDate>

#include <algorithm>
#include <array>
#include <cstring>
#include <cerrno>
#include <numeric>

namespace qv {

namespace {

bool isTextKey(SortKey key)
{
    return key == SortKey::Name || key == SortKey::Uploader;
}

// A stored date as yyyymmdd; one that is no calendar day counts as 01-01-1980, and a comment line,
// which has no date, comes before every date.
int64_t dateKey(const LoadedRow& row, int32_t packed)
{
    if (row.comment)
        return -1;
    const auto date = enc::decodeDate(packed);
    if (!date || !QDate(date->year, date->month, date->day).isValid())
        return 19800101;
    return int64_t(date->year) * 10000 + date->month * 100 + date->day;
}

int64_t numberKey(const LoadedRow& row, SortKey key)
{
    if (row.comment)
        return 0;
    switch (key) {
    case SortKey::Size:
        return row.size();
    case SortKey::Downloads:
        return row.downloads();
    case SortKey::FileDate:
        return dateKey(row, row.fileDate());
    case SortKey::UploadDate:
        return dateKey(row, row.uploadDate());
    case SortKey::LastDownload:
        return dateKey(row, row.lastDownloadDate());
    default:
        return 0;
    }
}

QString textKey(const LoadedRow& row, SortKey key, const CodePage& codePage)
{
    if (key == SortKey::Name)
        return codePage.decode(row.name);
    // The Uploader cell: empty on a comment line, "(Unknown)" for a blank name.
    if (row.comment)
        return QString();
    return text::trim(row.uploader()).empty() ? QStringLiteral("(Unknown)") : codePage.decode(row.uploader());
}

} // namespace

AreaSorter::AreaSorter(Board& board)
    : m_board(board)
{
}

std::vector<uint64_t> AreaSorter::order(const LoadedRows& rows, const SortRequest& request, const CodePage& codePage)
{
    const int n = int(rows.size());
    std::vector<int> places;
    if (request.only) {
        places = *request.only;
        std::sort(places.begin(), places.end());
        places.erase(std::unique(places.begin(), places.end()), places.end());
        std::erase_if(places, [n](int p) { return p < 0 || p >= n; });
    } else {
        places.resize(size_t(n));
        std::iota(places.begin(), places.end(), 0);
    }
    const size_t m = places.size();
    if (m < 2)
        return {};

    std::vector<uint32_t> sorted(m);
    std::iota(sorted.begin(), sorted.end(), 0u);
    if (isTextKey(request.key)) {
        // Code unit by code unit, case-sensitive: QString's own ordering. The keys lie in one
        // block, made so that comparing bytes compares code units.
        std::string block;
        std::vector<std::pair<size_t, size_t>> keys(m); // offset and length in block
        if (request.key == SortKey::Name) {
            // A name decodes one byte to one code unit, so each byte is replaced by the rank of its
            // code unit among all 256: comparing ranks compares code units, one byte per unit.
            std::array<char16_t, 256> unit {};
            for (int b = 0; b < 256; ++b) {
                const char byte = char(b);
                unit[size_t(b)] = codePage.decode(std::string_view(&byte, 1)).at(0).unicode();
            }
            std::array<char16_t, 256> units = unit;
            std::sort(units.begin(), units.end());
            // Equal code units share a rank (that of the first in order); memcmp compares unsigned.
            std::array<char, 256> rank {};
            for (size_t b = 0; b < 256; ++b)
                rank[b] = char(uint8_t(std::lower_bound(units.begin(), units.end(), unit[b]) - units.begin()));
            size_t total = 0;
            for (size_t j = 0; j < m; ++j)
                total += rows[size_t(places[j])].name.size();
            block.resize(total);
            // Printable ASCII ranks as itself in the usual code pages (some trade control codes
            // around): a name of it alone is copied, checked many bytes at a time, not looked up.
            bool printableKept = true;
            for (size_t b = 0x20; b < 0x7F; ++b)
                printableKept = printableKept && uint8_t(rank[b]) == b;
            char* out = block.data();
            for (size_t j = 0; j < m; ++j) {
                const std::string_view name = rows[size_t(places[j])].name;
                const size_t length = name.size();
                keys[j] = { size_t(out - block.data()), length };
                std::memcpy(out, name.data(), length);
                bool plain = printableKept;
                for (size_t k = 0; k < length; ++k)
                    plain &= uint8_t(out[k] - 0x20) < 0x5F;
                if (!plain)
                    for (size_t k = 0; k < length; ++k)
                        out[k] = rank[uint8_t(out[k])];
                out += length;
            }
        } else {
            for (size_t j = 0; j < m; ++j) {
                // Each code unit high byte first.
                const QString key = textKey(rows[size_t(places[j])], request.key, codePage);
                keys[j] = { block.size(), size_t(key.size()) * 2 };
                for (QChar c : key) {
                    block.push_back(char(c.unicode() >> 8));
                    block.push_back(char(c.unicode() & 0xFF));
                }
            }
        }
        // Names on a board often share a long start ("Some series, part ..."): what all keys
        // share is skipped, and the next eight bytes, read as one number, settle most comparisons
        // without going back to the block. A key that ends there counts as padded with the lowest
        // rank, which only ever makes two heads equal, never puts them the wrong way round.
        size_t common = m > 0 ? keys[0].second : 0;
        for (size_t j = 1; j < m && common > 0; ++j) {
            const char* a = block.data() + keys[0].first;
            const char* b = block.data() + keys[j].first;
            const size_t most = std::min(common, keys[j].second);
            if (std::memcmp(a, b, most) == 0) {
                common = most;
                continue;
            }
            size_t k = 0;
            while (k < most && a[k] == b[k])
                ++k;
            common = k;
        }
        struct Head {
            uint64_t head;
            uint32_t at;
        };
        std::vector<Head> heads(m);
        for (size_t j = 0; j < m; ++j) {
            uint64_t head = 0;
            const auto [at, length] = keys[j];
            if (common + 8 <= length) {
                std::memcpy(&head, block.data() + at + common, 8);
                head = __builtin_bswap64(head); // the first byte the highest
            } else {
                for (size_t k = 0; k < 8; ++k)
                    head = (head << 8) | (common + k < length ? uint8_t(block[at + common + k]) : 0u);
            }
            heads[j] = { head, uint32_t(j) };
        }
        // The heads by their bytes, last byte first, each pass keeping the order of the one before
        // (a byte all heads share is passed over): no comparison to mispredict, and equal heads
        // stay in position order.
        std::vector<Head> spare(m);
        for (int shift = 0; shift < 64; shift += 8) {
            std::array<size_t, 257> at {};
            for (const Head& h : heads)
                ++at[size_t((h.head >> shift) & 0xFF) + 1];
            if (std::find(at.begin() + 1, at.end(), m) != at.end())
                continue;
            for (size_t b = 1; b < at.size(); ++b)
                at[b] += at[b - 1];
            for (const Head& h : heads)
                spare[at[size_t((h.head >> shift) & 0xFF)]++] = h;
            heads.swap(spare);
        }
        // Equal heads go by the rest of their keys; ties by position, which keeps the order of
        // equal names as it was.
        auto rest = [&](const Head& x, const Head& y) {
            const auto [atA, lengthA] = keys[x.at];
            const auto [atB, lengthB] = keys[y.at];
            const size_t skip = std::min({ common + 8, lengthA, lengthB });
            const int c
                = std::memcmp(block.data() + atA + skip, block.data() + atB + skip, std::min(lengthA, lengthB) - skip);
            if (c != 0)
                return c < 0;
            if (lengthA != lengthB)
                return lengthA < lengthB;
            return x.at < y.at;
        };
        for (size_t from = 0; from < m;) {
            size_t to = from + 1;
            while (to < m && heads[to].head == heads[from].head)
                ++to;
            if (to - from > 1)
                std::sort(heads.begin() + std::ptrdiff_t(from), heads.begin() + std::ptrdiff_t(to), rest);
            from = to;
        }
        for (size_t j = 0; j < m; ++j)
            sorted[j] = heads[j].at;
    } else {
        std::vector<int64_t> keys(m);
        for (size_t j = 0; j < m; ++j)
            keys[j] = numberKey(rows[size_t(places[j])], request.key);
        std::stable_sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    }

    std::vector<uint64_t> result(static_cast<size_t>(n));
    std::iota(result.begin(), result.end(), uint64_t(0));
    bool changed = false;
    for (size_t j = 0; j < m; ++j) {
        // Descending reads the ascending result backwards.
        const uint32_t from = sorted[request.descending ? m - 1 - j : j];
        result[size_t(places[j])] = uint64_t(places[from]);
        changed = changed || from != j;
    }
    if (!changed)
        return {};
    return result;
}

AreaSorter::Outcome AreaSorter::sort(int area, const LoadedRows& rows, const SortRequest& request,
    const Progress& progress, const std::function<bool()>& cancelled)
{
    Outcome outcome;
    outcome.sorted = request.only ? uint64_t(request.only->size()) : uint64_t(rows.size());
    if (progress)
        progress(0, outcome.sorted);
    std::vector<uint64_t> newOrder = order(rows, request, m_board.codePage());
    if (progress)
        progress(outcome.sorted, outcome.sorted);
    if (newOrder.empty())
        return outcome;
    if (cancelled && cancelled()) {
        outcome.cancelled = true;
        return outcome;
    }

    AreaStore& store = m_board.store();
    // The order rests on every row shown; records added behind them since keep their places.
    std::vector<RowIdentity> shown;
    reserveLarge(shown, rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        shown.push_back(identityOf(rows[i], uint64_t(i)));
    auto count = store.count(area);
    if (!count) {
        outcome.error = count.error();
        return outcome;
    }
    if (*count < newOrder.size()) {
        outcome.error = Error { kRowsChanged, rowsChangedMessage(area) };
        return outcome;
    }
    for (uint64_t i = newOrder.size(); i < *count; ++i)
        newOrder.push_back(i);
    if (auto written = store.rewrite(area, RewritePlan::permutation(newOrder), shown); !written) {
        outcome.error = written.error();
        return outcome;
    }
    outcome.changed = true;
    outcome.carried = store.lastCarriedOver();
    outcome.order = std::move(newOrder);
    return outcome;
}

QString AreaSorter::keyName(SortKey key)
{
    static const char* const kNames[]
        = { "name", "size", "file-date", "upload-date", "last-download", "downloads", "uploader" };
    return QString::fromLatin1(kNames[int(key)]);
}

std::optional<SortKey> AreaSorter::keyOf(const QString& name)
{
    for (int k = 0; k < kSortKeyCount; ++k)
        if (keyName(SortKey(k)) == name)
            return SortKey(k);
    return std::nullopt;
}

} // namespace qv
