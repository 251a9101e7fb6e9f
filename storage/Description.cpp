#include "storage/Description.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qv {

namespace {
constexpr size_t kChunk = 4096;

// Reads from pointer up to the zero byte; found tells whether one was met within limit bytes.
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
    char chunk[kChunk];
    uint64_t offset = uint64_t(pointer);
    // One byte past the limit tells a text of exactly limit bytes from a longer one.
    while (text.size() <= limit) {
        const size_t remaining = limit - text.size();
        const size_t want = remaining >= kChunk ? kChunk : remaining + 1;
        auto got = io.readAt(handle.get(), offset, chunk, want);
        if (!got || *got == 0)
            break;
        const size_t n = std::min(*got, want);
        if (const void* zero = std::memchr(chunk, 0, n)) {
            text.append(chunk, size_t(static_cast<const char*>(zero) - chunk));
            found = text.size() <= limit;
            break;
        }
        text.append(chunk, n);
        offset += n;
        if (n < want)
            break;
    }
    if (text.size() > limit) {
        text.resize(limit);
        found = false;
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
