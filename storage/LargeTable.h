#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <sys/mman.h>

namespace qv {

// Asks for huge pages for the whole 2 MiB pages inside [data, data + bytes). A table of 100,000
// rows is thousands of fresh small pages, each a fault; the advice is only a hint and costs
// nothing when it is not taken.
inline void adviseHugePages(void* data, size_t bytes)
{
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const auto at = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (at + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (at + bytes) & ~(kHuge - 1);
    if (end > first)
        (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

// Asks the processor for the cache lines of [data, data + bytes) ahead of their use: records
// read from all over a large table would otherwise each wait for memory on their own.
inline void prefetch(const void* data, size_t bytes)
{
    for (size_t line = 0; line < bytes; line += 64)
        __builtin_prefetch(static_cast<const char*>(data) + line);
}

// Room for n elements, in huge pages where the system allows it.
template <class Table> void reserveLarge(Table& table, size_t n)
{
    table.reserve(n);
    adviseHugePages(table.data(), table.capacity() * sizeof(*table.data()));
}

// A byte buffer that is not zero-filled: reads and rewrites fill every byte they use, and
// clearing tens of megabytes first costs as much as the copy itself.
class RawBuffer {
public:
    uint8_t* data() { return m_data.get(); }
    const uint8_t* data() const { return m_data.get(); }
    size_t size() const { return m_size; }
    void resize(size_t size)
    {
        if (size > m_capacity) {
            m_data.reset(new uint8_t[size]);
            m_capacity = size;
            adviseHugePages(m_data.get(), size);
        }
        m_size = size;
    }

private:
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace qv
