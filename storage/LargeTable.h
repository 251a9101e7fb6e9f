#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <sys/mman.h>

namespace qv {

// Room for n elements, held in huge pages where the system allows it. A table of 100,000 rows is
// thousands of fresh small pages, each a fault; the advice is only a hint and costs nothing when
// it is not taken.
template <class T> void reserveLarge(std::vector<T>& table, size_t n)
{
    table.reserve(n);
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const auto data = reinterpret_cast<uintptr_t>(table.data());
    const uintptr_t first = (data + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (data + table.capacity() * sizeof(T)) & ~(kHuge - 1);
    if (end > first)
        (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

} // namespace qv
