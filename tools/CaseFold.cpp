#include "tools/CaseFold.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {

CaseFold::CaseFold(const CodePage& codePage)
    : m_codePage(&codePage)
{
    for (int b = 0; b < 256; ++b) {
        m_upper[size_t(b)] = uint8_t(b);
        const char byte = char(b);
        const QString upper = codePage.decode(std::string_view(&byte, 1)).toUpper();
        // A character whose upper case is two characters (sharp s) or lies outside the page
        // keeps its own byte.
        if (upper.size() != 1)
            continue;
        const std::string back = codePage.encode(upper);
        if (back.size() == 1 && codePage.decode(back) == upper)
            m_upper[size_t(b)] = uint8_t(back[0]);
    }
}

std::string CaseFold::apply(std::string_view bytes) const
{
    std::string out(bytes);
    for (char& c : out)
        c = char(m_upper[uint8_t(c)]);
    return out;
}

std::optional<std::string> CaseFold::foldedBytes(QStringView text) const
{
    const std::string bytes = m_codePage->encode(text);
    if (m_codePage->decode(bytes) != text)
        return std::nullopt;
    return apply(bytes);
}

FoldedFinder::FoldedFinder(std::string needle, const std::array<uint8_t, 256>& table)
    : m_needle(std::move(needle))
    , m_table(&table)
{
    const size_t m = m_needle.size();
    // Letters from the most to the least common in English text; every other byte counts as
    // rarer than all of them.
    static constexpr std::string_view kCommon = "ETAOINSHRDLUCMFWYPVBGKJQXZ ";
    auto rank = [](uint8_t c) {
        const size_t at = kCommon.find(char(c));
        return at == std::string_view::npos ? 100 : (c == ' ' ? -1 : int(at));
    };
    for (size_t i = 0; i < m; ++i)
        if (rank(uint8_t(m_needle[i])) > rank(uint8_t(m_needle[m_rareAt])))
            m_rareAt = i;
    for (int b = 0; b < 256 && m > 0; ++b)
        if (table[size_t(b)] == uint8_t(m_needle[m_rareAt]))
            m_rareBytes.push_back(uint8_t(b));
}

size_t FoldedFinder::find(std::string_view haystack, size_t from) const
{
    const size_t m = m_needle.size();
    if (m == 0 || haystack.size() < m)
        return std::string_view::npos;
    const auto* h = reinterpret_cast<const uint8_t*>(haystack.data());
    const auto& t = *m_table;
    auto matchesAt = [&](size_t pos) {
        for (size_t i = 0; i < m; ++i)
            if (t[h[pos + i]] != uint8_t(m_needle[i]))
                return false;
        return true;
    };
    // Positions of the rare byte that leave room for the needle around it.
    size_t at = from + m_rareAt;
    const size_t end = haystack.size() - (m - 1 - m_rareAt);
#if defined(__SSE2__)
    // Two bytes that differ only in the case bit (a letter and its capital) take one compare
    // with that bit set; anything else takes one compare per byte. A code page folds at most
    // three bytes together; a table that folds more is scanned a byte at a time below.
    const size_t n = m_rareBytes.size() <= 4 ? m_rareBytes.size() : 0;
    const bool caseBit = n == 2 && (m_rareBytes[0] ^ m_rareBytes[1]) == 0x20;
    __m128i wanted[4] {};
    for (size_t k = 0; k < n; ++k)
        wanted[k] = _mm_set1_epi8(char(caseBit ? m_rareBytes[0] | 0x20 : m_rareBytes[k]));
    const __m128i bit = _mm_set1_epi8(caseBit ? 0x20 : 0);
    auto hits = [&](size_t pos) {
        const __m128i chunk = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + pos)), bit);
        __m128i hit = _mm_cmpeq_epi8(chunk, wanted[0]);
        for (size_t k = 1; k < n && !caseBit; ++k)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi8(chunk, wanted[k]));
        return hit;
    };
    auto check = [&](size_t pos, unsigned mask) {
        for (; mask; mask &= mask - 1)
            if (matchesAt(pos + size_t(__builtin_ctz(mask)) - m_rareAt))
                return pos + size_t(__builtin_ctz(mask)) - m_rareAt;
        return std::string_view::npos;
    };
    // Sixty-four bytes a round, so the common round without a candidate costs one test.
    while (n > 0 && at + 64 <= end) {
        const __m128i a = hits(at), b = hits(at + 16), c = hits(at + 32), d = hits(at + 48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)))) {
            const __m128i parts[4] = { a, b, c, d };
            for (size_t k = 0; k < 4; ++k)
                if (const size_t pos = check(at + 16 * k, unsigned(_mm_movemask_epi8(parts[k])));
                    pos != std::string_view::npos)
                    return pos;
        }
        at += 64;
    }
    while (n > 0 && at + 16 <= end) {
        if (const size_t pos = check(at, unsigned(_mm_movemask_epi8(hits(at)))); pos != std::string_view::npos)
            return pos;
        at += 16;
    }
