// Several insertions, or several new descriptions, commit as one change: after any failing call
// and after a kill at any step the area holds the old files or the new ones, never a mixture.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;
using test::FaultyFileIo;

using Snapshot = test::AreaBytes;

Snapshot snapshot(const BoardBuilder& board)
{
    return test::areaBytes(board, 1);
}

void makeBoard(BoardBuilder& board)
{
    board.writeEntries(1,
        { Entry { .name = "FOO.ZIP", .description = "a long old text" }, Entry { .name = "", .description = "comment" },
            Entry { .name = "BAR.ARJ", .description = "bar" },
            Entry { .name = "NONE.ZIP", .description = std::nullopt } });
}

Result<void> insertTwo(AreaStore& s)
{
    return s.insertEntries(
        1, 1, { test::newEntry("FIRSTF~1.ZIP", "First file.zip"), test::newEntry("B.ZIP") }, { "text a", "" });
}

Result<void> describeThree(AreaStore& s)
{
    auto r = s.setDescriptions(1, { { 0, "short" }, { 2, "longer than bar" }, { 3, "new" } });
    return r ? Result<void>() : Result<void>(r.error());
}

int32_t pointerAt(const std::vector<uint8_t>& file, size_t recordSize, size_t offset, size_t record)
{
    return enc::getLong(file.data() + record * recordSize + offset);
}

TEST(AreaStoreBatch, InsertedEntriesLandTogetherWithTheirTextsAppendedInOrder)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    makeBoard(board);
    const Snapshot before = snapshot(board);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    ASSERT_TRUE(insertTwo(store));
    const Snapshot after = snapshot(board);
    ASSERT_EQ(after.hdr.size(), 6 * HeaderRecord::kSize);
    ASSERT_EQ(after.idx.size(), 6 * IndexRecord::kSize);
    ASSERT_EQ(after.lfn.size(), 6 * LongNameRecord::kSize);
    // The old first record, then the two new ones, then the rest, byte for byte.
    EXPECT_TRUE(std::equal(before.hdr.begin(), before.hdr.begin() + 194, after.hdr.begin()));
    EXPECT_TRUE(std::equal(before.hdr.begin() + 194, before.hdr.end(), after.hdr.begin() + 3 * 194));
    EXPECT_TRUE(std::equal(before.idx.begin() + 41, before.idx.end(), after.idx.begin() + 3 * 41));
    // The texts, the second one empty, then the long name for the board's pointer at 174.
    std::vector<uint8_t> txt = before.txt;
    for (char c : std::string("text a") + '\0' + '\0' + "First file.zip" + '\0')
        txt.push_back(uint8_t(c));
    EXPECT_EQ(after.txt, txt);
    const auto base = int32_t(before.txt.size());
    EXPECT_EQ(pointerAt(after.hdr, 194, HeaderRecord::kLongNamePointerOffset, 1), base + 8);
    EXPECT_EQ(pointerAt(after.hdr, 194, HeaderRecord::kLongNamePointerOffset, 2), 0);
    EXPECT_EQ(pointerAt(after.hdr, 194, 170, 1), base);
    EXPECT_EQ(pointerAt(after.idx, 41, 37, 1), base);
    EXPECT_EQ(pointerAt(after.hdr, 194, 170, 2), base + 7);
    EXPECT_EQ(pointerAt(after.idx, 41, 37, 2), base + 7);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.hdr.data() + 194 + 1), after.hdr[194]), "FIRSTF~1.ZIP");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.lfn.data() + 256 + 1), after.lfn[256]), "First file.zip");
    EXPECT_EQ(after.lfn[512], 0);
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1).empty());
}

