#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Status bar panel 1: the row count, then " Object(s)".
inline std::string objectCountText(uint64_t rows)
{
    return std::to_string(rows) + " Object(s)";
}

// Status bar panel 2 without its " MB": the total in megabytes truncated to three and then to one
// decimal, a period as separator, "0" for zero.
inline std::string megabyteText(uint64_t totalBytes)
{
    const uint64_t thousandths = totalBytes * 1000 / 1048576;
    const uint64_t tenths = thousandths / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "." + std::to_string(tenths % 10);
    return text;
}

} // namespace qv