#endif
    for (; at < end; ++at)
        if (t[h[at]] == uint8_t(m_needle[m_rareAt]) && matchesAt(at - m_rareAt))
            return at - m_rareAt;
    return std::string_view::npos;
}

namespace {
// The first period of a name, or its size. Names are short: sixteen bytes at a time and no
// library call, as this runs for every name of a base.
size_t periodIn(std::string_view name)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i period = _mm_set1_epi8('.');
    for (; i + 16 <= name.size(); i += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name.data() + i));
        if (const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, period))))
            return i + size_t(__builtin_ctz(mask));
    }
#endif
    for (; i < name.size(); ++i)
        if (name[i] == '.')
            return i;
    return name.size();
}
}

NamePattern::NamePattern(std::string pattern, const std::array<uint8_t, 256>* fold)
    : m_pattern(std::move(pattern))
    , m_fold(fold)
    , m_period(m_pattern.find('.') != std::string::npos)
    , m_periodThenAny(m_pattern.find(".?") != std::string::npos)
    // "*.*" and "README.*" also take a name without a period: the walk sees ".  " after it.
    , m_extends(!m_pattern.ends_with('.') && m_pattern != "*" && m_period)
    , m_wildFrom(m_pattern.find_last_not_of("*?") + 1)
    , m_lastMustMatch(!m_pattern.empty() && m_pattern.back() != '*' && m_pattern.back() != '?'
          && m_pattern.find('*', m_pattern.find_first_not_of('*')) == std::string::npos)
{
}

bool NamePattern::matches(std::string_view name) const
{
    // A name with a period is walked to its end with no star left to end the walk early. The
    // period is looked for from the end, where an extension puts it.
    if (m_lastMustMatch && !name.empty()
        && (m_fold ? char((*m_fold)[uint8_t(name.back())]) : name.back()) != m_pattern.back()
        && name.rfind('.') != std::string_view::npos)
        return false;
    const size_t firstPeriod = periodIn(name);
    const bool namePeriod = firstPeriod < name.size();
    if (!namePeriod && m_periodThenAny)
        return false;
    const bool extended = m_extends && !namePeriod;
    const size_t length = name.size() + (extended ? 3 : 0);
    auto at = [&](size_t i) {
        if (i >= name.size())
            return i == name.size() ? '.' : ' ';
        return m_fold ? char((*m_fold)[uint8_t(name[i])]) : name[i];
    };
    const std::string_view pattern = m_pattern;
    size_t j = 0;
    for (size_t i = 0; i < length;) {
        if (j >= pattern.size())
            return false;
        const char c = pattern[j++];
        if (c == '*') {
            // The period itself is never folded, so the raw name is searched.
            const size_t period = i <= firstPeriod ? firstPeriod : name.find('.', i);
            if (period < name.size())
                i = period;
            else if (extended && i <= name.size())
                i = name.size();
            else
                return true;
        } else if (c == '?') {
            // As on DOS: facing the period, the name part has ended and "?" matches nothing.
            if (at(i) != '.')
                ++i;
        } else {
            if (c != at(i))
                return false;
            ++i;
        }
    }
    // What the name did not use of the pattern must match nothing: "*.ZIP" is no match for FILE.ZI,
    // while "?" and "*" left over are ignored ("*.ZI?" takes FILE.ZI).
    return j >= m_wildFrom;
}

bool wildcardMatch(std::string_view name, std::string_view pattern, const std::array<uint8_t, 256>* fold)
{
    return NamePattern(std::string(pattern), fold).matches(name);
}

} // namespace qv
