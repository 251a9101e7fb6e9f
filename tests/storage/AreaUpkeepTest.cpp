// Packing description files and repairing areas: the bytes each leaves, and that a failure or a
// kill at any step leaves the old files or the new ones.

#include "storage/AreaCheck.h"
#include "storage/AreaRepair.h"
#include "storage/DescriptionPack.h"
#include "storage/KeywordChecksum.h"
#include "storage/Text.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;

// One record: its name and the three pointers that lead to text.
struct Rec {
    std::string name;
    int32_t description = -1;
    int32_t longName = 0; // the board's pointer at 174
    std::optional<int32_t> index = std::nullopt; // the index's pointer; the header's when unset
};

void writeArea(BoardBuilder& b, int area, const std::vector<Rec>& recs, std::string_view txt)
{
    std::vector<HeaderRecord> headers;
    std::vector<IndexRecord> indexes;
    for (const Rec& r : recs) {
        HeaderRecord h = test::headerOf(Entry { .name = r.name }, r.description);
        h.setLongNamePointer(r.longName);
        headers.push_back(h);
        indexes.push_back(test::indexOf(Entry { .name = r.name }, r.index.value_or(r.description)));
    }
    b.writeAreaFiles(area, headers, indexes, std::nullopt, test::bytesOf(txt));
}

std::vector<Rec> readArea(BoardBuilder& b, int area)
{
    const auto hdr = test::recordsIn<HeaderRecord>(b.headerPath(area));
    const auto idx = test::recordsIn<IndexRecord>(b.indexPath(area));
    std::vector<Rec> out;
    for (size_t i = 0; i < hdr.size(); ++i)
        out.push_back({ hdr[i].name(), hdr[i].descriptionPointer(), hdr[i].longNamePointer(),
            i < idx.size() ? idx[i].descriptionPointer() : -2 });
    return out;
}

bool operator==(const Rec& a, const Rec& b)
{
    return a.name == b.name && a.description == b.description && a.longName == b.longName
        && a.index.value_or(a.description) == b.index.value_or(b.description);
}
std::ostream& operator<<(std::ostream& os, const Rec& r)
{
    return os << r.name << " " << r.description << "/" << r.longName << "/" << r.index.value_or(r.description);
}

using namespace std::string_literals;

struct PackCase {
    const char* label;
    std::vector<Rec> before;
    std::string txt;
    std::vector<Rec> after;
    std::string packed; // the description file afterwards
};

const PackCase kPackCases[] = {
    { "sharedTextsAndBoardLongNameStayShared", { { "A.ZIP", 6, 24 }, { "B.ZIP", 6 }, { "", -1 }, { "C.ZIP", 13 } },
        "junk1\0shared text\0junk2\0Long Board Name.zip\0tail-junk\0"s,
        { { "A.ZIP", 0, 12 }, { "B.ZIP", 0 }, { "", -1 }, { "C.ZIP", 7 } }, "shared text\0Long Board Name.zip\0"s },
    { "recordOrderNotFileOrder", { { "A.ZIP", 8 }, { "B.ZIP", 0 } }, "second\0\0first\0"s,
        { { "A.ZIP", 0 }, { "B.ZIP", 6 } }, "first\0second\0"s },
    // A long-name pointer of 0 means none, so a long name never comes first.
    { "longNameNeverAtZero", { { "A.ZIP", -1, 4 } }, "old\0Long Name.txt\0"s, { { "A.ZIP", -1, 1 } },
        "\0Long Name.txt\0"s },
    // The first text placed holds another's long name at its start: that pointer must not read 0.
    { "longNameAtTheStartOfAnotherText", { { "A.ZIP", 10 }, { "B.ZIP", -1, 5 } }, "junk\0Long Name.zip\0"s,
        { { "A.ZIP", 6 }, { "B.ZIP", -1, 1 } }, "\0Long Name.zip\0"s },
    { "indexPointerOfItsOwnIsKept", { { "A.ZIP", 4, 0, 9 } }, "xxx\0head\0indx\0"s, { { "A.ZIP", 0, 0, 5 } },
        "head\0indx\0"s },
    // Bytes after the last zero (a text without its end, or one being appended) stay at the end.
    { "unendedTextAtTheEndIsKept", { { "A.ZIP", 5 }, { "B.ZIP", 10 } }, "gone\0kept\0open"s,
        { { "A.ZIP", 0 }, { "B.ZIP", 5 } }, "kept\0open"s },
    { "longUnendedTextIsKeptWhole", { { "A.ZIP", 5 } }, "gone\0kept\0"s + std::string(5000, 'o'), { { "A.ZIP", 0 } },
        "kept\0"s + std::string(5000, 'o') },
    { "pointerPastTheEndStaysPastIt", { { "A.ZIP", 4 }, { "B.ZIP", 100 } }, "xxx\0text\0"s,
        { { "A.ZIP", 0 }, { "B.ZIP", 96 } }, "text\0"s },
};

