// Changes resting on rows the user saw refuse to act on rows that another program moved, and
// are not put off by the board counting downloads of other entries.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <functional>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;

// What happens behind the window's back between load and change.
enum class Meanwhile { Nothing, CommentInFront, BumpOther, BumpShown };

void makeArea(BoardBuilder& board)
{
    board.writeEntries(1,
        { Entry { .name = "A.ZIP", .description = "a" }, Entry { .name = "", .description = "" },
            Entry { .name = "B.ZIP", .description = "b" }, Entry { .name = "C.ZIP", .description = "c" } });
    board.writeEntries(
        2, { Entry { .name = "X.ZIP", .description = "x" }, Entry { .name = "Y.ZIP", .description = "y" } });
}

// What the other program does, by bytes: a comment line inserted before everything, or a
// download counted in place.
void happen(const BoardBuilder& board, int area, Meanwhile what, uint64_t shown)
{
    auto hdr = test::readFile(board.headerPath(area));
    auto idx = test::readFile(board.indexPath(area));
    switch (what) {
    case Meanwhile::Nothing:
        return;
    case Meanwhile::CommentInFront:
        hdr.insert(hdr.begin(), HeaderRecord::kSize, 0);
        idx.insert(idx.begin(), IndexRecord::kSize, 0);
        test::writeFile(board.indexPath(area), idx);
        break;
    case Meanwhile::BumpOther:
    case Meanwhile::BumpShown: {
        const uint64_t at = what == Meanwhile::BumpShown ? shown : (shown == 0 ? 1 : 0);
        hdr[at * HeaderRecord::kSize + HeaderRecord::kDownloadsOffset] += 1;
        break;
    }
    }
    test::writeFile(board.headerPath(area), hdr);
}

struct Case {
    const char* label;
    int area; // the area whose rows are shown
    uint64_t shown; // the row the command acts on
    bool patch; // an in-place change: the shown row's own count counts
    std::function<Result<void>(AreaStore&, std::span<const RowIdentity>)> run;
};

const Case kCases[] = {
    { "patchRecord", 1, 2, true,
        [](AreaStore& s, auto ids) {
            const uint8_t seven[2] = { 7, 0 };
            return s.patchRecord(1, AreaFileKind::Header, 2, HeaderRecord::kDownloadsOffset, seven, ids);
        } },
    { "patchRecords", 1, 2, true,
        [](AreaStore& s, auto ids) -> Result<void> {
            auto r = s.patchRecords(1, { "new" },
                { FieldPatch { AreaFileKind::Header, 2, HeaderRecord::kCostOffset, { 5, 0 }, std::nullopt } }, ids);
            return r ? Result<void>() : Result<void>(r.error());
        } },
    { "setDescriptions", 1, 2, true,
        [](AreaStore& s, auto ids) -> Result<void> {
            auto r = s.setDescriptions(1, { { 2, "a longer text than before" } }, ids);
            return r ? Result<void>() : Result<void>(r.error());
        } },
    { "rewrite", 1, 2, false,
        [](AreaStore& s, auto ids) { return s.rewrite(1, RewritePlan::removal(4, { 2 }), ids); } },
    { "insertEntries", 1, 2, false,
        [](AreaStore& s, auto ids) {
            std::vector<NewEntry> e;
            e.push_back(test::newEntry("N.ZIP"));
            return s.insertEntries(1, 2, std::move(e), { "n" }, ids);
        } },
    { "takeEntries from", 2, 1, false, [](AreaStore& s, auto ids) { return s.takeEntries(1, 0, 2, { 1 }, ids); } },
    { "takeEntries here", 1, 2, false, [](AreaStore& s, auto ids) { return s.takeEntries(1, 2, 2, { 0 }, {}, ids); } },
};

