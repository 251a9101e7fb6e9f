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

TEST(DescriptionRead, StopsAtZeroEndOfFileOrLimit)
{
    const std::string two("first\0second\r\nline\0", 19);
    const std::string big = std::string(10000, 'x') + std::string(1, '\0') + "tail";
    const size_t all = kDescriptionReadLimit;
    const DescriptionCase cases[] = {
        { "first", two, 0, all, "first", 6 },
        { "second keeps its line break", two, 6, all, "second\r\nline", 13 },
        { "into the middle", two, 8, all, "cond\r\nline", 11 },
        { "at a zero byte", two, 5, all, "", 1 },
        { "negative", two, -1, all, "", 0 },
        { "very negative", two, INT32_MIN, all, "", 0 },
        { "at end of file", two, 19, all, "", 0 },
        { "past end of file", two, 1 << 30, all, "", 0 },
        { "last text lacks its zero", std::string("a\0bcd", 5), 2, all, "bcd", 0 },
        { "across chunks", big, 0, all, std::string(10000, 'x'), 10001 },
        { "limit cuts", big, 0, 100, std::string(100, 'x'), 0 },
        { "text exactly at the limit", big, 0, 10000, std::string(10000, 'x'), 10001 },
        { "limit one short", big, 0, 9999, std::string(9999, 'x'), 0 },
        { "empty file", "", 0, all, "", 0 },
        { "eight-bit bytes", std::string("\xC9\xCD\xBB\0", 4), 0, all, "\xC9\xCD\xBB", 4 },
    };
    test::TempDir tmp;
    const std::string path = tmp.path() + "/fdb1.txt";
    for (const DescriptionCase& c : cases) {
        test::writeFile(path, c.file);
        EXPECT_EQ(readDescription(systemFileIo(), path, c.pointer, c.limit), c.text) << c.label;
        EXPECT_EQ(storedDescriptionLength(systemFileIo(), path, c.pointer, c.limit), c.storedLength) << c.label;
    }
}

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