TEST(DescriptionPack, KeepsOnlyReferencedTextsAndMovesEveryPointer)
{
    for (const PackCase& c : kPackCases) {
        SCOPED_TRACE(c.label);
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        writeArea(board, 2, c.before, c.txt);
        const size_t problems = AreaCheck::run(systemFileIo(), board.fileBaseDir(), 2).size();
        auto survey = surveyPack(systemFileIo(), board.fileBaseDir(), 2);
        ASSERT_TRUE(survey);
        EXPECT_EQ(survey->reclaimable(), c.txt.size() - c.packed.size());
        AreaStore store(systemFileIo(), board.fileBaseDir());
        // The same figures from the rows a load gave, as the status figures take them.
        auto fromRows = surveyPackFigures(
            systemFileIo(), board.fileBaseDir(), 2, store.load(2, true, {}, WithPointers::Yes).pointers);
        ASSERT_TRUE(fromRows);
        EXPECT_EQ(std::tie(fromRows->keptBytes, fromRows->texts, fromRows->layout.tailFrom, fromRows->layout.tailTo),
            std::tie(survey->keptBytes, survey->texts, survey->layout.tailFrom, survey->layout.tailTo));
        auto packed = packDescriptions(store, 2);
        ASSERT_TRUE(packed) << packed.error().message;
        EXPECT_TRUE(packed->written);
        EXPECT_EQ(packed->bytesAfter, c.packed.size());
        EXPECT_EQ(test::readFile(board.descriptionPath(2)), test::bytesOf(c.packed));
        EXPECT_EQ(readArea(board, 2), c.after);
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 2).size(), problems); // none added
        // Packed once, nothing more to reclaim: the second pack writes nothing.
        const auto stamp = systemFileIo().stamp(board.headerPath(2));
        auto again = packDescriptions(store, 2);
        ASSERT_TRUE(again);
        EXPECT_FALSE(again->written);
        EXPECT_EQ(systemFileIo().stamp(board.headerPath(2))->inode, stamp->inode);
    }
}

// Texts without a header file are no records' texts: nothing to pack, and no error.
TEST(DescriptionPack, TextsWithoutRecordsAreLeftAlone)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    writeArea(board, 1, {}, "orphan\0"s);
    std::filesystem::remove(board.headerPath(1));
    AreaStore store(systemFileIo(), board.fileBaseDir());
    auto packed = packDescriptions(store, 1);
    ASSERT_TRUE(packed) << packed.error().message;
    EXPECT_FALSE(packed->written);
    EXPECT_EQ(test::readFile(board.descriptionPath(1)), test::bytesOf("orphan\0"s));
    // The status figures agree: nothing for a pack to reclaim.
    auto figures = surveyPackFigures(systemFileIo(), board.fileBaseDir(), 1, {});
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->reclaimable(), 0u);
}

// A description file without a single zero byte (one text the board has not ended yet, longer
// than a read) is all tail: nothing is reclaimable and the pack writes nothing.
TEST(DescriptionPack, AFileWithoutAnEndedTextIsAllTail)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    writeArea(board, 1, { { "A.ZIP", 0 } }, std::string((1 << 20) + 3, 'x'));
    auto survey = surveyPack(systemFileIo(), board.fileBaseDir(), 1);
    ASSERT_TRUE(survey);
    EXPECT_EQ(survey->layout.tailFrom, 0u);
    EXPECT_EQ(survey->reclaimable(), 0u);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    auto packed = packDescriptions(store, 1);
    ASSERT_TRUE(packed);
    EXPECT_FALSE(packed->written);
}

// The board uploads while the pack runs: its text and its record, appended after the pack read
// the area, come along into the new files with the pointer moved.
TEST(DescriptionPack, AnUploadDuringThePackSurvives)
{
    for (int at = 1;; ++at) {
        SCOPED_TRACE("before stamp " + std::to_string(at));
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        writeArea(board, 1, { { "A.ZIP", 4 } }, "old\0kept\0"s);
        test::FaultyFileIo io(systemFileIo());
        bool uploaded = false;
        io.beforeStamp(at, [&](const std::string&) {
            if (uploaded)
                return;
            uploaded = true;
            const int32_t at = test::appendText(board.descriptionPath(1), "upload"); // in place: the same file
            test::appendBytes(board.headerPath(1), test::headerOf(Entry { .name = "UP.ZIP" }, at).encode());
            test::appendBytes(board.indexPath(1), test::indexOf(Entry { .name = "UP.ZIP" }, at).encode());
        });
        AreaStore store(io, board.fileBaseDir());
        store.setLateWriteWait(0, 0);
        auto packed = packDescriptions(store, 1);
        ASSERT_TRUE(packed) << packed.error().message;
        if (!uploaded)
            break; // past the pack's last look
        ASSERT_LT(at, 40);
        const auto recs = readArea(board, 1);
        ASSERT_EQ(recs.size(), 2u);
        EXPECT_EQ(store.readDescription(1, 0), "kept");
        EXPECT_EQ(store.readDescription(1, 1), "upload");
        EXPECT_EQ(recs[1].index.value_or(-2), recs[1].description);
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>());
    }
}

