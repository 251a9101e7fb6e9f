#pragma once

#include "storage/Encoding.h"

#include <array>
#include <span>
#include <string>

namespace qv {

// One entry of an area's index file (fdbN.idx), kept as its 41 bytes.
class IndexRecord {
public:
    static constexpr size_t kSize = 41;
    static constexpr size_t kNameOffset = 0; // Text[12], the header name in upper case
    static constexpr size_t kNameWidth = 12;
    static constexpr size_t kUploadDateOffset = 13; // Date
    static constexpr size_t kChecksumsOffset = 17; // 5 x Long
    static constexpr size_t kChecksumCount = 5;
    static constexpr size_t kDescriptionPointerOffset = 37; // Long

    using Bytes = std::array<uint8_t, kSize>;

    IndexRecord() { m_bytes.fill(0); }
    static IndexRecord decode(std::span<const uint8_t, kSize> bytes)
    {
        IndexRecord r;
        std::copy(bytes.begin(), bytes.end(), r.m_bytes.begin());
        return r;
    }
    const Bytes& encode() const { return m_bytes; }
    Bytes& bytes() { return m_bytes; }

    std::string name() const { return enc::getText(m_bytes.data() + kNameOffset, kNameWidth); }
    bool setName(std::string_view v) { return enc::putText(m_bytes.data() + kNameOffset, kNameWidth, v); }
    int32_t uploadDate() const { return enc::getLong(m_bytes.data() + kUploadDateOffset); }
    void setUploadDate(int32_t v) { enc::putLong(m_bytes.data() + kUploadDateOffset, v); }
    // k in 0..4; other k read as 0 and write nothing
    int32_t keywordChecksum(size_t k) const
    {
        return k < kChecksumCount ? enc::getLong(m_bytes.data() + kChecksumsOffset + 4 * k) : 0;
    }
    void setKeywordChecksum(size_t k, int32_t v)
    {
        if (k < kChecksumCount)
            enc::putLong(m_bytes.data() + kChecksumsOffset + 4 * k, v);
    }
    int32_t descriptionPointer() const { return enc::getLong(m_bytes.data() + kDescriptionPointerOffset); }
    void setDescriptionPointer(int32_t v) { enc::putLong(m_bytes.data() + kDescriptionPointerOffset, v); }

    friend bool operator==(const IndexRecord&, const IndexRecord&) = default;

private:
    Bytes m_bytes;
};

// One record of the long-name file (fdbN.lfn): a single Text[255]; empty means no long name.
class LongNameRecord {
public:
    static constexpr size_t kSize = 256;
    static constexpr size_t kWidth = 255;
    using Bytes = std::array<uint8_t, kSize>;

    LongNameRecord() { m_bytes.fill(0); }
    static LongNameRecord decode(std::span<const uint8_t, kSize> bytes)
    {
        LongNameRecord r;
        std::copy(bytes.begin(), bytes.end(), r.m_bytes.begin());
        return r;
    }
    const Bytes& encode() const { return m_bytes; }
    std::string name() const { return enc::getText(m_bytes.data(), kWidth); }
    bool setName(std::string_view v) { return enc::putText(m_bytes.data(), kWidth, v); }

    friend bool operator==(const LongNameRecord&, const LongNameRecord&) = default;

private:
    Bytes m_bytes;
};

} // namespace qv
