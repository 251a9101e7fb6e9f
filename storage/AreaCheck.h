#pragma once

#include "storage/FileIo.h"

#include <string>
#include <vector>

namespace qv {

// Consistency check of one area's files: the things a crash, an interrupted rewrite or another
// tool can leave wrong, found without changing anything.
class AreaCheck {
public:
    static constexpr uint64_t kFileLimit = uint64_t(1) << 31;

    // One line per problem, in a fixed order; empty when the area is sound. A missing header
    // file is a problem of its own and ends the check of the area.
    static std::vector<std::string> run(FileIo& io, const std::string& fileBaseDir, int area);
};

} // namespace qv