// A damaged area with one of everything a repair mends.
void makeDamaged(BoardBuilder& b)
{
    b.writeEntries(3,
        { Entry { .name = "ONE.ZIP", .keywords = { "Abc", "" }, .description = "first" },
            Entry { .name = "TWOISL~1.ZIP", .description = "second", .longName = "Two is long.zip" },
            Entry { .name = "", .description = "comment" },
            Entry { .name = "FOUR.ZIP", .keywords = { "x" }, .description = "fourth", .longName = "Other.zip" } });
    // Record 2 also has a board long-name pointer (at 174); the long-name record beside record 4
    // is another file's, as a board tool that moved header records leaves it.
    test::patchLong(b.headerPath(3), 1 * HeaderRecord::kSize + HeaderRecord::kLongNamePointerOffset, 6);
    test::patchLong(b.headerPath(3), 2 * HeaderRecord::kSize + HeaderRecord::kDescriptionPointerOffset, 5000);
    test::patchFile(b.indexPath(3), 1 * IndexRecord::kSize + 1, test::bytesOf("X")); // a wrong name
    std::filesystem::resize_file(b.indexPath(3), 2 * IndexRecord::kSize); // short
    test::writeFile(b.fileBaseDir() + "/hdr/fdb3.l$$", "stale"s);
}

TEST(AreaRepair, MendsWhatTheCheckFindsAndKeepsTheRest)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    makeDamaged(board);
    const auto txtBefore = test::readFile(board.descriptionPath(3));
    auto dry = surveyRepair(systemFileIo(), board.fileBaseDir(), 3);
    ASSERT_TRUE(dry);
    const std::vector<std::string> expected { "leftover file " + board.fileBaseDir()
            + "/hdr/fdb3.l$$ from an interrupted rewrite: the change that did not commit is undone",
        "index file holds 2 records, header file 4: the 2 missing records are rebuilt from the header",
        "record 2: index name \"XWOISL~1.ZIP\" does not match header name \"TWOISL~1.ZIP\": the index record is "
        "rebuilt from "
        "the header",
        "record 3: header description pointer 5000 is past the end of the description file (28 bytes): set to none",
        "record 4: long name \"Other.zip\" does not belong to header name \"FOUR.ZIP\": the long-name record is "
        "emptied" };
    EXPECT_EQ(dry->repairs, expected);
    EXPECT_TRUE(test::fileExists(board.fileBaseDir() + "/hdr/fdb3.l$$")); // a survey changes nothing

    AreaStore store(systemFileIo(), board.fileBaseDir());
    auto done = repairArea(store, 3);
    ASSERT_TRUE(done) << done.error().message;
    EXPECT_EQ(done->repairs, expected);
    EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 3), std::vector<std::string>());
    EXPECT_EQ(test::readFile(board.descriptionPath(3)), txtBefore);

    // Index records as the board writes them: names, dates, checksums of the header's keywords.
    ASSERT_EQ(test::readFile(board.indexPath(3)).size(), 4 * IndexRecord::kSize);
    const auto x = test::recordsIn<IndexRecord>(board.indexPath(3));
    EXPECT_EQ(x[0].keywordChecksum(0), 0); // record 1 agreed: kept as it was
    EXPECT_EQ(x[1].name(), "TWOISL~1.ZIP");
    EXPECT_EQ(x[2].descriptionPointer(), -1);
    EXPECT_EQ(x[3].name(), "FOUR.ZIP");
    EXPECT_EQ(x[3].keywordChecksum(0), keywordChecksum("x"));
    EXPECT_EQ(x[3].keywordChecksum(1), keywordChecksum(""));
    EXPECT_EQ(x[3].uploadDate(), 0x1CA50000);
    // The long name of record 2 is its own still (and the board's); record 4 shows its 8.3 name.
    EXPECT_EQ(*store.readShownLongName(3, 1), "Two is long.zip");
    EXPECT_EQ(*store.readShownLongName(3, 3), "");
    EXPECT_EQ(store.readDescription(3, 3), "fourth");
    // Nothing left to repair.
    auto again = repairArea(store, 3);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->empty());
}

