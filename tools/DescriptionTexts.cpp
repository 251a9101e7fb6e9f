#include "tools/DescriptionTexts.h"

#include <algorithm>

namespace qv {

namespace {
constexpr size_t kWindow = size_t(1) << 20;
}

DescriptionTexts::DescriptionTexts(FileIo& io, std::optional<ScopedHandle>& file)
    : m_io(io)
    , m_file(file)
    , m_length(file ? io.size(file->get()).valueOr(0) : 0)
    , m_whole(m_length <= kWholeFile)
{
}

bool DescriptionTexts::read(int32_t pointer, std::string_view& text)
{
    text = {};
    if (pointer < 0 || uint64_t(pointer) >= m_length)
        return true;
    const auto p = uint64_t(pointer);
    if (m_whole) {
        if (!m_loaded) {
            reserveLarge(m_buffer, size_t(m_length));
            m_buffer.resize(size_t(m_length));
            size_t have = 0;
            while (have < m_buffer.size()) {
                auto got = m_io.readAt(m_file->get(), have, m_buffer.data() + have, m_buffer.size() - have);
                if (!got)
                    return false;
                if (*got == 0)
                    break; // the file shrank meanwhile
                have += *got;
            }
            m_buffer.resize(have);
            m_loaded = true;
        }
        if (p >= m_buffer.size())
            return true;
        const std::string_view v = std::string_view(m_buffer).substr(size_t(p));
        text = v.substr(0, std::min(v.find('\0'), v.size()));
        return true;
    }
    for (size_t want = kWindow;; want *= 2) {
        if (p >= m_start && p < m_start + m_buffer.size()) {
            const std::string_view v = std::string_view(m_buffer).substr(size_t(p - m_start));
            const size_t zero = v.find('\0');
            if (zero != std::string_view::npos) {
                text = v.substr(0, zero);
                return true;
            }
            if (m_start + m_buffer.size() >= m_length) {
                text = v;
                return true;
            }
            want = std::max(want, v.size() * 2);
        }
        m_buffer.resize(size_t(std::min<uint64_t>(want, m_length - p)));
        auto got = m_io.readAt(m_file->get(), p, m_buffer.data(), m_buffer.size());
        if (!got)
            return false;
        m_buffer.resize(*got);
        m_start = p;
        if (*got == 0) // the file shrank meanwhile
            return true;
    }
}

} // namespace qv
