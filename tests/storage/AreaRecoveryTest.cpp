// What the recovery of an interrupted change may and may not do to files it cannot vouch for.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <optional>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;
using test::readFile;

const std::string kMagic = "QUORVEX AREA JOURNAL 1\n";

class AreaRecoveryTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    BoardBuilder board { tmp.path() };
    AreaStore store { systemFileIo(), board.fileBaseDir() };

    std::string hdrDir() const { return board.fileBaseDir() + "/hdr/"; }
    void twoEntries()
    {
        board.writeEntries(1, { Entry { .name = "FOO.ZIP", .description = "foo" }, Entry { .name = "BAR.ZIP" } });
    }
};

bool mentions(const std::vector<std::string>& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(), [&](const auto& l) { return l.find(part) != std::string::npos; });
}

// A committed journal promises that its change will be carried out; one that cannot be read
// must not be thrown away with its temporary files, or the area keeps half a change.
TEST_F(AreaRecoveryTest, AJournalThatCannotBeReadIsKeptAndReported)
{
    const std::string journals[] = {
        kMagic + "REPLACE\t/elsewhere/fdb1.$$$\thdr/fdb1.hdr\t194\nEND\n", // a path outside the area
        kMagic + "REPLACE\thdr/fdb1.$$$\thdr/fdb1.hdr\t194\nWHAT\nEND\n", // a line of no known kind
        "j", // not a journal this program writes
    };
    for (const std::string& text : journals) {
        twoEntries();
        const auto header = readFile(board.headerPath(1));
        const auto newHeader = std::vector<uint8_t>(header.begin(), header.begin() + HeaderRecord::kSize);
        test::writeFile(hdrDir() + "fdb1.$$$", newHeader);
        test::writeFile(hdrDir() + "fdb1.jnl", text);

        EXPECT_FALSE(store.recover(1)) << text;
        EXPECT_EQ(store.recoverAll(), std::vector<int> { 1 }) << text;
        EXPECT_FALSE(store.rewrite(1, RewritePlan::removal(2, { 0 }))) << text;
        EXPECT_FALSE(store.insertEntry(1, 0, NewEntry(), "x")) << text;
        // The area still loads as it is; nothing of the change was undone or done.
        EXPECT_EQ(store.load(1, true).rows.size(), 2u) << text;
        EXPECT_EQ(readFile(board.headerPath(1)), header) << text;
        EXPECT_EQ(readFile(hdrDir() + "fdb1.$$$"), newHeader) << text;
        EXPECT_EQ(readFile(hdrDir() + "fdb1.jnl"), test::bytesOf(text)) << text;
        EXPECT_TRUE(mentions(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1),
            "journal " + hdrDir() + "fdb1.jnl cannot be read; the area needs attention"))
            << text;
    }
}

// An insertion that never committed leaves its temporary files, which go, and its text at the
// end of the description file, which is cut off only when nothing was appended after it.
TEST_F(AreaRecoveryTest, AnUncommittedChangeGoesAndItsTextOnlyWhenNothingFollowsIt)
{
    struct Case {
        const char* label;
        std::string after; // what follows the old text
        bool cut;
        std::optional<std::string> journal = std::nullopt; // when not the insertion's own
    };
    const Case cases[] = {
        { "our text alone", std::string("new", 4), true },
        { "the board's upload after ours", std::string("new", 4) + std::string("upload", 7), false },
        { "the board's upload instead of ours", std::string("upload!", 8), false },
        { "half of ours", "ne", false },
        { "nothing appended", "", false },
        // A crash right after the journal was created leaves it empty or cut inside its first line.
        { "an empty journal", "", false, "" },
        { "a journal cut in its first line", "", false, kMagic.substr(0, 7) },
    };
    for (const Case& c : cases) {
        twoEntries();
        const auto oldText = readFile(board.descriptionPath(1));
        auto text = oldText;
        text.insert(text.end(), c.after.begin(), c.after.end());
        test::writeFile(board.descriptionPath(1), text);
        const auto header = readFile(board.headerPath(1));
        test::writeFile(hdrDir() + "fdb1.$$$", "partial");
        test::writeFile(hdrDir() + "fdb1.jnl",
            c.journal.value_or(kMagic + "APPEND\ttxt/fdb1.txt\t" + std::to_string(oldText.size()) + "\t"
                + std::to_string(oldText.size() + 4) + "\nREPLACE\thdr/fdb1.$$$\thdr/fd"));
        if (c.journal) {
            ASSERT_TRUE(store.recover(1)) << c.label;
        }
        EXPECT_EQ(store.load(1, true).rows.size(), 2u) << c.label;
        EXPECT_EQ(*store.recover(1), Recovery::Nothing) << c.label;
        EXPECT_EQ(readFile(board.descriptionPath(1)), c.cut ? oldText : text) << c.label;
        EXPECT_FALSE(test::fileExists(hdrDir() + "fdb1.jnl")) << c.label;
        EXPECT_FALSE(test::fileExists(hdrDir() + "fdb1.$$$")) << c.label;
        EXPECT_EQ(readFile(board.headerPath(1)), header) << c.label;
        EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1).empty()) << c.label;
    }
}

