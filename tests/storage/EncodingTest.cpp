#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/KeywordChecksum.h"
#include "storage/Text.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <random>

namespace qv {
namespace {

// The board reads and writes these fields as plain unsigned 16 bits: a count of 40000 it stored
// must read 40000 here, and 64000 set here must read 64000 there.
TEST(WordEncodingEdges, OutOfRangeWritesNothingAndEveryValueRoundTrips)
{
    uint8_t w[2] = { 0x12, 0x34 };
    EXPECT_FALSE(enc::putWord(w, 65536));
    EXPECT_FALSE(enc::putWord(w, -1));
    EXPECT_EQ(w[0], 0x12) << "a refused value writes nothing";
    EXPECT_EQ(w[1], 0x34);
    for (int v = 0; v <= 0xFFFF; ++v) {
        ASSERT_TRUE(enc::putWord(w, v));
        ASSERT_EQ(w[0] | w[1] << 8, v);
        ASSERT_EQ(enc::getWord(w), v) << v;
    }
}

TEST(TextEncoding, FieldsKeepToTheirWidthWhateverTheLengthByteSays)
{
    std::array<uint8_t, 14> field {};
    field[0] = 20;
    for (size_t i = 1; i < field.size(); ++i)
        field[i] = uint8_t('A' + i - 1);
    EXPECT_EQ(enc::getText(field.data(), 12), "ABCDEFGHIJKL");
    field[0] = 3;
    EXPECT_EQ(enc::getText(field.data(), 12), "ABC");
    // The header's next field starts 13 bytes in, whatever the length byte said.
    HeaderRecord::Bytes bytes {};
    bytes[0] = 20;
    enc::putLong(bytes.data() + HeaderRecord::kSizeOffset, 0x01020304);
    EXPECT_EQ(HeaderRecord::decode(bytes).size(), 0x01020304);

    // Writing pads with zeros and never spills into the next field.
    field.fill(0xEE);
    EXPECT_TRUE(enc::putText(field.data(), 12, "ab"));
    EXPECT_EQ(field[0], 2);
    EXPECT_EQ(field[1], 'a');
    for (size_t i = 3; i < 13; ++i)
        EXPECT_EQ(field[i], 0);
    EXPECT_EQ(field[13], 0xEE);
    EXPECT_FALSE(enc::putText(field.data(), 12, "0123456789ABCDEF"));
    EXPECT_EQ(field[0], 12);
    EXPECT_EQ(field[13], 0xEE);
}

// Only the ASCII capitals after the first character are lowered; the letters' neighbours and
// the code page's upper half (its own capitals among them) stay as stored.
TEST(TextEncoding, CapitalisingLowersOnlyAsciiCapitalsAfterTheFirst)
{
    const std::pair<std::string, std::string> cases[] = {
        { "", "" },
        { "Z", "Z" },
        { "ABOUT.ZIP", "About.zip" },
        { "x@AZ[`az{", "x@az[`az{" },
        { "\xC0\xC1\xDA\x80\xFF-A", "\xC0\xC1\xDA\x80\xFF-a" },
        { "A LONG NAME OF THIRTY-TWO LETTERS OR MORE", "A long name of thirty-two letters or more" },
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(text::capitalise(in), out) << in;
}

TEST(DateDecoding, ShowsDayMonthYearOrInvalid)
{
    const std::pair<uint32_t, const char*> cases[] = { { 18u << 25 | 11u << 21 | 5u << 16, "05-11-1998" },
        { 18u << 25 | 11u << 21 | 5u << 16 | 0xBEEF, "05-11-1998" }, { 18u << 25 | 11u << 21, "Invalid" },
        { 0, "Invalid" }, { 127u << 25 | 15u << 21 | 31u << 16, "31-15-2107" }, { 0xFFFFFFFFu, "31-15-2107" },
        { 1u << 16, "01-00-1980" } };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(enc::dateText(int32_t(value)), text) << value;
}

TEST(DateEncoding, PlacesFieldsAndClampsYearsOutsideTheRange)
{
    EXPECT_EQ(uint32_t(enc::encodeDate({ 1998, 11, 5 })), 18u << 25 | 11u << 21 | 5u << 16);
    EXPECT_EQ(uint32_t(enc::encodeDate({ 2110, 3, 1 })), 3u << 21 | 1u << 16);
    EXPECT_EQ(uint32_t(enc::encodeDate({ 1979, 12, 31 })), 12u << 21 | 31u << 16);
    EXPECT_EQ(enc::decodeDate(enc::encodeDate({ 2107, 12, 31 })), (enc::CalendarDate { 2107, 12, 31 }));
    EXPECT_EQ(enc::dateText(enc::encodeDate({ 2024, 2, 29 })), "29-02-2024");
}

// The board's keyword search: register 0xFFFFFFFF, the reflected CRC-32 table, no final
// inversion, over the searched word in upper case.
int32_t boardChecksum(std::string_view word)
{
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int b = 0; b < 8; ++b)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    uint32_t reg = 0xFFFFFFFFu;
    for (char ch : word) {
        const uint8_t up = ch >= 'a' && ch <= 'z' ? uint8_t(ch - 32) : uint8_t(ch);
        reg = (reg >> 8) ^ table[(reg ^ up) & 0xFF];
    }
    return int32_t(reg);
}

TEST(KeywordChecksum, EqualsTheBoardsChecksumOfTheSearchedWord)
{
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>("ABC"), 3));
    EXPECT_EQ(keywordChecksum(" Abc "), int32_t(~crc));
    EXPECT_EQ(keywordChecksum("abc"), int32_t(0x5C7CFCB7u));
    for (std::string_view word : { "abc", "ABC", "Release", "x-y_z 1.5", "\xe9t\xe9" })
        EXPECT_EQ(keywordChecksum(word), boardChecksum(word)) << word;
    EXPECT_EQ(keywordChecksum(""), -1);
    EXPECT_EQ(keywordChecksum("   "), -1);
    EXPECT_NE(keywordChecksum("a bc"), keywordChecksum("abc"));
}

