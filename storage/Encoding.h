#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The primitive field encodings of the board's files. All multi-byte values are little-endian.
namespace qv::enc {

inline uint8_t getByte(const uint8_t* p)
{
    return p[0];
}
inline void putByte(uint8_t* p, uint8_t v)
{
    p[0] = v;
}

inline int32_t getLong(const uint8_t* p)
{
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(v);
}

inline void putLong(uint8_t* p, int32_t value)
{
    auto v = static_cast<uint32_t>(value);
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Word: plain unsigned 16 bits, 0..65535, as the board software reads and writes every such field
// (download counts, costs, area and group numbers, the RDX tables).
constexpr int kWordMax = 65535;

inline int getWord(const uint8_t* p)
{
    return int(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

// Stores value (0..65535); returns false and writes nothing when it is out of range.
inline bool putWord(uint8_t* p, int value)
{
    if (value < 0 || value > kWordMax)
        return false;
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    return true;
}

// Text[n]: a length byte, then n bytes. A length byte above n yields all n bytes. The field always
// occupies n + 1 bytes whatever the length byte says.
inline std::string getText(const uint8_t* p, size_t n)
{
    size_t len = p[0] > n ? n : p[0];
    return std::string(reinterpret_cast<const char*>(p + 1), len);
}

// Writes the length byte, the text and zero padding up to n. A text longer than n is cut to n bytes
// (the function returns false then), so the field never spills into the next one.
inline bool putText(uint8_t* p, size_t n, std::string_view text)
{
    bool fits = text.size() <= n;
    size_t len = fits ? text.size() : n;
    p[0] = static_cast<uint8_t>(len);
    for (size_t i = 0; i < n; ++i)
        p[1 + i] = i < len ? static_cast<uint8_t>(text[i]) : 0;
    return fits;
}

// Date: bits 31..25 year - 1980, 24..21 month, 20..16 day; the low 16 bits are written as 0.
struct CalendarDate {
    int year = 1980;
    int month = 1;
    int day = 1;
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

inline int32_t encodeDate(const CalendarDate& d)
{
    uint32_t year = (d.year < 1980 || d.year > 2107) ? 0 : uint32_t(d.year - 1980);
    uint32_t v = year << 25 | (uint32_t(d.month) & 0x0F) << 21 | (uint32_t(d.day) & 0x1F) << 16;
    return static_cast<int32_t>(v);
}

// Decodes the packed fields; empty when the day field is 0 (shown as "Invalid"). Month and day
// are not range-checked.
inline std::optional<CalendarDate> decodeDate(int32_t value)
{
    auto v = static_cast<uint32_t>(value);
    int day = int(v >> 16 & 0x1F);
    if (day == 0)
        return std::nullopt;
    return CalendarDate { 1980 + int(v >> 25), int(v >> 21 & 0x0F), day };
}

// "05-11-1998" (day-month-year) or "Invalid".
std::string dateText(int32_t value);

} // namespace qv::enc
