#include "storage/Description.h"
#include "storage/MemoryFileIo.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultyFileIo.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

struct DescriptionCase {
    const char* label;
    std::string file;
    int32_t pointer;
    size_t limit;
    std::string text;
    size_t storedLength;
};

class DescriptionRead : public testing::TestWithParam<DescriptionCase> { };

TEST_P(DescriptionRead, StopsAtZeroEndOfFileOrLimit)
{
    const DescriptionCase& c = GetParam();
    test::TempDir tmp;
    const std::string path = tmp.path() + "/fdb1.txt";
    test::writeFile(path, c.file);
    EXPECT_EQ(readDescription(systemFileIo(), path, c.pointer, c.limit), c.text);
    EXPECT_EQ(storedDescriptionLength(systemFileIo(), path, c.pointer, c.limit), c.storedLength);
}

const std::string kTwo("first\0second\r\nline\0", 19);
const std::string kLong = std::string(10000, 'x') + std::string(1, '\0') + "tail";

INSTANTIATE_TEST_SUITE_P(Cases, DescriptionRead,
    testing::Values(DescriptionCase { "first", kTwo, 0, kDescriptionReadLimit, "first", 6 },
        DescriptionCase { "second keeps its line break", kTwo, 6, kDescriptionReadLimit, "second\r\nline", 13 },
        DescriptionCase { "into the middle", kTwo, 8, kDescriptionReadLimit, "cond\r\nline", 11 },
        DescriptionCase { "at a zero byte", kTwo, 5, kDescriptionReadLimit, "", 1 },
        DescriptionCase { "negative", kTwo, -1, kDescriptionReadLimit, "", 0 },
        DescriptionCase { "very negative", kTwo, INT32_MIN, kDescriptionReadLimit, "", 0 },
        DescriptionCase { "at end of file", kTwo, 19, kDescriptionReadLimit, "", 0 },
        DescriptionCase { "past end of file", kTwo, 1 << 30, kDescriptionReadLimit, "", 0 },
        DescriptionCase { "last text lacks its zero", std::string("a\0bcd", 5), 2, kDescriptionReadLimit, "bcd", 0 },
        DescriptionCase { "across chunks", kLong, 0, kDescriptionReadLimit, std::string(10000, 'x'), 10001 },
        DescriptionCase { "limit cuts", kLong, 0, 100, std::string(100, 'x'), 0 },
        DescriptionCase { "text exactly at the limit", kLong, 0, 10000, std::string(10000, 'x'), 10001 },
        DescriptionCase { "limit one short", kLong, 0, 9999, std::string(9999, 'x'), 0 },
        DescriptionCase { "empty file", "", 0, kDescriptionReadLimit, "", 0 },
        DescriptionCase {
            "eight-bit bytes", std::string("\xC9\xCD\xBB\0", 4), 0, kDescriptionReadLimit, "\xC9\xCD\xBB", 4 }),
    [](const auto& info) {
        std::string n = info.param.label;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(DescriptionReadIo, NegativePointerOpensNothingAndLongTextsReadInChunks)
{
    MemoryFileIo memory;
    test::FaultyFileIo io(memory);
    memory.setFile("/txt/fdb1.txt", std::string(50000, 'd') + std::string(1, '\0'));
    EXPECT_EQ(readDescription(io, "/txt/fdb1.txt", -5), "");
    EXPECT_EQ(io.calls(test::FaultyFileIo::Op::Open), 0);
    EXPECT_EQ(readDescription(io, "/txt/fdb1.txt", 0).size(), 50000u);
    EXPECT_EQ(io.calls(test::FaultyFileIo::Op::Open), 1);
    EXPECT_LE(io.calls(test::FaultyFileIo::Op::Read), 20);
    EXPECT_EQ(memory.openHandles(), 0u);
    EXPECT_EQ(readDescription(io, "/txt/missing.txt", 0), "");
}

} // namespace
} // namespace qv
