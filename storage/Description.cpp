#include "storage/Description.h"

#include <algorithm>
#include <cerrno>
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

DescriptionReader::~DescriptionReader()
{
    if (m_handle)
        (void)m_io.close(*m_handle);
}

std::string DescriptionReader::textAt(int32_t pointer, size_t limit)
{
    if (pointer < 0 || m_failed)
        return {};
    if (!m_handle) {
        auto h = m_io.open(m_path, FileIo::Mode::Read);
        if (!h) {
            m_failed = true;
            if (h.error().code != ENOENT)
                m_error = h.error();
            return {};
        }
        m_handle = *h;
    }
    constexpr size_t kWindow = 64 * 1024;
    const uint64_t at = uint64_t(pointer);
    auto inWindow = [&] { return at >= m_windowStart && at < m_windowStart + m_window.size(); };
    auto scan = [&](std::string& out) {
        // true when the text ended inside the window (zero byte, limit, or a short window at the
        // end of the file)
        const char* from = m_window.data() + (at - m_windowStart);
        const size_t available = m_window.size() - size_t(at - m_windowStart);
        const size_t n = std::min(available, limit);
        const void* zero = std::memchr(from, 0, n);
        out.assign(from, zero ? size_t(static_cast<const char*>(zero) - from) : n);
        return zero || n == limit || m_window.size() < kWindow;
    };
    std::string text;
    if (inWindow() && scan(text))
        return text;
    m_window.resize(kWindow);
    auto got = m_io.readAt(*m_handle, at, m_window.data(), kWindow);
    m_windowStart = at;
    if (!got && !m_error)
        m_error = got.error();
    m_window.resize(got ? *got : 0);
    if (m_window.empty())
        return {};
    scan(text);
    return text;
}

size_t storedDescriptionLength(FileIo& io, const std::string& descriptionPath, int32_t pointer, size_t limit)
{
    bool found = false;
    const std::string text = readUpToZero(io, descriptionPath, pointer, limit, found);
    return found ? text.size() + 1 : 0;
}

} // namespace qv
