#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QStringView>

namespace qv {

class CodePage;

// Upper case of board bytes through the board's code page, as a table of the 256 byte values,
// so a search text and a description compare without case in any single-byte page.
class CaseFold {
public:
    explicit CaseFold(const CodePage& codePage);

    uint8_t operator()(uint8_t byte) const { return m_upper[byte]; }
    std::string apply(std::string_view bytes) const;
    const std::array<uint8_t, 256>& table() const { return m_upper; }
    // The text in folded board bytes; empty when the code page cannot hold every character of
    // it, so such a text finds nothing.
    std::optional<std::string> foldedBytes(QStringView text) const;

private:
    const CodePage* m_codePage;
    std::array<uint8_t, 256> m_upper {};
};

// Every start position of needle (already folded) in haystack, comparing the haystack folded
// through table; a Horspool scan, so long texts are skipped rather than folded byte by byte.
class FoldedFinder {
public:
    FoldedFinder(std::string needle, const std::array<uint8_t, 256>& table);
    // The first match at or after from, or npos.
    size_t find(std::string_view haystack, size_t from) const;
    size_t size() const { return m_needle.size(); }

private:
    std::string m_needle;
    const std::array<uint8_t, 256>* m_table;
    // The needle's rarest byte in ordinary text and every byte that folds to it: the scan looks
    // for those 16 bytes at a time and checks the whole needle only where one of them stands.
    size_t m_rareAt = 0;
    std::vector<uint8_t> m_rareBytes;
};

// The name pattern of the find window: "*" runs to the next period, "?" takes one character
// that is not a period (facing a period or the end, it takes nothing). The pattern is in upper case; a name is, or is
// folded through fold. What depends on the pattern alone is worked out once, as it is tried on every name of a base.
class NamePattern {
public:
    explicit NamePattern(std::string pattern, const std::array<uint8_t, 256>* fold = nullptr);
    bool matches(std::string_view name) const;

private:
    std::string m_pattern;
    const std::array<uint8_t, 256>* m_fold;
    bool m_period; // the pattern holds a period
    bool m_periodThenAny; // the pattern holds ".?": no match for a name without a period
    bool m_extends; // a name without a period is walked as if ".  " followed it
    size_t m_wildFrom; // only "*" and "?" from here on
    // The pattern ends in a plain character and has no star but in front: a name with a period
    // matches only if it ends in that character, so most names are turned away on their last byte.
    bool m_lastMustMatch;
};

bool wildcardMatch(std::string_view name, std::string_view pattern, const std::array<uint8_t, 256>* fold = nullptr);

} // namespace qv
