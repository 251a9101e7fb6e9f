#include "tools/CaseFold.h"

#include "platform/CodePage.h"

#include <algorithm>

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
    std::array<size_t, 256> folded;
    folded.fill(m);
    for (size_t i = 0; i + 1 < m; ++i)
        folded[uint8_t(m_needle[i])] = m - 1 - i;
    for (int b = 0; b < 256; ++b)
        m_skip[size_t(b)] = folded[table[size_t(b)]];
}

size_t FoldedFinder::find(std::string_view haystack, size_t from) const
{
    const size_t m = m_needle.size();
    if (m == 0 || haystack.size() < m)
        return std::string_view::npos;
    const auto* h = reinterpret_cast<const uint8_t*>(haystack.data());
    const auto* n = reinterpret_cast<const uint8_t*>(m_needle.data());
    const auto& t = *m_table;
    const uint8_t last = n[m - 1];
    for (size_t pos = from; pos + m <= haystack.size(); pos += m_skip[h[pos + m - 1]]) {
        if (t[h[pos + m - 1]] != last)
            continue;
        size_t i = 0;
        while (i + 1 < m && t[h[pos + i]] == n[i])
            ++i;
        if (i + 1 == m)
            return pos;
    }
    return std::string_view::npos;
}

bool wildcardMatch(std::string_view name, std::string_view pattern)
{
    std::string n(name);
    const bool namePeriod = n.find('.') != std::string::npos;
    const bool patternPeriod = pattern.find('.') != std::string_view::npos;
    if (!namePeriod && pattern.find(".?") != std::string_view::npos)
        return false;
    // "*.*" and "README.*" also take a name without a period.
    if (!pattern.ends_with('.') && pattern != "*" && patternPeriod && !namePeriod)
        n += ".  ";
    size_t j = 0;
    for (size_t i = 0; i < n.size();) {
        if (j >= pattern.size())
            return false;
        const char c = pattern[j++];
        if (c == '*') {
            const size_t period = n.find('.', i);
            if (period == std::string::npos)
                return true;
            i = period;
        } else if (c == '?') {
            if (n[i] == '.')
                return false;
            ++i;
        } else {
            if (c != n[i])
                return false;
            ++i;
        }
    }
    // What the name did not use of the pattern must match nothing: "*.ZIP" is no match for FILE.ZI.
    return std::all_of(pattern.begin() + std::ptrdiff_t(j), pattern.end(), [](char c) { return c == '*'; });
}

} // namespace qv
