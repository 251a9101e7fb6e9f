#include "storage/RowName.h"

#include "storage/LargeTable.h"

#include <algorithm>

namespace qv {

char* NameBlocks::room(size_t size)
{
    if (size > m_left) {
        const size_t bytes = std::max({ size, m_next, size_t(4096) });
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
