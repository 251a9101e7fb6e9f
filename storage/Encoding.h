#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The primitive field encodings of the board's files. All multi-byte values are little-endian.
namespace qv::enc {

inline uint8_t getByte(const uint8_t* p) { return p[0]; }
inline void putByte(uint8_t* p, uint8_t v) { p[0] = v; }

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

// Word: the board's own 16-bit encoding. A stored signed value v >= 0 means v; a negative v means
// 32767 + |v|, so FF FF is 32768 and 01 80 is 65534. The bytes 00 80 (v = -32768) follow the same
// rule and read as 65535, a value that is never written.
constexpr int kWordMax = 65534;

inline int getWord(const uint8_t* p)
{
    auto v = static_cast<int16_t>(uint16_t(p[0]) | uint16_t(p[1]) << 8);
    return v >= 0 ? v : 32767 - int(v);
}

// Stores value (0..65534); returns false and writes nothing when it is out of range.
inline bool putWord(uint8_t* p, int value)
{
    if (value < 0 || value > kWordMax)
        return false;
    int stored = value <= 32767 ? value : -(value - 32767);
    auto raw = static_cast<uint16_t>(static_cast<int16_t>(stored));
    p[0] = uint8_t(raw);
    p[1] = uint8_t(raw >> 8);
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
