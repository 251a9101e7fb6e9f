// Undo and redo of the store's changes: the bytes each leaves, a refusal after another writer,
// and that a failure or a kill at any step of an undo leaves the area as the step left it or as
// it was before.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"
#include "storage/DescriptionPack.h"
#include "storage/HeaderRecord.h"
#include "storage/UndoKeeper.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;

void makeArea(BoardBuilder& b)
{
    b.writeEntries(1,
        { Entry { .name = "ZED.ZIP", .description = "last one" },
            Entry { .name = "ALPHA~1.ZIP", .description = "first", .longName = "Alpha file.zip" },
            Entry { .name = "", .description = "a comment" }, Entry { .name = "MID.ARJ", .description = "middle" } });
    test::appendText(b.descriptionPath(1), "unreferenced text"); // so a pack has something to reclaim
}

struct Change {
    const char* label;
    std::function<bool(AreaStore&)> run;
};

const std::vector<Change> kChanges = {
    { "sort (a rewrite)",
        [](AreaStore& s) {
            return s.rewrite(1, RewritePlan::permutation({ 3, 1, 0, 2 })).ok();
        } },
    { "properties (a patch of the header)",
        [](AreaStore& s) {
            const uint8_t downloads[] = { 7, 0 };
            return s.patchRecord(1, AreaFileKind::Header, 3, HeaderRecord::kDownloadsOffset, downloads).ok();
        } },
    { "descriptions, one over the old text and one appended",
        [](AreaStore& s) {
            return s.setDescriptions(1, { { 0, "short" }, { 3, "a text much longer than the old one" } }).ok();
        } },
    { "an added entry", [](AreaStore& s) { return s.insertEntry(1, 2, test::newEntry("NEW.ZIP"), "new text").ok(); } },
    { "a removal",
        [](AreaStore& s) {
            return s.rewrite(1, RewritePlan::removal(4, { 0, 2 })).ok();
        } },
    { "pack", [](AreaStore& s) { return packDescriptions(s, 1).ok(); } },
    { "two changes in one step",
        [](AreaStore& s) {
            return s.setDescriptions(1, { { 1, "one" } }).ok()
                && s.rewrite(1, RewritePlan::permutation({ 1, 0, 2, 3 })).ok()
                // Appended, so the header is patched after the rewrite copied it whole.
                && s.setDescriptions(1, { { 0, "two, longer than the text before" } }).ok();
        } },
};

// The records as they were, and the description file as it was at least up to its old length.
void expectBack(const test::AreaBytes& now, const test::AreaBytes& was, const std::string& where)
{
    EXPECT_TRUE(now.sameRecords(was)) << where;
    ASSERT_GE(now.txt.size(), was.txt.size()) << where;
    EXPECT_TRUE(std::equal(was.txt.begin(), was.txt.end(), now.txt.begin())) << where;
}

// Runs the change as one step, keeping its undo in keep, and returns what it kept.
KeptChange step(const BoardBuilder& board, const std::string& keep, const Change& c)
{
    std::filesystem::create_directories(keep);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    UndoKeeper keeper(systemFileIo(), board.fileBaseDir(), keep);
    store.setRecorder(&keeper);
    keeper.begin();
    EXPECT_TRUE(c.run(store)) << c.label;
    return keeper.end();
}

struct Fixture {
    test::TempDir tmp;
    BoardBuilder board { tmp.path() };
    std::string keep = tmp.path() + "/undo";
    Fixture() { makeArea(board); }
};

TEST(AreaStoreUndo, UndoAndRedoBringBackTheBytesOfEachChange)
{
    for (const Change& c : kChanges) {
        Fixture f;
        const auto before = test::areaBytes(f.board, 1);
        KeptChange done = step(f.board, f.keep, c);
        const auto after = test::areaBytes(f.board, 1);
        ASSERT_FALSE(after.sameRecords(before) && after.txt == before.txt) << c.label << ": nothing changed";
        ASSERT_EQ(done.areas.size(), 1u) << c.label;

        AreaStore store(systemFileIo(), f.board.fileBaseDir());
        UndoKeeper keeper(systemFileIo(), f.board.fileBaseDir(), f.keep);
        store.setRecorder(&keeper);
        keeper.begin();
        ASSERT_TRUE(store.restore(1, done.areas[0])) << c.label;
        KeptChange undone = keeper.end();
        expectBack(test::areaBytes(f.board, 1), before, std::string(c.label) + ": undo");
        EXPECT_EQ(AreaCheck::run(systemFileIo(), f.board.fileBaseDir(), 1), std::vector<std::string>()) << c.label;

        keeper.begin();
        ASSERT_EQ(undone.areas.size(), 1u) << c.label;
        ASSERT_TRUE(store.restore(1, undone.areas[0])) << c.label;
        KeptChange redone = keeper.end();
        expectBack(test::areaBytes(f.board, 1), after, std::string(c.label) + ": redo");
        // And back once more: the redo kept what it replaced as well.
        ASSERT_TRUE(store.restore(1, redone.areas[0])) << c.label;
        expectBack(test::areaBytes(f.board, 1), before, std::string(c.label) + ": second undo");
        for (const KeptChange* k : { &done, &undone, &redone })
            k->discard(systemFileIo());
        EXPECT_TRUE(std::filesystem::is_empty(f.keep)) << c.label;
    }
}