TEST(AreaStoreBatch, DescriptionsGoInPlaceOnlyWhenTheOldTextIsLongEnoughAndUnshared)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    makeBoard(board);
    const Snapshot before = snapshot(board);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    auto r = store.setDescriptions(1, { { 0, "short" }, { 2, "longer than bar" }, { 3, "new" } });
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, std::vector<bool>({ true, false, false }));
    const Snapshot after = snapshot(board);
    EXPECT_EQ(after.hdr.size(), before.hdr.size());
    // "short" and its zero byte over "a long old text"; the rest of the old text stays behind.
    std::vector<uint8_t> txt = before.txt;
    const std::string s = "short";
    std::copy(s.begin(), s.end(), txt.begin());
    txt[5] = 0;
    const auto base = int32_t(txt.size());
    for (const std::string t : { "longer than bar", "new" }) {
        txt.insert(txt.end(), t.begin(), t.end());
        txt.push_back(0);
    }
    EXPECT_EQ(after.txt, txt);
    EXPECT_EQ(pointerAt(after.hdr, 194, 170, 0), 0);
    EXPECT_EQ(pointerAt(after.hdr, 194, 170, 2), base);
    EXPECT_EQ(pointerAt(after.idx, 41, 37, 2), base);
    EXPECT_EQ(pointerAt(after.hdr, 194, 170, 3), base + 16);
    EXPECT_EQ(pointerAt(after.idx, 41, 37, 3), base + 16);
    EXPECT_EQ(store.readDescription(1, 0), "short");
    EXPECT_EQ(store.readDescription(1, 3), "new");

    // Two entries sharing one text: neither is written over.
    HeaderRecord h = *store.readHeader(1, 0);
    h.setDescriptionPointer(pointerAt(after.hdr, 194, 170, 2));
    std::array<uint8_t, 4> pointer {};
    enc::putLong(pointer.data(), h.descriptionPointer());
    ASSERT_TRUE(store.patchRecord(1, AreaFileKind::Header, 0, HeaderRecord::kDescriptionPointerOffset, pointer));
    auto shared = store.setDescriptions(1, { { 2, "x" } });
    ASSERT_TRUE(shared);
    EXPECT_EQ(*shared, std::vector<bool>({ false }));
    EXPECT_EQ(store.readDescription(1, 0), "longer than bar");
    EXPECT_EQ(store.readDescription(1, 2), "x");
    EXPECT_FALSE(store.setDescriptions(1, { { 4, "past the end" } }));
}

// An index the board left short or deleted does not block new descriptions: the header records
// get them, and the index records that exist keep in step.
TEST(AreaStoreBatch, DescriptionsReachEntriesTheIndexLacks)
{
    for (const size_t indexRecords : { size_t(0), size_t(1), size_t(3), size_t(4) }) {
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        makeBoard(board);
        if (indexRecords == 0)
            std::filesystem::remove(board.indexPath(1));
        else
            std::filesystem::resize_file(board.indexPath(1), indexRecords * IndexRecord::kSize);
        const Snapshot before = snapshot(board);
        AreaStore store(systemFileIo(), board.fileBaseDir());
        auto r = store.setDescriptions(1, { { 0, "longer than a long old text" }, { 3, "new" } });
        ASSERT_TRUE(r) << indexRecords << ": " << r.error().message;
        const Snapshot after = snapshot(board);
        const auto base = int32_t(before.txt.size());
        EXPECT_EQ(pointerAt(after.hdr, 194, 170, 0), base) << indexRecords;
        EXPECT_EQ(pointerAt(after.hdr, 194, 170, 3), base + 28) << indexRecords;
        EXPECT_EQ(after.idx.size(), before.idx.size()) << indexRecords;
        if (indexRecords > 0) {
            EXPECT_EQ(pointerAt(after.idx, 41, 37, 0), base) << indexRecords;
        }
        if (indexRecords > 3) {
            EXPECT_EQ(pointerAt(after.idx, 41, 37, 3), base + 28) << indexRecords;
        }
        EXPECT_EQ(store.readDescription(1, 3), "new") << indexRecords;
    }
}

// Killed while the intent note was being replaced by the commit note, the appended texts stay
// behind unused: the description file only grows, and no record points at them.
void expectOldOrNew(BoardBuilder& board, const Snapshot& before, const Snapshot& after, const std::string& where)
{
    AreaStore clean(systemFileIo(), board.fileBaseDir());
    EXPECT_FALSE(clean.load(1, true).error) << where;
    const Snapshot now = snapshot(board);
    const bool oldText
        = now.txt.size() >= before.txt.size() && std::equal(before.txt.begin(), before.txt.end(), now.txt.begin());
    EXPECT_TRUE((now.sameRecords(before) && oldText) || now == after) << where << ": neither the old nor the new files";
    EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>()) << where;
}

TEST(AreaStoreBatch, EveryFailureOrKillLeavesTheOldOrTheNewFiles)
{
    const std::pair<const char*, Result<void> (*)(AreaStore&)> operations[]
        = { { "insert two entries", insertTwo }, { "three new descriptions", describeThree } };
    for (const auto& [label, run] : operations)
        test::sweepChange({ .label = label,
            .make = makeBoard,
            .run =
                [&](FileIo& io, BoardBuilder& b) {
                    AreaStore store(io, b.fileBaseDir());
                    return bool(run(store));
                },
            .check = expectOldOrNew,
            .torn = { false, true },
            .limit = 200 });
}

} // namespace
} // namespace qv
