#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

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

constexpr size_t kHugePage = size_t(2) << 20;

// Room for a table of bytes. From one huge page up it is whole huge pages, aligned to them: the
// parts of a table before its first and after its last whole huge page would each be hundreds of
// small-page faults, more than the kernel takes to clear the huge pages.
inline void* allocateLarge(size_t bytes)
{
    if (bytes < kHugePage)
        return ::operator new(bytes);
    const size_t whole = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    void* p = ::operator new(whole, std::align_val_t(kHugePage));
    (void)::madvise(p, whole, MADV_HUGEPAGE);
    return p;
}

inline void freeLarge(void* p, size_t bytes)
{
    if (bytes < kHugePage)
        ::operator delete(p);
    else
        ::operator delete(p, std::align_val_t(kHugePage));
}

// Given to a table's emplace_back for an element already made in place at its end, in the room
// reserve() gave: the table counts it without making it again (adoptMadeInPlace).
struct MadeInPlace { };

// The allocator of tables that may hold an area's worth of records or rows.
template <class T> struct LargeTableAllocator {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    using value_type = T;
    LargeTableAllocator() = default;
    template <class U> LargeTableAllocator(const LargeTableAllocator<U>&) { }
    T* allocate(size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { freeLarge(p, n * sizeof(T)); }
    template <class U, class... Args> void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U> void construct(U*, MadeInPlace) { }
    friend bool operator==(const LargeTableAllocator&, const LargeTableAllocator&) { return true; }
};

template <class T> using LargeVector = std::vector<T, LargeTableAllocator<T>>;

// Counts the n elements made in place after the end of table as its own. Threads that fill the
// parts of one table each make their elements where they stay; no table is made first and none
// is moved afterwards. The room must be there: growing would "make" garbage.
template <class T> void adoptMadeInPlace(LargeVector<T>& table, size_t n)
{
    if (table.size() + n > table.capacity())
        std::abort();
    for (size_t i = 0; i < n; ++i)
        table.emplace_back(MadeInPlace {});
}

// Room for n elements, in huge pages where the system allows it.
template <class Table> void reserveLarge(Table& table, size_t n)
{
    table.reserve(n);
    adviseHugePages(table.data(), table.capacity() * sizeof(*table.data()));
}

struct LargeFree {
    size_t bytes = 0;
    void operator()(const void* p) const { freeLarge(const_cast<void*>(p), bytes); }
};

// Room for count elements of a plain type, shared by whoever keeps a pointer into it.
template <class T> std::shared_ptr<T[]> sharedLarge(size_t count)
{
    const size_t bytes = count * sizeof(T);
    return std::shared_ptr<T[]>(static_cast<T*>(allocateLarge(bytes)), LargeFree { bytes });
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
            m_data.reset();
            m_data.reset(static_cast<uint8_t*>(allocateLarge(size)));
            m_data.get_deleter().bytes = size;
            m_capacity = size;
        }
        m_size = size;
    }

private:
    std::unique_ptr<uint8_t, LargeFree> m_data;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace qv
