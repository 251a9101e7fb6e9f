#include "storage/Text.h"

namespace qv::text {

namespace {
char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
}

std::string toUpper(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        c = upper(c);
    return r;
}

std::string toLower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        c = lower(c);
    return r;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

void capitaliseInto(char* out, std::string_view s)
{
    // Through plain pointers, so the loop is vectorised.
    const char* in = s.data();
    const size_t n = s.size();
    if (n > 0)
        out[0] = in[0];
    for (size_t i = 1; i < n; ++i)
        out[i] = lower(in[i]);
}

std::string capitalise(std::string_view s)
{
    std::string r(s.size(), '\0');
    capitaliseInto(r.data(), s);
    return r;
}

std::string displayName(std::string_view headerName, std::string_view longName)
{
    if (trim(headerName).empty())
        return std::string(kCommentRowText);
    return capitalise(trim(longName).empty() ? headerName : longName);
}

} // namespace qv::text
