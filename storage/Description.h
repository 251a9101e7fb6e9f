#pragma once

#include "storage/FileIo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// Longest description ever read; bounds memory on damaged files without a zero byte.
constexpr size_t kDescriptionReadLimit = 1 << 20;

// The description at pointer: bytes up to the first zero byte or the end of the file. A negative
// pointer means no description and opens nothing; a missing file or a pointer past the end gives "".
std::string readDescription(
    FileIo& io, const std::string& descriptionPath, int32_t pointer, size_t limit = kDescriptionReadLimit);

// The stored length of the description at pointer, its zero byte included (0 for a negative
// pointer or when no zero byte follows within limit bytes).
size_t storedDescriptionLength(
    FileIo& io, const std::string& descriptionPath, int32_t pointer, size_t limit = kDescriptionReadLimit);

// Longest long name a description file holds for the board (a long-name record's width).
constexpr size_t kLongNameTextLimit = 255;

// Reads many texts of one description file through one handle and a window of its bytes, for
// loops over records whose texts lie near one another. The file is opened on first use.
class DescriptionReader {
public:
    DescriptionReader(FileIo& io, std::string path)
        : m_io(io)
        , m_path(std::move(path))
    {
    }
    DescriptionReader(const DescriptionReader&) = delete;
    DescriptionReader& operator=(const DescriptionReader&) = delete;
    ~DescriptionReader();

    // The text at pointer up to its zero byte or the end of the file, at most limit bytes; ""
    // for a negative pointer, a pointer past the end or a missing file.
    std::string textAt(int32_t pointer, size_t limit = kLongNameTextLimit);
    // The first failure to open (other than a missing file) or to read, which textAt reports as "".
    const std::optional<Error>& error() const { return m_error; }

private:
    FileIo& m_io;
    std::string m_path;
    std::optional<FileIo::Handle> m_handle;
    bool m_failed = false;
    std::optional<Error> m_error;
    std::vector<char> m_window;
    uint64_t m_windowStart = 0;
};

} // namespace qv
