#pragma once

#include "storage/FileIo.h"

#include <cstdint>
#include <string>

namespace qv {

// Longest description ever read; bounds memory on damaged files without a zero byte.
constexpr size_t kDescriptionReadLimit = 1 << 20;

// The description at pointer: bytes up to the first zero byte or the end of the file. A negative
// pointer means no description and opens nothing; a missing file or a pointer past the end gives "".
std::string readDescription(FileIo& io, const std::string& descriptionPath, int32_t pointer,
                            size_t limit = kDescriptionReadLimit);

// The stored length of the description at pointer, its zero byte included (0 for a negative
// pointer or when no zero byte follows within limit bytes).
size_t storedDescriptionLength(FileIo& io, const std::string& descriptionPath, int32_t pointer,
                               size_t limit = kDescriptionReadLimit);

} // namespace qv
