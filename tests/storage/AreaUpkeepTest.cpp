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

#include <fcntl.h>
#include <unistd.h>

#include <functional>

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
    const auto hdr = test::readFile(b.headerPath(area));
    const auto idx = test::readFile(b.indexPath(area));
    std::vector<Rec> out;
    for (size_t i = 0; i < hdr.size() / HeaderRecord::kSize; ++i) {
        const auto h = HeaderRecord::decode(
            std::span<const uint8_t, HeaderRecord::kSize>(hdr.data() + i * HeaderRecord::kSize, HeaderRecord::kSize));
        const auto x = IndexRecord::decode(
            std::span<const uint8_t, IndexRecord::kSize>(idx.data() + i * IndexRecord::kSize, IndexRecord::kSize));
        out.push_back({ h.name(), h.descriptionPointer(), h.longNamePointer(), x.descriptionPointer() });
    }
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
    { "indexPointerOfItsOwnIsKept", { { "A.ZIP", 4, 0, 9 } }, "xxx\0head\0indx\0"s, { { "A.ZIP", 0, 0, 5 } },
        "head\0indx\0"s },
    // Bytes after the last zero (a text without its end, or one being appended) stay at the end.
    { "unendedTextAtTheEndIsKept", { { "A.ZIP", 5 }, { "B.ZIP", 10 } }, "gone\0kept\0open"s,
        { { "A.ZIP", 0 }, { "B.ZIP", 5 } }, "kept\0open"s },
    { "pointerPastTheEndStaysPastIt", { { "A.ZIP", 4 }, { "B.ZIP", 100 } }, "xxx\0text\0"s,
        { { "A.ZIP", 0 }, { "B.ZIP", 96 } }, "text\0"s },
};

class PackCases : public ::testing::TestWithParam<PackCase> { };

