#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qv {

// Small real archives shipped with the demo board, so extraction can be tried without
// making archives first.
struct DemoArchive {
    const char* name; // file name in the area directory (8.3, upper case)
    std::span<const uint8_t> bytes;
    std::string_view fileIdDiz; // the FILE_ID.DIZ it holds, byte for byte; empty when none
};

std::span<const DemoArchive> demoArchives();

} // namespace qv
