#include "editing/Descriptions.h"

#include "storage/AreaCheck.h"
#include "tests/editing/EditingTestBoard.h"
#include "tests/support/FaultyFileIo.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::EditingTestBoard;
using test::shownAt;
using Outcome = DescriptionsResult::Outcome;

TEST(GlobalDescription, EachEntryIsOverwrittenInPlaceOrGetsACopyOfItsOwn)
{
    EditingTestBoard t;
    // 0: 28 bytes stored, 1: 11, 2: none, 3: 8. "Same for all" is 12 bytes.
    const DescriptionsResult r
        = Descriptions(*t.board, 1).giveAll(shownAt(*t.board, 1, { 3, 0, 2, 1, 0 }), "Same for all");
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message.toStdString();
    EXPECT_EQ(r.overwritten, 1);
    EXPECT_EQ(r.appended, 3);

    auto txt = t.original.descriptions;
    const std::string text = "Same for all";
    // Entry 1: in place at 0; the bytes after its new zero byte stay, unreferenced.
    std::copy(text.begin(), text.end(), txt.begin());
    txt[12] = 0;
    for (int copy = 0; copy < 3; ++copy) {
        txt.insert(txt.end(), text.begin(), text.end());
        txt.push_back(0);
    }
    const auto after = t.bytes();
    EXPECT_EQ(after.txt, txt);
    const int32_t pointers[] = { 0, 50, 63, 76 };
    for (size_t i = 0; i < 4; ++i) {
        HeaderRecord h = test::recordAt<HeaderRecord>(after.hdr, i);
        EXPECT_EQ(h.descriptionPointer(), pointers[i]) << i;
        EXPECT_EQ(test::recordAt<IndexRecord>(after.idx, i).descriptionPointer(), pointers[i]) << i;
        h.setDescriptionPointer(t.original.headers[i].descriptionPointer());
        EXPECT_EQ(h, t.original.headers[i]) << i;
    }
    EXPECT_TRUE(AreaCheck::run(t.board->io(), t.board->store().fileBaseDir(), 1).empty());
}

TEST(GlobalDescription, AnEmptyDescriptionStillWritesOneZeroBytePerEntry)
{
    EditingTestBoard t;
    ASSERT_EQ(Descriptions(*t.board, 1).giveAll(shownAt(*t.board, 1, { 2, 3 }), "").outcome, Outcome::Written);
    auto txt = t.original.descriptions;
    txt[41] = 0; // entry 4 in place
    txt.push_back(0); // entry 3 had none
    EXPECT_EQ(t.bytes().txt, txt);
    EXPECT_EQ(t.board->store().readHeader(1, 2)->descriptionPointer(), 50);
}

// The first entry's text is 28 bytes and its zero byte; the file read for it is closed again.
TEST(Descriptions, AStoredLengthIsReadAndItsFileClosed)
{
    EditingTestBoard t;
    test::FaultyFileIo io(systemFileIo());
    EXPECT_EQ(Descriptions::storedLength(io, t.builder.descriptionPath(1), 0).value(), 29u);
    EXPECT_EQ(io.calls(test::FaultyFileIo::Op::Open), 1);
    EXPECT_EQ(io.calls(test::FaultyFileIo::Op::Close), 1);
}

TEST(Descriptions, RefusalsWriteNothing)
{
    EditingTestBoard t;
    const auto before = t.bytes();
    DescriptionsResult r = Descriptions(*t.board, 1).giveAll(shownAt(*t.board, 1, { 0, 4 }), "x");
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_TRUE(r.rowsChanged);
    r = Descriptions(*t.board, 1).giveAll(shownAt(*t.board, 1, { 0 }), QString("\u263a smile"));
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.message,
        "The character \"\u263a\" (U+263A) cannot be stored in the board's code page IBM437. Nothing was written.");
    EXPECT_EQ(Descriptions(*t.board, 1).giveAll({}, "x").outcome, Outcome::NothingToWrite);
    // A comment line's uploader the code page lacks.
    r = Descriptions(*t.board, 1).insertComment(0, "", QString("J\u00f6rg \u0141ukasz"));
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.message,
        "The character \"\u0141\" (U+0141) cannot be stored in the board's code page IBM437. Nothing was written.");
    EXPECT_EQ(t.bytes(), before);
}

TEST(CommentLine, IsInsertedAtItsPlaceWithItsOwnEmptyRecords)
{
    struct Case {
        uint64_t after;
        uint64_t expected;
    };
    for (const Case c : { Case { 1, 1 }, Case { 0, 0 }, Case { 4, 4 }, Case { 99, 4 } }) {
        EditingTestBoard t;
        const DescriptionsResult r = Descriptions(*t.board, 1).insertComment(c.after, "", "Carl");
        ASSERT_EQ(r.outcome, Outcome::Written) << r.message.toStdString();
        EXPECT_EQ(r.position, c.expected);
        EXPECT_EQ(r.row.name, " (Comment)");
        EXPECT_TRUE(r.row.comment);
        EXPECT_EQ(r.row.uploader(), "Carl");

        const auto after = t.bytes();
        EXPECT_EQ(after.txt, t.descriptionsPlus(""));
        HeaderRecord h;
        h.setUploader("Carl");
        h.setDescriptionPointer(50);
        IndexRecord x;
        x.setDescriptionPointer(50);
        const LongNameRecord noName;
        std::vector<uint8_t> hdr, idx, lfn;
        for (size_t i = 0; i <= 4; ++i) {
            const bool added = i == c.expected;
            const size_t old = i < c.expected ? i : i - 1;
            const auto& hr = added ? h.encode() : t.original.headers[old].encode();
            const auto& xr = added ? x.encode() : t.original.indexes[old].encode();
            const auto& lr = added ? noName.encode() : t.original.longNames[old].encode();
            hdr.insert(hdr.end(), hr.begin(), hr.end());
            idx.insert(idx.end(), xr.begin(), xr.end());
            lfn.insert(lfn.end(), lr.begin(), lr.end());
        }
        // Each long name stays with its own entry.
        EXPECT_EQ(after.hdr, hdr) << c.after;
        EXPECT_EQ(after.idx, idx) << c.after;
        EXPECT_EQ(after.lfn, lfn) << c.after;
    }
}

TEST(CommentLine, CarriesItsTextWithTheBoardsLineBreaks)
{
    EditingTestBoard t;
    const DescriptionsResult r = Descriptions(*t.board, 2).insertComment(0, "-- new --\nsection", "");
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message.toStdString();
    EXPECT_EQ(t.bytes(2).txt, test::bytesOf(std::string_view("-- new --\r\nsection\0", 19)));
    EXPECT_EQ(t.board->store().readDescription(2, 0), "-- new --\r\nsection");
}

} // namespace
} // namespace qv
