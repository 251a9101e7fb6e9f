#pragma once

#include <cstddef>
#include <functional>

namespace qv {

// Writing through a shared mapping of a file that another program may shorten meanwhile: a
// write past the file's new end raises SIGBUS, which would end this program in the middle of a
// change. The board takes no lock, so nothing keeps it from doing so.
class MappedWrite {
public:
    // Runs write, which writes only into [begin, begin + length) and holds nothing that needs
    // ending: a SIGBUS there leaves it by a jump. False when one cut it short; what it wrote
    // before stays written. A SIGBUS anywhere else is left to what handled it before.
    static bool run(void* begin, size_t length, const std::function<void()>& write);
};

} // namespace qv
