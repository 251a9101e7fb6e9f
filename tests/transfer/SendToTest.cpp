// A file sent to an area: copied or moved into its directory and added behind the last entry.

#include "tests/transfer/TransferTestBoard.h"
#include "transfer/SendTo.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Entry;
using test::TransferTestBoard;

TEST(SendTo, CopyOrMoveAddsTheFileAsTheLastEntryAndAMoveDeletesTheOriginalOnlyAfterwards)
{
    for (bool move : { false, true }) {
        TransferTestBoard t;
        t.builder.writeEntries(2, { Entry { .name = "B1.ZIP" } });
        const std::string original = t.tmp.path() + "/Download.Zip";
        test::writeFile(original, "payload");
        auto board = t.open();
        auto outcome = SendTo::run(*board, { 2, QString::fromStdString(original), move, "Sysop", true }, nullptr);
        ASSERT_TRUE(outcome.added) << (outcome.error ? outcome.error->message : "");
        EXPECT_EQ(test::readFile(t.file(2, "Download.Zip")), test::bytesOf("payload"));
        EXPECT_EQ(test::fileExists(original), !move);
        const auto rows = board->store().load(2, true).rows;
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1].name, "Download.zip");
        EXPECT_EQ(rows[1].size, 7);
    }
}

// A file already in the area's directory is added and kept; a copy that fails adds nothing and
// keeps the original.
TEST(SendTo, AFileAlreadyThereIsKeptAndAFailedCopyAddsNothing)
{
    TransferTestBoard t;
    t.builder.writeAreas({ { "Alpha", "C:\\FILES\\A", 1 }, { "Lost", "D:\\NOWHERE", 1 } });
    t.builder.writeEntries(1, {});
    t.builder.writeEntries(2, {});
    t.putFile(1, "HERE.ZIP", "here");
    const std::string original = t.tmp.path() + "/x.zip";
    test::writeFile(original, "x");
    auto board = t.open();
    auto here = SendTo::run(*board, { 1, QString::fromStdString(t.file(1, "HERE.ZIP")), true, "Sysop", true }, nullptr);
    ASSERT_TRUE(here.added);
    EXPECT_EQ(here.copy.status, FileCopier::Status::SameFile);
    EXPECT_EQ(test::readFile(t.file(1, "HERE.ZIP")), test::bytesOf("here"));
    EXPECT_EQ(board->store().count(1).value(), 1u);
    auto failed = SendTo::run(*board, { 2, QString::fromStdString(original), true, "Sysop", true }, nullptr);
    EXPECT_FALSE(failed.added);
    EXPECT_TRUE(failed.copy.pathNotFound);
    EXPECT_TRUE(test::fileExists(original));
    EXPECT_EQ(board->store().count(2).value(), 0u);
}

} // namespace
} // namespace qv
