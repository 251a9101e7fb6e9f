#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

// Checksum of a search keyword as the index file stores it: the complement of the common CRC-32
// over the trimmed, lower-cased keyword, as a signed Long (an empty keyword gives -1).
int32_t keywordChecksum(std::string_view keyword);

} // namespace qv
