// Reads an arbitrary FILES.BBS: every item it gives is a comment, a refused name or a name the
// area's directory may hold, in line order, and no text carries a zero byte.
#include "fuzz/support/Check.h"
#include "storage/FilesBbsReader.h"

#include <algorithm>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    const size_t lines
        = size_t(std::count(list.begin(), list.end(), '\n') + std::count(list.begin(), list.end(), '\r'));
    size_t last = 0;
    for (const auto& item : qv::FilesBbsReader::read(list)) {
        using K = qv::FilesBbsReader::Item::Kind;
        check(item.line > last && item.line <= lines + 1);
        last = item.line;
        check(item.description.find('\0') == std::string::npos);
        switch (item.kind) {
        case K::File:
            check(!item.name.empty() && qv::FilesBbsReader::unsafeName(item.name).empty());
            check(item.reason.empty());
            check(item.name.find_first_of("/\\\r\n") == std::string::npos && item.name.find("..") == std::string::npos);
            break;
        case K::Refused:
            check(!item.reason.empty() && !qv::FilesBbsReader::unsafeName(item.name).empty());
            break;
        case K::Comment:
            check(item.name.empty());
            break;
        }
        check(!item.size || *item.size >= 0);
    }
    return 0;
}