// An area that had no files yet: nothing of it was watched, and its first entry is undone all
// the same.
TEST(AreaStoreUndo, TheFirstEntryOfAnAreaWithoutFilesIsUndone)
{
    Fixture f;
    const Change first { "first entry", [](AreaStore& s) {
                            return s.insertEntry(2, 0, test::newEntry("NEW.ZIP"), "new").ok();
                        } };
    KeptChange done = step(f.board, f.keep, first);
    ASSERT_EQ(done.areas.size(), 1u);
    AreaStore store(systemFileIo(), f.board.fileBaseDir());
    ASSERT_TRUE(store.restore(2, done.areas[0]));
    EXPECT_TRUE(store.load(2, false).rows.empty());
    done.discard(systemFileIo());
}

// A long name for an entry the long-name file lacks lengthens the file: the undo gives it back
// its old length, not only its old bytes.
TEST(AreaStoreUndo, ALengthenedLongNameFileGetsItsLengthBack)
{
    Fixture f;
    auto lfn = test::readFile(f.board.longNamePath(1));
    lfn.resize(2 * LongNameRecord::kSize);
    test::writeFile(f.board.longNamePath(1), lfn);
    const Change named { "long name", [](AreaStore& s) {
                            const std::string name = "\x0cA long name";
                            return s.patchRecord(1, AreaFileKind::LongName, 3, 0,
                                        std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()))
                                .ok();
                        } };
    KeptChange done = step(f.board, f.keep, named);
    ASSERT_EQ(test::readFile(f.board.longNamePath(1)).size(), 4 * LongNameRecord::kSize);
    AreaStore store(systemFileIo(), f.board.fileBaseDir());
    ASSERT_TRUE(store.restore(1, done.areas[0]));
    EXPECT_EQ(test::readFile(f.board.longNamePath(1)), lfn);
    done.discard(systemFileIo());
}

TEST(AreaStoreUndo, AnAreaChangedSinceTheStepIsNotUndone)
{
    struct Other {
        const char* label;
        std::function<void(BoardBuilder&)> write;
    };
    const std::vector<Other> others = {
        { "a download counted",
            [](BoardBuilder& b) {
                auto hdr = test::readFile(b.headerPath(1));
                hdr[HeaderRecord::kDownloadsOffset] ^= 1;
                test::writeFile(b.headerPath(1), hdr);
            } },
        { "an upload's text appended and pointed at",
            [](BoardBuilder& b) {
                AreaStore s(systemFileIo(), b.fileBaseDir());
                ASSERT_TRUE(s.insertEntry(1, 4, test::newEntry("UPLOAD.ZIP"), "the board's"));
            } },
        { "the description file cut short",
            [](BoardBuilder& b) {
                std::filesystem::resize_file(
                    b.descriptionPath(1), std::filesystem::file_size(b.descriptionPath(1)) - 3);
            } },
    };
    for (const Other& o : others) {
        Fixture f;
        KeptChange done = step(f.board, f.keep, kChanges[0]);
        o.write(f.board);
        const auto changed = test::areaBytes(f.board, 1);
        AreaStore store(systemFileIo(), f.board.fileBaseDir());
        auto r = store.restore(1, done.areas[0]);
        ASSERT_FALSE(r) << o.label;
        EXPECT_EQ(r.error().code, kChangedSinceStep) << o.label;
        EXPECT_EQ(test::areaBytes(f.board, 1), changed) << o.label;
        EXPECT_FALSE(test::fileExists(f.board.fileBaseDir() + "/hdr/fdb1.$$$")) << o.label;
    }
}

// A failing call or a kill during an undo: the area is as the step left it, or as it was.
void expectStepOrBefore(
    BoardBuilder& b, const test::AreaBytes& before, const test::AreaBytes& after, const std::string& where)
{
    AreaStore store(systemFileIo(), b.fileBaseDir());
    ASSERT_TRUE(store.recover(1)) << where;
    const auto now = test::areaBytes(b, 1);
    if (now.sameRecords(after))
        EXPECT_EQ(now.txt, after.txt) << where;
    else
        expectBack(now, before, where);
    EXPECT_EQ(AreaCheck::run(systemFileIo(), b.fileBaseDir(), 1), std::vector<std::string>()) << where;
}

TEST(AreaStoreUndoFaults, AnUndoFailingOrKilledAtAnyStepLeavesTheStepOrTheOldFiles)
{
    // A rewrite and an in-place change: undone by replacements and by patches.
    for (const Change* c : { &kChanges[0], &kChanges[2] }) {
        std::optional<KeptChange> done;
        test::sweepChange({ .label = c->label,
            .make =
                [&](BoardBuilder& b) {
                    makeArea(b);
                    done = step(b, b.boardDir() + "/undo", *c);
                },
            .run =
                [&](FileIo& io, BoardBuilder& b) {
                    AreaStore store(io, b.fileBaseDir());
                    return store.restore(1, done->areas[0]).ok();
                },
            // Here "before" is the step's state and "after" the undone one.
            .check = [](BoardBuilder& b, const test::AreaBytes& step, const test::AreaBytes& undone,
                         const std::string& where) { expectStepOrBefore(b, undone, step, where); } });
    }
}

} // namespace
} // namespace qv
