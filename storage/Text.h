#pragma once

#include <string>
#include <string_view>

// Byte-string helpers for board text (8-bit code page; only ASCII letters change case).
namespace qv::text {

// Blanks (space, tab) off both ends. Inline: a load trims every row's names.
inline std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}
std::string toUpper(std::string_view s);
std::string toLower(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
// The file list's capitalisation: the first character kept, every later one in lower case.
std::string capitalise(std::string_view s);
// The same written to out, which has room for s.size() bytes.
void capitaliseInto(char* out, std::string_view s);

// Row text of a comment line in the file list.
inline constexpr std::string_view kCommentRowText = " (Comment)";

// The display name: the long name when it is not blank after trimming, else the header name,
// then capitalised; a blank header name makes the comment row text.
std::string displayName(std::string_view headerName, std::string_view longName);

// "1 record", "3 records": a count and its noun, which takes an "s" unless the count is one.
inline std::string counted(uint64_t n, std::string_view noun)
{
    return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

} // namespace qv::text