// The journal names files by the area's own directories, so a board reached through another
// spelling of its path (or moved) finishes the change in the right place. Committed, the header
// was renamed already, the index not yet.
TEST_F(AreaRecoveryTest, JournalNamesTheAreaDirectoriesNotTheBase)
{
    board.setUpperCaseAreaFiles(true);
    board.writeEntries(3, { Entry { .name = "A.ZIP", .description = "a" }, Entry { .name = "B.ZIP" } });
    const auto oldHeader = readFile(board.headerPath(3));
    const std::vector<uint8_t> newHeader(oldHeader.begin(), oldHeader.begin() + HeaderRecord::kSize);
    test::writeFile(board.headerPath(3), newHeader);
    const auto oldIndex = readFile(board.indexPath(3));
    const std::vector<uint8_t> newIndex(oldIndex.begin(), oldIndex.begin() + IndexRecord::kSize);
    test::writeFile(board.fileBaseDir() + "/IDX/fdb3.$$$", newIndex);
    test::writeFile(board.fileBaseDir() + "/HDR/fdb3.jnl",
        kMagic + "REPLACE\thdr/fdb3.$$$\thdr/FDB3.HDR\t194\nREPLACE\tidx/fdb3.$$$\tidx/FDB3.IDX\t41\nEND\n");
    AreaStore moved(systemFileIo(), tmp.path() + "//FDB/");
    EXPECT_EQ(moved.recoverAll(), std::vector<int>());
    EXPECT_EQ(readFile(board.headerPath(3)), newHeader);
    EXPECT_EQ(readFile(board.indexPath(3)), newIndex);
    EXPECT_FALSE(test::fileExists(board.fileBaseDir() + "/HDR/fdb3.jnl"));
}

// Without a file base directory there is nothing the store may touch: not the directory the
// program was started from, whatever it holds.
TEST_F(AreaRecoveryTest, AnEmptyFileBaseIsRefusedOutright)
{
    const std::string stray = tmp.path() + "/cwd";
    BoardBuilder strayBoard(tmp.path() + "/cwd-ra", stray);
    strayBoard.writeEntries(1, { Entry { .name = "STRAY.ZIP", .description = "stray" } });
    test::writeFile(stray + "/hdr/fdb1.$$$", "stale");
    test::writeFile(stray + "/hdr/fdb2.jnl", kMagic + "APPEND\ttxt/fdb2.txt\t0\t2\n");
    test::writeFile(stray + "/txt/fdb2.txt", std::string("x", 2));
    const auto strayText = readFile(strayBoard.descriptionPath(1));
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(stray.c_str()), 0);

    AreaStore none(systemFileIo(), "");
    const auto loaded = none.load(1, true);
    ASSERT_TRUE(loaded.error);
    EXPECT_EQ(loaded.error->kind, LoadError::Kind::FileBasePathNotFound);
    EXPECT_TRUE(loaded.rows.empty());
    EXPECT_FALSE(none.count(1));
    EXPECT_FALSE(none.readHeader(1, 0));
    EXPECT_FALSE(none.readLongName(1, 0));
    EXPECT_FALSE(none.appendDescription(1, "x"));
    EXPECT_FALSE(none.insertEntry(1, 0, NewEntry(), "x"));
    EXPECT_FALSE(none.rewrite(1, RewritePlan::removal(1, { 0 })));
    const uint8_t bytes[1] = { 1 };
    EXPECT_FALSE(none.patchRecord(1, AreaFileKind::Header, 0, 0, bytes));
    EXPECT_FALSE(none.recover(1));
    EXPECT_TRUE(none.recoverAll().empty());

    ASSERT_EQ(chdir(previous), 0);
    free(previous);
    EXPECT_EQ(readFile(stray + "/hdr/fdb1.$$$"), test::bytesOf("stale"));
    EXPECT_TRUE(test::fileExists(stray + "/hdr/fdb2.jnl"));
    EXPECT_EQ(readFile(stray + "/txt/fdb2.txt").size(), 2u);
    EXPECT_EQ(readFile(strayBoard.headerPath(1)).size(), HeaderRecord::kSize);
    EXPECT_EQ(readFile(strayBoard.descriptionPath(1)), strayText);
}

