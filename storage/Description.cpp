#include "storage/Description.h"

#include <vector>

namespace qv {

namespace {
// Reads from pointer up to the zero byte; found tells whether one was met within limit.
std::string readUpToZero(FileIo& io, const std::string& path, int32_t pointer, size_t limit, bool& found)
{
    found = false;
    std::string text;
    if (pointer < 0)
        return text;
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return text;
    ScopedHandle handle(io, *h);
    std::vector<char> chunk(4096);
    uint64_t offset = uint64_t(pointer);
    while (text.size() < limit) {
        auto got = io.readAt(handle.get(), offset, chunk.data(), chunk.size());
        if (!got || *got == 0)
            break;
        for (size_t i = 0; i < *got; ++i) {
            if (chunk[i] == 0) {
                found = true;
                return text;
            }
            text.push_back(chunk[i]);
            if (text.size() >= limit)
                return text;
        }
        offset += *got;
    }
    return text;
}
}

std::string readDescription(FileIo& io, const std::string& descriptionPath, int32_t pointer, size_t limit)
{
    bool found = false;
    return readUpToZero(io, descriptionPath, pointer, limit, found);
}

size_t storedDescriptionLength(FileIo& io, const std::string& descriptionPath, int32_t pointer, size_t limit)
{
    bool found = false;
    const std::string text = readUpToZero(io, descriptionPath, pointer, limit, found);
    return found ? text.size() + 1 : 0;
}

} // namespace qv
