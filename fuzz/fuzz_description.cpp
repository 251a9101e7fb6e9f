// Reads descriptions from an arbitrary description file at an arbitrary pointer and limit and
// compares with a plain byte-by-byte reading.
#include "fuzz/support/Check.h"
#include "storage/Description.h"
#include "storage/MemoryFileIo.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    int32_t pointer;
    std::memcpy(&pointer, data, 4);
    // Pointers mostly fall inside the file; the top bits keep the wild ones reachable.
    const size_t fileSize = size - 6;
    if (pointer >= 0 && !(data[0] & 0x80) && fileSize)
        pointer = int32_t(uint32_t(pointer) % (fileSize + 1));
    const size_t limit = size_t(data[4]) | size_t(data[5]) << 8;
    const std::string file(reinterpret_cast<const char*>(data + 6), fileSize);

    qv::MemoryFileIo io;
    io.setFile("/fdb/txt/fdb1.txt", file);
    const std::string text = qv::readDescription(io, "/fdb/txt/fdb1.txt", pointer, limit);
    const size_t stored = qv::storedDescriptionLength(io, "/fdb/txt/fdb1.txt", pointer, limit);
    check(io.openHandles() == 0);

    std::string expected;
    bool zero = false;
    if (pointer >= 0) {
        for (size_t i = size_t(pointer); i < file.size() && expected.size() <= limit; ++i) {
            if (file[i] == 0) {
                zero = true;
                break;
            }
            expected.push_back(file[i]);
        }
    }
    if (expected.size() > limit) {
        expected.resize(limit);
        zero = false;
    }
    check(text == expected);
    check(stored == (zero ? expected.size() + 1 : 0));
    check(text.find('\0') == std::string::npos);
    return 0;
}