TEST(KeywordChecksum, StoringAKeywordTrimsItAndSetsItsChecksum)
{
    HeaderRecord h;
    IndexRecord x;
    ASSERT_TRUE(storeKeyword(h, x, 2, "  games "));
    EXPECT_EQ(h.keyword(2), "games");
    EXPECT_EQ(x.keywordChecksum(2), boardChecksum("GAMES"));
    ASSERT_TRUE(storeKeyword(h, x, 4, "   "));
    EXPECT_EQ(h.keyword(4), "");
    EXPECT_EQ(x.keywordChecksum(4), -1);
    // Fifteen characters fit once trimmed; sixteen and a sixth keyword do not, and change nothing.
    ASSERT_TRUE(storeKeyword(h, x, 0, " 123456789012345 "));
    EXPECT_EQ(h.keyword(0), "123456789012345");
    const HeaderRecord before = h;
    const IndexRecord beforeIndex = x;
    EXPECT_FALSE(storeKeyword(h, x, 1, "1234567890123456"));
    EXPECT_FALSE(storeKeyword(h, x, 5, "x"));
    EXPECT_EQ(h, before);
    EXPECT_EQ(x, beforeIndex);
}

// Every byte of a record survives decode and encode, and each setter touches only its field.
TEST(Records, RoundTripEveryByteAndSettersStayInTheirField)
{
    std::mt19937 rng(7);
    HeaderRecord::Bytes raw;
    for (auto& b : raw)
        b = uint8_t(rng());
    HeaderRecord h = HeaderRecord::decode(raw);
    EXPECT_EQ(h.encode(), raw);
    EXPECT_TRUE(std::equal(h.freeBytes().begin(), h.freeBytes().end(), raw.begin() + 178));
    EXPECT_EQ(h.longNamePointer(), enc::getLong(raw.data() + 174));

    struct Edit {
        size_t offset, size;
        void (*apply)(HeaderRecord&);
    };
    const Edit edits[] = {
        { 0, 13, [](HeaderRecord& r) { r.setName("X.ZIP"); } },
        { 13, 4, [](HeaderRecord& r) { r.setSize(5); } },
        { 17, 4, [](HeaderRecord& r) { r.setChecksum(5); } },
        { 21, 36, [](HeaderRecord& r) { r.setUploader("Sysop"); } },
        { 57, 4, [](HeaderRecord& r) { r.setUploadDate(1); } },
        { 61, 4, [](HeaderRecord& r) { r.setFileDate(1); } },
        { 65, 4, [](HeaderRecord& r) { r.setLastDownloadDate(1); } },
        { 69, 2, [](HeaderRecord& r) { r.setDownloads(64000); } },
        { 71, 1, [](HeaderRecord& r) { r.setAttributes(0x41); } },
        { 72, 16, [](HeaderRecord& r) { r.setPassword("pw"); } },
        { 88 + 3 * 16, 16, [](HeaderRecord& r) { r.setKeyword(3, "kw"); } },
        { 168, 2, [](HeaderRecord& r) { r.setCost(40000); } },
        { 170, 4, [](HeaderRecord& r) { r.setDescriptionPointer(-1); } },
        { 174, 4, [](HeaderRecord& r) { r.setLongNamePointer(1234); } },
    };
    for (const Edit& e : edits) {
        HeaderRecord r = HeaderRecord::decode(raw);
        e.apply(r);
        for (size_t i = 0; i < HeaderRecord::kSize; ++i) {
            if (i < e.offset || i >= e.offset + e.size) {
                ASSERT_EQ(r.encode()[i], raw[i]) << "edit at " << e.offset << " touched byte " << i;
            }
        }
    }

    // 64000 set here is 00 FA for the board.
    HeaderRecord counted;
    ASSERT_TRUE(counted.setDownloads(64000));
    EXPECT_EQ(enc::getWord(counted.encode().data() + HeaderRecord::kDownloadsOffset), 64000);

    IndexRecord::Bytes idxRaw;
    for (auto& b : idxRaw)
        b = uint8_t(rng());
    IndexRecord idx = IndexRecord::decode(idxRaw);
    EXPECT_EQ(idx.encode(), idxRaw);
    idx.setKeywordChecksum(4, -1);
    EXPECT_TRUE(std::equal(idxRaw.begin(), idxRaw.begin() + 33, idx.encode().begin()));
    EXPECT_TRUE(std::equal(idxRaw.begin() + 37, idxRaw.end(), idx.encode().begin() + 37));
    EXPECT_EQ(idx.keywordChecksum(4), -1);

    // Keyword numbers past the fifth must not reach the cost, pointer or reserved bytes.
    HeaderRecord guarded = HeaderRecord::decode(raw);
    EXPECT_EQ(guarded.keyword(5), "");
    EXPECT_FALSE(guarded.setKeyword(6, "x"));
    EXPECT_EQ(guarded.encode(), raw);
    IndexRecord idxGuarded = IndexRecord::decode(idxRaw);
    idxGuarded.setKeywordChecksum(5, 1);
    EXPECT_EQ(idxGuarded.encode(), idxRaw);
    EXPECT_EQ(idxGuarded.keywordChecksum(9), 0);

    LongNameRecord::Bytes lfnRaw;
    for (auto& b : lfnRaw)
        b = uint8_t(rng());
    EXPECT_EQ(LongNameRecord::decode(lfnRaw).encode(), lfnRaw);
}

TEST(Records, FieldsReadAtTheirOffsets)
{
    HeaderRecord::Bytes raw {};
    raw[0] = 5;
    std::copy_n("A.ZIP", 5, raw.begin() + 1);
    raw[69] = 0xFF;
    raw[70] = 0xFF;
    raw[71] = 0x21;
    enc::putLong(raw.data() + 170, 1234);
    const HeaderRecord h = HeaderRecord::decode(raw);
    EXPECT_EQ(h.name(), "A.ZIP");
    EXPECT_EQ(h.downloads(), 65535);
    EXPECT_TRUE(h.hasAttribute(Attribute::Deleted));
    EXPECT_TRUE(h.hasAttribute(Attribute::MissingOffline));
    EXPECT_FALSE(h.hasAttribute(Attribute::Locked));
    EXPECT_EQ(h.descriptionPointer(), 1234);
    EXPECT_FALSE(h.isComment());
    HeaderRecord blank;
    blank.setName("   ");
    EXPECT_TRUE(blank.isComment());
}

} // namespace
} // namespace qv