// Only the index is damaged: only the index file is written, the others keep their files.
TEST(AreaRepair, ALostIndexIsRebuiltAloneWithTheBoardsChecksums)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    board.writeEntries(3,
        { Entry { .name = "ONE.ZIP", .keywords = { "Abc" }, .description = "first", .longName = "One.zip" },
            Entry { .name = "", .description = "comment" } });
    const auto expected = test::readFile(board.indexPath(3));
    std::remove(board.indexPath(3).c_str());
    const auto before = test::areaBytes(board, 3);
    const auto hdr = systemFileIo().stamp(board.headerPath(3));
    const auto lfn = systemFileIo().stamp(board.longNamePath(3));
    AreaStore store(systemFileIo(), board.fileBaseDir());
    auto done = repairArea(store, 3);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->repairs,
        std::vector<std::string> { "index file is missing for 2 header records: it is rebuilt from the header" });
    const auto after = test::areaBytes(board, 3);
    EXPECT_EQ(after.hdr, before.hdr);
    EXPECT_EQ(after.lfn, before.lfn);
    EXPECT_EQ(systemFileIo().stamp(board.headerPath(3))->inode, hdr->inode);
    EXPECT_EQ(systemFileIo().stamp(board.longNamePath(3))->inode, lfn->inode);
    ASSERT_EQ(after.idx.size(), 2 * IndexRecord::kSize);
    const auto x = test::recordsIn<IndexRecord>(board.indexPath(3))[0];
    EXPECT_EQ(x.name(), "ONE.ZIP");
    EXPECT_EQ(x.keywordChecksum(0), keywordChecksum("abc"));
    EXPECT_EQ(x.keywordChecksum(4), -1);
    EXPECT_EQ(x.descriptionPointer(), 0);
    EXPECT_EQ(std::vector<uint8_t>(after.idx.begin() + 13, after.idx.begin() + 17),
        std::vector<uint8_t>(expected.begin() + 13, expected.begin() + 17)); // the upload date
    EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 3), std::vector<std::string>());
}

TEST(AreaRepair, AnUnreadableJournalIsLeftAndNamed)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    makeDamaged(board);
    const std::string journal = board.fileBaseDir() + "/hdr/fdb3.jnl";
    test::writeFile(journal, "not ours"s);
    const auto before = test::areaBytes(board, 3);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    auto done = repairArea(store, 3);
    ASSERT_TRUE(done);
    EXPECT_TRUE(done->repairs.empty());
    EXPECT_EQ(done->left,
        std::vector<std::string> { "journal " + journal + " cannot be read; the area needs attention; left as it is" });
    EXPECT_EQ(test::areaBytes(board, 3), before);
    EXPECT_EQ(test::readFile(journal), test::bytesOf("not ours"));
    EXPECT_TRUE(test::fileExists(board.fileBaseDir() + "/hdr/fdb3.l$$"));
}

void expectOldOrNew(
    BoardBuilder& board, const test::AreaBytes& before, const test::AreaBytes& after, const std::string& where)
{
    AreaStore store(systemFileIo(), board.fileBaseDir());
    ASSERT_TRUE(store.recover(3)) << where;
    const auto now = test::areaBytes(board, 3);
    if (now.sameRecords(before)) {
        EXPECT_EQ(now.txt, before.txt) << where;
    } else {
        EXPECT_EQ(now, after) << where << ": neither the old nor the new files";
    }
    if (now == after || now.txt != before.txt) {
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 3), std::vector<std::string>()) << where;
    }
}

// A pack and a repair, failing at any call or killed at any step, leave the old or the new files.
TEST(AreaUpkeepFaults, EveryFailureOrKillLeavesTheOldOrTheNewFiles)
{
    const std::pair<const char*, std::function<bool(AreaStore&)>> upkeeps[] = {
        { "pack", [](AreaStore& s) { return bool(packDescriptions(s, 3)); } },
        { "repair", [](AreaStore& s) { return bool(repairArea(s, 3)); } },
    };
    for (const auto& [label, run] : upkeeps)
        test::sweepChange({ .label = label,
            .make =
                [&](BoardBuilder& b) {
                    if (std::string(label) == "repair")
                        return makeDamaged(b);
                    writeArea(b, 3, kPackCases[0].before, kPackCases[0].txt);
                },
            .run =
                [&](FileIo& io, BoardBuilder& b) {
                    AreaStore store(io, b.fileBaseDir());
                    store.setLateWriteWait(0, 0);
                    return run(store);
                },
            .check = expectOldOrNew,
            .area = 3 });
}

} // namespace
} // namespace qv
