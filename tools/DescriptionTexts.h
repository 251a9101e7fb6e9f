#pragma once

#include "storage/FileIo.h"
#include "storage/LargeTable.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The descriptions of one area for a pass over all its records, whatever order their pointers
// are in: a description file up to kWholeFile bytes is read once, forward, and every text is a
// view into it; a larger one is read through a window that moves (fast in record order only).
class DescriptionTexts {
public:
    static constexpr uint64_t kWholeFile = uint64_t(512) << 20;

    // file: the open description file, or none (every text is then empty).
    DescriptionTexts(FileIo& io, std::optional<ScopedHandle>& file);

    // The bytes at pointer up to the zero byte or the end of the file, valid until the next
    // call; false on a read error.
    bool read(int32_t pointer, std::string_view& text);
    // Asks the processor for the start of the text at pointer ahead of its read, where the file
    // is held whole: after a sort the texts lie all over it.
    void prefetch(int32_t pointer) const
    {
        if (m_loaded && pointer >= 0 && uint64_t(pointer) < m_buffer.size())
            qv::prefetch(m_buffer.data() + pointer, std::min<size_t>(256, m_buffer.size() - size_t(pointer)));
    }

private:
    FileIo& m_io;
    std::optional<ScopedHandle>& m_file;
    uint64_t m_length = 0;
    bool m_whole = false;
    bool m_loaded = false;
    uint64_t m_start = 0;
    std::string m_buffer;
};

} // namespace qv
