#include "storage/LongName.h"

#include "storage/Text.h"

#include <string>

namespace qv::longname {

namespace {

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool isLegal(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80)
        return false;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// True when prefix starts the characters an alias is made of: legal ones in upper case, every
// other one except blanks and dots as '_' (the way aliases are made here and on DOS-era systems).
bool startsAliasBasis(std::string_view prefix, std::string_view source)
{
    size_t k = 0;
    for (char c : source) {
        if (k == prefix.size())
            return true;
        if (c == ' ' || c == '.')
            continue;
        const char made = isLegal(c) ? upper(c) : '_';
        if (prefix[k++] != made)
            return false;
    }
    return k == prefix.size();
}

} // namespace

bool isAliasOf(std::string_view shortName, std::string_view longName)
{
    shortName = text::trim(shortName);
    longName = text::trim(longName);
    const size_t dot = shortName.find('.');
    const std::string_view base = shortName.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : shortName.substr(dot + 1);
    const size_t tilde = base.rfind('~');
    if (tilde == std::string_view::npos || tilde == 0 || tilde + 1 == base.size() || base.size() > 8 || ext.size() > 3)
        return false;
    for (char c : base.substr(tilde + 1))
        if (c < '0' || c > '9')
            return false;
    const std::string prefix = text::toUpper(base.substr(0, tilde));
    const std::string extension = text::toUpper(ext);

    // The basis is the name before its last dot; a name that is all extension (".profile") uses
    // the text after the dot, and then has no extension of its own.
    const size_t longDot = longName.rfind('.');
    std::string_view basis = longDot == std::string_view::npos || longDot == 0 ? longName : longName.substr(0, longDot);
    std::string_view longExt
        = longDot == std::string_view::npos || longDot == 0 ? std::string_view() : longName.substr(longDot + 1);
    bool basisHasCharacters = false;
    for (char c : basis)
        basisHasCharacters = basisHasCharacters || (c != ' ' && c != '.');
    if (!basisHasCharacters && longDot != std::string_view::npos) {
        basis = longName.substr(longDot + 1);
        longExt = {};
    }
    return startsAliasBasis(prefix, basis) && startsAliasBasis(extension, longExt);
}

bool belongsTo(std::string_view shortName, std::string_view longName)
{
    shortName = text::trim(shortName);
    longName = text::trim(longName);
    if (longName.empty() || shortName.empty())
        return false;
    return text::equalsIgnoreCase(shortName, longName) || isAliasOf(shortName, longName);
}

} // namespace qv::longname
