#include "storage/LongName.h"

#include "storage/Text.h"

#include <array>

namespace qv::longname {

namespace {

// Runs once per record of a loaded area: no allocations, early exits.

constexpr char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

constexpr bool isLegal(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80)
        return false;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// The character an alias is made of for each byte: legal ones in upper case, blanks and dots
// left out (0), every other one as '_' (the way aliases are made here and on DOS-era systems).
// Made when compiling: a load looks it up for every row.
constexpr std::array<char, 256> kAliasCharacters = [] {
    std::array<char, 256> t {};
    for (int u = 0; u < 256; ++u) {
        const char c = char(u);
        t[size_t(u)] = (c == ' ' || c == '.') ? '\0' : isLegal(c) ? upper(c) : '_';
    }
    return t;
}();

// True when prefix (compared in upper case) starts the characters an alias is made of.
bool startsAliasBasis(std::string_view prefix, std::string_view source)
{
    const std::array<char, 256>& made = kAliasCharacters;
    size_t k = 0;
    for (char c : source) {
        if (k == prefix.size())
            return true;
        const char m = made[static_cast<unsigned char>(c)];
        if (m == '\0')
            continue;
        if (upper(prefix[k++]) != m)
            return false;
    }
    return k == prefix.size();
}

bool onlyBlanksAndDots(std::string_view s)
{
    for (char c : s)
        if (c != ' ' && c != '.')
            return false;
    return true;
}

} // namespace

bool isAliasOf(std::string_view shortName, std::string_view longName)
{
    return isAliasOfTrimmed(text::trim(shortName), text::trim(longName));
}

bool isAliasOfTrimmed(std::string_view shortName, std::string_view longName)
{
    // BASIS~N or BASIS~N.EXT: 1..5 basis characters, digits up to eight in all, 0..3 extension.
    size_t tilde = std::string_view::npos;
    size_t dot = shortName.size();
    for (size_t i = 0; i < shortName.size(); ++i) {
        const char c = shortName[i];
        if (c == '.') {
            dot = i;
            break;
        }
        if (c == '~')
            tilde = i;
    }
    if (tilde == std::string_view::npos || tilde == 0 || tilde + 1 == dot || dot > 8 || shortName.size() - dot > 4)
        return false;
    for (size_t i = tilde + 1; i < dot; ++i)
        if (shortName[i] < '0' || shortName[i] > '9')
            return false;
    const std::string_view ext = dot < shortName.size() ? shortName.substr(dot + 1) : std::string_view();

    // The basis is the name before its last dot; a name that is all extension (".profile") uses
    // the text after the dot, and then has no extension of its own.
    const size_t longDot = longName.rfind('.');
    std::string_view basis = longName;
    std::string_view longExt;
    if (longDot != std::string_view::npos && longDot > 0) {
        basis = longName.substr(0, longDot);
        longExt = longName.substr(longDot + 1);
    }
    if (longDot != std::string_view::npos && onlyBlanksAndDots(basis)) {
        basis = longName.substr(longDot + 1);
        longExt = {};
    }
    return startsAliasBasis(shortName.substr(0, tilde), basis) && startsAliasBasis(ext, longExt);
}

bool belongsTo(std::string_view shortName, std::string_view longName)
{
    return belongsToTrimmed(text::trim(shortName), text::trim(longName));
}

bool belongsToTrimmed(std::string_view shortName, std::string_view longName)
{
    if (longName.empty() || shortName.empty())
        return false;
    return text::equalsIgnoreCase(shortName, longName) || isAliasOfTrimmed(shortName, longName);
}

} // namespace qv::longname
