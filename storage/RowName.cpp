#include "storage/RowName.h"

#include "storage/LargeTable.h"

#include <algorithm>

namespace qv {

char* NameBlocks::room(size_t size)
{
    if (size > m_left) {
        // The guess is given as whole huge pages, then the rest of it in small ones: a huge page
        // is cleared whole when first touched, and a block of 2.4 MB would be two of them for the
        // 2.1 MB a half of 100,000 long names takes.
        size_t bytes = m_planned >= kHugePage ? m_planned & ~(kHugePage - 1) : m_planned;
        if (bytes == 0)
            bytes = m_next;
        bytes = std::max({ bytes, size, size_t(4096) });
        m_planned -= std::min(m_planned, bytes);
        auto block = sharedLarge<char>(bytes);
        m_free = block.get();
        m_block = std::move(block);
        m_left = bytes;
        // A guess too small is not made again for every row.
        m_next = std::max(m_next, bytes);
    }
    char* at = m_free;
    m_free += size;
    m_left -= size;
    return at;
}

} // namespace qv
