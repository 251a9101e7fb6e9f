#pragma once

#include "storage/Encoding.h"

#include <array>
#include <cstring>
#include <span>
#include <string>

namespace qv {

// Attribute bits of a header record (bit 7 has no name and is dropped by the Properties dialog).
enum class Attribute : uint8_t {
    Deleted = 1 << 0,
    Unlisted = 1 << 1,
    Free = 1 << 2,
    NotAvailable = 1 << 3,
    Locked = 1 << 4,
    MissingOffline = 1 << 5,
    NoTime = 1 << 6,
};

// One entry of an area's header file (fdbN.hdr). The record keeps all 194 bytes, so decoding and
// encoding round-trip every byte and a setter changes only its own field.
class HeaderRecord {
public:
    static constexpr size_t kSize = 194;
    static constexpr size_t kNameOffset = 0; // Text[12]
    static constexpr size_t kNameWidth = 12;
    static constexpr size_t kSizeOffset = 13; // Long
    static constexpr size_t kChecksumOffset = 17; // Long
    static constexpr size_t kUploaderOffset = 21; // Text[35]
    static constexpr size_t kUploaderWidth = 35;
    static constexpr size_t kUploadDateOffset = 57; // Date
    static constexpr size_t kFileDateOffset = 61; // Date
    static constexpr size_t kLastDownloadOffset = 65; // Date
    static constexpr size_t kDownloadsOffset = 69; // Word
    static constexpr size_t kAttributesOffset = 71; // Byte
    static constexpr size_t kPasswordOffset = 72; // Text[15]
    static constexpr size_t kPasswordWidth = 15;
    static constexpr size_t kKeywordsOffset = 88; // 5 x Text[15]
    static constexpr size_t kKeywordWidth = 15;
    static constexpr size_t kKeywordCount = 5;
    static constexpr size_t kCostOffset = 168; // Word
    static constexpr size_t kDescriptionPointerOffset = 170; // Long
    // The board's pointer to the entry's long name: a zero-terminated text in the area's
    // description file; 0 or less means none.
    static constexpr size_t kLongNamePointerOffset = 174; // Long
    static constexpr size_t kFreeOffset = 178; // 16 bytes no one uses, kept as they are
    static constexpr size_t kFreeSize = 16;
    // Where in-place patches end: the board's bytes from 174 on are only ever copied.
    static constexpr size_t kPatchableSize = kLongNamePointerOffset;
    // The bytes the board rewrites in place when it counts a download: the date, then the count.
    static constexpr size_t kBumpedOffset = kLastDownloadOffset;
    static constexpr size_t kBumpedSize = kDownloadsOffset + 2 - kBumpedOffset;
    // Whether two stored records are the same but for those bytes.
    static bool sameButCounted(const uint8_t* a, const uint8_t* b)
    {
        constexpr size_t end = kBumpedOffset + kBumpedSize;
        return std::memcmp(a, b, kBumpedOffset) == 0 && std::memcmp(a + end, b + end, kSize - end) == 0;
    }

    using Bytes = std::array<uint8_t, kSize>;

    HeaderRecord() { m_bytes.fill(0); }
    static HeaderRecord decode(std::span<const uint8_t, kSize> bytes)
    {
        HeaderRecord r;
        std::copy(bytes.begin(), bytes.end(), r.m_bytes.begin());
        return r;
    }
    const Bytes& encode() const { return m_bytes; }
    Bytes& bytes() { return m_bytes; }

    std::string name() const { return enc::getText(p(kNameOffset), kNameWidth); }
    bool setName(std::string_view v) { return enc::putText(p(kNameOffset), kNameWidth, v); }
    int32_t size() const { return enc::getLong(p(kSizeOffset)); }
    void setSize(int32_t v) { enc::putLong(p(kSizeOffset), v); }
    int32_t checksum() const { return enc::getLong(p(kChecksumOffset)); }
    void setChecksum(int32_t v) { enc::putLong(p(kChecksumOffset), v); }
    std::string uploader() const { return enc::getText(p(kUploaderOffset), kUploaderWidth); }
    bool setUploader(std::string_view v) { return enc::putText(p(kUploaderOffset), kUploaderWidth, v); }
    int32_t uploadDate() const { return enc::getLong(p(kUploadDateOffset)); }
    void setUploadDate(int32_t v) { enc::putLong(p(kUploadDateOffset), v); }
    int32_t fileDate() const { return enc::getLong(p(kFileDateOffset)); }
    void setFileDate(int32_t v) { enc::putLong(p(kFileDateOffset), v); }
    int32_t lastDownloadDate() const { return enc::getLong(p(kLastDownloadOffset)); }
    void setLastDownloadDate(int32_t v) { enc::putLong(p(kLastDownloadOffset), v); }
    int downloads() const { return enc::getWord(p(kDownloadsOffset)); }
    bool setDownloads(int v) { return enc::putWord(p(kDownloadsOffset), v); }
    uint8_t attributes() const { return m_bytes[kAttributesOffset]; }
    void setAttributes(uint8_t v) { m_bytes[kAttributesOffset] = v; }
    bool hasAttribute(Attribute a) const { return attributes() & uint8_t(a); }
    std::string password() const { return enc::getText(p(kPasswordOffset), kPasswordWidth); }
    bool setPassword(std::string_view v) { return enc::putText(p(kPasswordOffset), kPasswordWidth, v); }
    // k in 0..4; other k read as empty and write nothing
    std::string keyword(size_t k) const
    {
        return k < kKeywordCount ? enc::getText(p(keywordOffset(k)), kKeywordWidth) : std::string();
    }
    bool setKeyword(size_t k, std::string_view v)
    {
        return k < kKeywordCount && enc::putText(p(keywordOffset(k)), kKeywordWidth, v);
    }
    int cost() const { return enc::getWord(p(kCostOffset)); }
    bool setCost(int v) { return enc::putWord(p(kCostOffset), v); }
    int32_t descriptionPointer() const { return enc::getLong(p(kDescriptionPointerOffset)); }
    void setDescriptionPointer(int32_t v) { enc::putLong(p(kDescriptionPointerOffset), v); }
    int32_t longNamePointer() const { return enc::getLong(p(kLongNamePointerOffset)); }
    void setLongNamePointer(int32_t v) { enc::putLong(p(kLongNamePointerOffset), v); }
    std::span<const uint8_t, kFreeSize> freeBytes() const
    {
        return std::span<const uint8_t, kFreeSize>(m_bytes.data() + kFreeOffset, kFreeSize);
    }

    // A record whose name is blank after trimming is a comment line.
    bool isComment() const;

    static constexpr size_t keywordOffset(size_t k) { return kKeywordsOffset + k * (kKeywordWidth + 1); }

    friend bool operator==(const HeaderRecord&, const HeaderRecord&) = default;

private:
    uint8_t* p(size_t off) { return m_bytes.data() + off; }
    const uint8_t* p(size_t off) const { return m_bytes.data() + off; }
    Bytes m_bytes;
};

} // namespace qv