// Records a carry-over placed at the end: recovery finds them where they landed, or puts them
// behind whatever the board appended since, never over it.
TEST_F(AreaRecoveryTest, RecordsPlacedAtTheEndAreWrittenOnlyWhereMissing)
{
    twoEntries();
    const auto old = readFile(board.headerPath(1));
    const auto upload = test::headerOf(Entry { .name = "UPLOAD.ZIP" }, -1).encode();
    const auto board2 = test::headerOf(Entry { .name = "BOARD.ZIP" }, -1).encode();
    auto counted = test::headerOf(Entry { .name = "UPLOAD.ZIP" }, -1);
    counted.setDownloads(3);
    auto join = [&](std::initializer_list<std::span<const uint8_t>> parts) {
        std::vector<uint8_t> out(old);
        for (auto p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const struct {
        const char* label;
        std::vector<uint8_t> before, after;
    } cases[] = {
        { "not yet placed", old, join({ upload }) },
        { "placed before the crash", join({ upload }), join({ upload }) },
        { "the board appended since", join({ board2 }), join({ board2, upload }) },
        { "placed and counted since", join({ board2, counted.encode() }), join({ board2, counted.encode() }) },
    };
    for (const auto& c : cases) {
        test::writeFile(board.headerPath(1), c.before);
        AreaJournal note;
        note.patches.push_back({ "hdr/fdb1.hdr", old.size(), std::vector<uint8_t>(upload.begin(), upload.end()),
            HeaderRecord::kSize, 0, true });
        test::writeFile(hdrDir() + "fdb1.jnl", note.serialize());
        ASSERT_TRUE(store.recoverAll().empty()) << c.label;
        EXPECT_EQ(readFile(board.headerPath(1)), c.after) << c.label;
        EXPECT_FALSE(test::fileExists(hdrDir() + "fdb1.jnl")) << c.label;
    }
}

// The text is what a journal left by an earlier run holds; its measure decides whether a change
// is refused as too large before anything is written.
TEST(AreaJournalText, IsTheOneRecoveryReadsAndItsSizeIsKnownBeforehand)
{
    AreaJournal note;
    note.append = AreaJournal::Append { "txt/fdb1.txt", 9, 1234567 };
    note.replacements.push_back({ "hdr/fdb1.hdr.new", "hdr/fdb1.hdr", 388 });
    note.patches.push_back({ "idx/fdb1.idx", 41, { 0x0A, 0xFF }, 0, 0, false });
    note.patches.push_back({ "hdr/fdb1.lfn", 4294967296ull, { 1, 2 }, 2, 512, true });
    const std::string text = kMagic + "APPEND\ttxt/fdb1.txt\t9\t1234567\n"
        + "REPLACE\thdr/fdb1.hdr.new\thdr/fdb1.hdr\t388\n" + "PATCH\tidx/fdb1.idx\t41\t0aff\t0\t0\n"
        + "PLACE\thdr/fdb1.lfn\t4294967296\t0102\t2\t512\n" + "END\n";
    for (bool complete : { true, false }) {
        note.complete = complete;
        const std::string want = complete ? text : text.substr(0, text.size() - 4);
        EXPECT_EQ(note.serialize(), want);
        EXPECT_EQ(note.serializedSize(), want.size());
    }
    note.complete = true;
    const auto back = AreaJournal::parse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->serialize(), text);
    // A journal naming anything but a plain file of an area directory is not one of ours.
    for (const char* name : { "hdr/", "hdr/a/b", "hdrx/a", "../hdr/a", "hdr/..", "txt/.", "/hdr/a", "lfn/a" }) {
        EXPECT_FALSE(AreaJournal::parse(kMagic + "PATCH\t" + name + "\t0\t00\t0\t0\nEND\n")) << name;
        EXPECT_FALSE(AreaJournal::parse(kMagic + "REPLACE\t" + name + "\thdr/fdb1.hdr\t1\nEND\n")) << name;
    }
    EXPECT_TRUE(AreaJournal::parse(kMagic + "PATCH\tHDR/a\t0\t00\t0\t0\nEND\n"));
    // A number cut short by a crash is not taken: the line has no end.
    const auto cut = AreaJournal::parse(kMagic + "APPEND\ttxt/fdb1.txt\t12");
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->complete);
    EXPECT_FALSE(cut->append);
}

} // namespace
} // namespace qv