TEST_P(PackCases, KeepsOnlyReferencedTextsAndMovesEveryPointer)
{
    const PackCase& c = GetParam();
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    writeArea(board, 2, c.before, c.txt);
    const size_t problems = AreaCheck::run(systemFileIo(), board.fileBaseDir(), 2).size();
    auto survey = surveyPack(systemFileIo(), board.fileBaseDir(), 2);
    ASSERT_TRUE(survey);
    EXPECT_EQ(survey->reclaimable(), c.txt.size() - c.packed.size());
    AreaStore store(systemFileIo(), board.fileBaseDir());
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

INSTANTIATE_TEST_SUITE_P(
    Areas, PackCases, ::testing::ValuesIn(kPackCases), [](const auto& info) { return std::string(info.param.label); });

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
            const auto txt = test::readFile(board.descriptionPath(1));
            auto grown = txt;
            for (char ch : "upload"s + '\0')
                grown.push_back(uint8_t(ch));
            test::writeFile(board.descriptionPath(1), grown); // in place: the same file
            const int fd = ::open(board.headerPath(1).c_str(), O_WRONLY | O_APPEND);
            const auto h = test::headerOf(Entry { .name = "UP.ZIP" }, int32_t(txt.size()));
            ASSERT_EQ(::write(fd, h.encode().data(), HeaderRecord::kSize), ssize_t(HeaderRecord::kSize));
            ::close(fd);
            const int fx = ::open(board.indexPath(1).c_str(), O_WRONLY | O_APPEND);
            const auto x = test::indexOf(Entry { .name = "UP.ZIP" }, int32_t(txt.size()));
            ASSERT_EQ(::write(fx, x.encode().data(), IndexRecord::kSize), ssize_t(IndexRecord::kSize));
            ::close(fx);
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
    auto hdr = test::readFile(b.headerPath(3));
    // Record 2 also has a board long-name pointer (at 174); the long-name record beside record 4
    // is another file's, as a board tool that moved header records leaves it.
    enc::putLong(hdr.data() + 1 * HeaderRecord::kSize + HeaderRecord::kLongNamePointerOffset, 6);
    enc::putLong(hdr.data() + 2 * HeaderRecord::kSize + HeaderRecord::kDescriptionPointerOffset, 5000);
    test::writeFile(b.headerPath(3), hdr);
    auto idx = test::readFile(b.indexPath(3));
    idx[1 * IndexRecord::kSize + 1] = 'X'; // a wrong name
    idx.resize(2 * IndexRecord::kSize); // short
    test::writeFile(b.indexPath(3), idx);
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
    const auto idx = test::readFile(board.indexPath(3));
    ASSERT_EQ(idx.size(), 4 * IndexRecord::kSize);
    const auto x = [&](size_t i) {
        return IndexRecord::decode(
            std::span<const uint8_t, IndexRecord::kSize>(idx.data() + i * IndexRecord::kSize, IndexRecord::kSize));
    };
    EXPECT_EQ(x(0).keywordChecksum(0), 0); // record 1 agreed: kept as it was
    EXPECT_EQ(x(1).name(), "TWOISL~1.ZIP");
    EXPECT_EQ(x(2).descriptionPointer(), -1);
    EXPECT_EQ(x(3).name(), "FOUR.ZIP");
    EXPECT_EQ(x(3).keywordChecksum(0), keywordChecksum("x"));
    EXPECT_EQ(x(3).keywordChecksum(1), keywordChecksum(""));
    EXPECT_EQ(x(3).uploadDate(), 0x1CA50000);
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
    const auto x
        = IndexRecord::decode(std::span<const uint8_t, IndexRecord::kSize>(after.idx.data(), IndexRecord::kSize));
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

// Each mutating operation of this file, on the board it starts from.
struct Upkeep {
    const char* label;
    std::function<void(BoardBuilder&)> make;
    std::function<bool(AreaStore&)> run;
};

const Upkeep kUpkeeps[] = {
    { "pack",
        [](BoardBuilder& b) {
            writeArea(b, 3, { { "A.ZIP", 6, 24 }, { "B.ZIP", 6 }, { "", -1 }, { "C.ZIP", 13 } },
                "junk1\0shared text\0junk2\0Long Board Name.zip\0tail-junk\0"s);
        },
        [](AreaStore& s) { return bool(packDescriptions(s, 3)); } },
    { "repair", [](BoardBuilder& b) { makeDamaged(b); }, [](AreaStore& s) { return bool(repairArea(s, 3)); } },
};

test::AreaBytes resultOf(const Upkeep& u)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    u.make(board);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    EXPECT_TRUE(u.run(store));
    return test::areaBytes(board, 3);
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

TEST(AreaUpkeepFaults, EveryFailingCallLeavesTheOldOrTheNewFiles)
{
    for (const Upkeep& u : kUpkeeps) {
        const auto after = resultOf(u);
        std::optional<test::TempDir> tmp;
        std::optional<BoardBuilder> board;
        test::AreaBytes before;
        auto fresh = [&] {
            board.reset();
            tmp.emplace();
            board.emplace(tmp->path());
            u.make(*board);
            before = test::areaBytes(*board, 3);
        };
        test::sweepFailingCalls(
            u.label,
            [&](test::FaultyFileIo& io) {
                fresh();
                AreaStore store(io, board->fileBaseDir());
                io.resetCounts();
                ASSERT_TRUE(u.run(store));
            },
            [&](test::FaultyFileIo::Op kind, int n, const std::string& where) {
                fresh();
                test::FaultyFileIo io(systemFileIo());
                io.failAt(kind, n, EIO);
                AreaStore store(io, board->fileBaseDir());
                store.setLateWriteWait(0, 0);
                if (u.run(store)) {
                    EXPECT_EQ(test::areaBytes(*board, 3), after) << where << ": success claimed";
                }
                expectOldOrNew(*board, before, after, where);
            });
    }
}

TEST(AreaUpkeepFaults, AProcessKilledAtAnyStepLeavesTheOldOrTheNewFiles)
{
    for (const Upkeep& u : kUpkeeps) {
        const auto after = resultOf(u);
        std::optional<test::TempDir> tmp;
        std::optional<BoardBuilder> board;
        test::AreaBytes before;
        test::sweepKills(u.label,
            { .prepare =
                    [&] {
                        board.reset();
                        tmp.emplace();
                        board.emplace(tmp->path());
                        u.make(*board);
                        before = test::areaBytes(*board, 3);
                    },
                .child =
                    [&](test::FaultyFileIo& io) {
                        AreaStore store(io, board->fileBaseDir());
                        store.setLateWriteWait(0, 0);
                        return u.run(store);
                    },
                .killed = [&](const std::string& where) { expectOldOrNew(*board, before, after, where); },
                .finished =
                    [&](const std::string& where, bool ok) {
                        EXPECT_TRUE(ok) << where;
                        EXPECT_EQ(test::areaBytes(*board, 3), after) << where;
                    },
                .torn = true });
    }
}

} // namespace
} // namespace qv
