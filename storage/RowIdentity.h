#pragma once

#include "storage/HeaderRecord.h"

#include <array>
#include <cstdint>

namespace qv {

// What a command knows of a row it was shown: where it was and the stored bytes of its header
// record as loaded. The store refuses a change resting on rows that no longer hold these bytes.
struct RowIdentity {
    uint64_t position = 0; // 0-based record number
    std::array<uint8_t, HeaderRecord::kSize> record {};
    friend bool operator==(const RowIdentity&, const RowIdentity&) = default;
};

} // namespace qv
