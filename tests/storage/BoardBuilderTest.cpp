#include "tests/support/BoardBuilder.h"

#include "storage/Encoding.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

// Other suites trust these bytes, so the builder itself is checked against the raw layout.
TEST(BoardBuilderTest, WritesRecordsAtTheirOffsets)
{
    TempDir tmp;
    BoardBuilder board(tmp.path());
    const auto config = readFile(board.writeConfig("Board", "C:\\FDB\\"));
    ASSERT_GE(config.size(), 3097u);
    EXPECT_EQ(config[1258], 5);
    EXPECT_EQ(std::string(config.begin() + 1259, config.begin() + 1264), "Board");
    EXPECT_EQ(config[3089], 7);
    EXPECT_EQ(std::string(config.begin() + 3090, config.begin() + 3097), "C:\\FDB\\");

    const auto areas = readFile(board.writeAreas({ { "Up", "/p", 32768, { { 167, 0xAB } } }, { "" } }));
    ASSERT_EQ(areas.size(), 336u);
    EXPECT_EQ(enc::getText(areas.data() + 4, 40), "Up");
    EXPECT_EQ(enc::getText(areas.data() + 46, 40), "/p");
    EXPECT_EQ(areas[111], 0x00);
    EXPECT_EQ(areas[112], 0x80);
    EXPECT_EQ(areas[167], 0xAB);

    EXPECT_EQ(readFile(board.writeFilesRdx({ 3, 65534 })), (std::vector<uint8_t> { 3, 0, 0xFE, 0xFF }));

    const AreaFiles files = board.writeEntries(
        4, { { .name = "a.zip", .description = "xy" }, { .name = "", .description = std::nullopt } });
    const auto txt = readFile(board.descriptionPath(4));
    EXPECT_EQ(txt, (std::vector<uint8_t> { 'x', 'y', 0 }));
    EXPECT_EQ(files.headers[1].descriptionPointer(), -1);
    EXPECT_EQ(files.indexes[0].name(), "A.ZIP");
    EXPECT_EQ(readFile(board.headerPath(4)).size(), 2 * HeaderRecord::kSize);
    EXPECT_EQ(readFile(board.longNamePath(4)).size(), 2 * LongNameRecord::kSize);
    board.setUpperCaseAreaFiles(true);
    EXPECT_EQ(board.headerPath(12), board.fileBaseDir() + "/HDR/FDB12.HDR");
}

} // namespace
} // namespace qv::test
