#pragma once

#include "storage/HeaderRecord.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

namespace qv {

inline constexpr HeaderRecord::Bytes kZeroRecord {};

// The stored bytes of a row's header record. The rows of one load point into the buffer their
// records were read into, which stays while any of them does; bytes set on a row (or changed
// through mutableData) are a copy of its own, so copies of a row never see each other's changes.
class RowRecord {
public:
    static constexpr size_t kSize = HeaderRecord::kSize;

    RowRecord() = default; // all zero
    RowRecord(const HeaderRecord::Bytes& bytes) // NOLINT(google-explicit-constructor): as the array it was
    {
        own(bytes.data());
    }
    RowRecord& operator=(const HeaderRecord::Bytes& bytes)
    {
        own(bytes.data());
        return *this;
    }
    // kSize bytes at at, inside block.
    RowRecord(std::shared_ptr<const uint8_t[]> block, const uint8_t* at)
        : m_block(std::move(block))
        , m_at(at)
    {
    }

    RowRecord(const RowRecord&) = default;
    RowRecord& operator=(const RowRecord&) = default;
    // A row moved from is all zero, not pointing into a buffer it no longer keeps.
    RowRecord(RowRecord&& other) noexcept
        : m_block(std::move(other.m_block))
        , m_at(std::exchange(other.m_at, kZeroRecord.data()))
    {
    }
    RowRecord& operator=(RowRecord&& other) noexcept
    {
        m_block = std::move(other.m_block);
        m_at = std::exchange(other.m_at, kZeroRecord.data());
        return *this;
    }

    const uint8_t* data() const { return m_at; }
    static constexpr size_t size() { return kSize; }
    const uint8_t* begin() const { return data(); }
    const uint8_t* end() const { return data() + kSize; }
    operator HeaderRecord::Bytes() const // NOLINT(google-explicit-constructor)
    {
        HeaderRecord::Bytes b;
        std::copy(begin(), end(), b.begin());
        return b;
    }
    operator std::span<const uint8_t, kSize>() const // NOLINT(google-explicit-constructor)
    {
        return std::span<const uint8_t, kSize>(data(), kSize);
    }
    // The bytes to change in place: copied first unless no other row shares them.
    uint8_t* mutableData()
    {
        if (m_block.use_count() != 1)
            own(m_at);
        // Every block is allocated writable; it is only shown const to the rows that share it.
        return const_cast<uint8_t*>(m_at);
    }
    // Lets go of a shared buffer (for a row kept long after the rest of its load).
    void detach()
    {
        if (m_block)
            own(m_at);
    }

    friend bool operator==(const RowRecord& a, const RowRecord& b) { return std::equal(a.begin(), a.end(), b.begin()); }
    friend bool operator==(const RowRecord& a, const HeaderRecord::Bytes& b)
    {
        return std::equal(a.begin(), a.end(), b.begin());
    }

private:
    void own(const uint8_t* bytes)
    {
        auto copy = std::make_shared_for_overwrite<uint8_t[]>(kSize);
        std::copy(bytes, bytes + kSize, copy.get());
        m_at = copy.get();
        m_block = std::move(copy);
    }

    std::shared_ptr<const uint8_t[]> m_block;
    const uint8_t* m_at = kZeroRecord.data(); // in m_block, if there is one
};

} // namespace qv