TEST(RowIdentity, ChangesActOnlyOnTheRowsShown)
{
    for (const Case& c : kCases)
        for (Meanwhile what :
            { Meanwhile::Nothing, Meanwhile::CommentInFront, Meanwhile::BumpOther, Meanwhile::BumpShown }) {
            SCOPED_TRACE(std::string(c.label) + " meanwhile " + std::to_string(int(what)));
            test::TempDir tmp;
            BoardBuilder board(tmp.path());
            makeArea(board);
            AreaStore store(systemFileIo(), board.fileBaseDir());
            const auto loaded = store.load(c.area, false);
            ASSERT_FALSE(loaded.error);
            const RowIdentity shown = identityOf(loaded.rows[c.shown], c.shown);
            happen(board, c.area, what, c.shown);
            const auto before = test::areaBytes(board, 1);
            const auto done = c.run(store, std::span(&shown, 1));
            const bool refused = what == Meanwhile::CommentInFront || (what == Meanwhile::BumpShown && c.patch);
            if (refused) {
                ASSERT_FALSE(done);
                EXPECT_EQ(done.error().code, kRowsChanged);
                EXPECT_EQ(done.error().message,
                    "The entries of area " + std::to_string(c.area)
                        + " were changed by another program since they were shown; nothing was changed. The list has "
                          "been read again.");
                EXPECT_EQ(test::areaBytes(board, 1), before);
            } else {
                ASSERT_TRUE(done) << done.error().message;
            }
            EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string> {});
        }
}

// A change resting on thousands of rows (a global description) compares every one, in any
// order: a count bumped far in, or the last record cut off, refuses it.
TEST(RowIdentity, ManyRowsAreAllCompared)
{
    constexpr uint64_t kRows = 6000; // more than one window of records read at once
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    std::vector<Entry> entries(kRows);
    for (uint64_t i = 0; i < kRows; ++i)
        entries[i].name = "F" + std::to_string(i) + ".ZIP";
    board.writeEntries(1, entries);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    const auto rows = store.load(1, false).rows;
    std::vector<RowIdentity> ordered;
    for (uint64_t i = 0; i < kRows; ++i)
        ordered.push_back(identityOf(rows[i], i));
    const std::vector<RowIdentity> reversed(ordered.rbegin(), ordered.rend());
    const auto original = test::readFile(board.headerPath(1));
    for (const bool inOrder : { true, false })
        for (const char* meanwhile : { "nothing", "bumped", "cut" }) {
            SCOPED_TRACE(std::string(inOrder ? "in order, " : "reversed, ") + meanwhile);
            auto hdr = original;
            if (meanwhile == std::string("bumped"))
                hdr[5500 * HeaderRecord::kSize + HeaderRecord::kDownloadsOffset] += 1;
            if (meanwhile == std::string("cut"))
                hdr.resize(hdr.size() - HeaderRecord::kSize);
            test::writeFile(board.headerPath(1), hdr);
            auto done = store.patchRecords(1, {},
                { FieldPatch { AreaFileKind::Header, 0, HeaderRecord::kCostOffset, { 5, 0 }, std::nullopt } },
                inOrder ? ordered : reversed);
            if (meanwhile == std::string("nothing")) {
                EXPECT_TRUE(done);
                continue;
            }
            ASSERT_FALSE(done);
            EXPECT_EQ(done.error().code, kRowsChanged);
            EXPECT_EQ(test::readFile(board.headerPath(1)), hdr);
        }
}

TEST(RowIdentity, LocateFindsRecordsWhereverTheyMoved)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    makeArea(board);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    const auto rows = store.load(1, false).rows;
    std::vector<std::array<uint8_t, HeaderRecord::kSize>> held { rows[3].record, rows[1].record, rows[0].record };
    happen(board, 1, Meanwhile::BumpOther, 1); // A.ZIP's count, which is left out
    // A copy of the comment line in front: the held one is ambiguous.
    auto hdr = test::readFile(board.headerPath(1));
    hdr.insert(hdr.begin(), rows[1].record.begin(), rows[1].record.end());
    test::writeFile(board.headerPath(1), hdr);
    auto found = store.locate(1, held);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->positions, (std::vector<uint64_t> { 4 }));
    EXPECT_EQ(found->ambiguous, 1u);
    EXPECT_FALSE(found->missing);

    held.erase(held.begin() + 1);
    found = store.locate(1, held);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->positions, (std::vector<uint64_t> { 4, 1 }));
    EXPECT_FALSE(found->missing || found->ambiguous);

    held[1][HeaderRecord::kSizeOffset] ^= 1;
    found = store.locate(1, held);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->missing, 1u);
}

} // namespace
} // namespace qv
