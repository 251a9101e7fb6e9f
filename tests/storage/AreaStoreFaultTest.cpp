// Every failure and every crash during a change leaves an area's files exactly as they were or,
// once the change was committed and the next load has recovered it, exactly as intended.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <optional>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;
using test::FaultyFileIo;

using Snapshot = test::AreaBytes;

Snapshot snapshot(const BoardBuilder& board, int area)
{
    return test::areaBytes(board, area);
}

void makeBoard(BoardBuilder& board)
{
    board.writeEntries(1,
        { Entry { .name = "MYFILE~1.TXT", .description = "foo", .longName = "My file.txt" },
            Entry { .name = "", .description = "a comment" }, Entry { .name = "BAR.ARJ", .description = "bar" } });
    std::filesystem::resize_file(board.longNamePath(1), LongNameRecord::kSize); // one for three entries
    board.writeEntries(2, { Entry { .name = "OTHERF~1.ZIP", .description = "other", .longName = "Other file.zip" } });
    // The board's own long name of the entry follows its description; a transfer copies it over.
    test::patchLong(board.headerPath(2), HeaderRecord::kLongNamePointerOffset,
        test::appendText(board.descriptionPath(2), "Other file.zip"));
}

NewEntry added()
{
    return test::newEntry("ANEWFI~1.ZIP", "A new file.zip");
}

// The file base as the board may spell it: the same directory in another case and with an empty
// component. Journals written through one spelling must be recovered through any other.
std::string otherSpelling(const std::string& dir)
{
    const size_t slash = dir.rfind('/');
    std::string out = dir.substr(0, slash) + "//";
    for (char c : dir.substr(slash + 1))
        out += char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

const bool kSpellings[] = { false, true };

std::string baseOf(const BoardBuilder& board, bool oddSpelling)
{
    return oddSpelling ? otherSpelling(board.fileBaseDir()) : board.fileBaseDir();
}

struct Operation {
    const char* label;
    std::function<Result<void>(AreaStore&)> run;
};

std::vector<Operation> operations()
{
    return {
        { "insert at the front", [](AreaStore& s) { return s.insertEntry(1, 0, added(), "new text"); } },
        { "insert without a long name",
            [](AreaStore& s) {
                NewEntry e = added();
                e.longName.setName("");
                return s.insertEntry(1, 3, e, "");
            } },
        { "remove the second entry", [](AreaStore& s) { return s.rewrite(1, RewritePlan::removal(3, { 1 })); } },
        { "reverse",
            [](AreaStore& s) {
                return s.rewrite(1, RewritePlan::permutation({ 2, 1, 0 }));
            } },
        { "append from another area",
            [](AreaStore& s) {
                RewritePlan plan;
                plan.setOtherArea(2);
                plan.keep(0, 3);
                plan.take(0, 4);
                return s.rewrite(1, plan);
            } },
        { "patch a field",
            [](AreaStore& s) {
                const uint8_t bytes[4] = { 1, 2, 3, 4 };
                return s.patchRecord(1, AreaFileKind::Header, 2, HeaderRecord::kSizeOffset, bytes);
            } },
    };
}

// The state an operation leads to, from a clean run on a board of its own.
Snapshot expectedAfter(const Operation& op)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    makeBoard(board);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    EXPECT_TRUE(op.run(store)) << op.label;
    return snapshot(board, 1);
}

// After recovery: the old records or the new ones, with a description file that is the old one,
// or the new one when the records are new (an insertion's text may stay unused after a crash),
// and nothing left over.
void expectOldOrNew(const BoardBuilder& board, const Snapshot& before, const Snapshot& after, bool mayKeepText,
    const std::string& where)
{
    AreaStore clean(systemFileIo(), board.fileBaseDir());
    EXPECT_FALSE(clean.load(1, true).error) << where;
    const Snapshot now = snapshot(board, 1);
    // A text cut off by the crash stays where it is (nothing refers to it): the undo cannot tell
    // it from an upload's text the board appended since.
    auto keptText = [&] {
        return mayKeepText && now.txt.size() >= before.txt.size() && now.txt.size() <= after.txt.size()
            && std::equal(now.txt.begin(), now.txt.end(), after.txt.begin())
            && std::equal(before.txt.begin(), before.txt.end(), now.txt.begin());
    };
    if (now.sameRecords(before))
        EXPECT_TRUE(now.txt == before.txt || keptText()) << where << ": description file";
    else
        EXPECT_EQ(now, after) << where << ": neither the old nor the new files";
    EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>()) << where;
}

// After a failed append only our own part is cut off: never what another writer added.
TEST(AreaStoreFaults, OnlyOurOwnPartOfAFailedAppendIsCutBack)
{
    struct Case {
        std::string tail; // past the old length
        std::optional<uint64_t> ours;
    };
    const Case cases[] = { { "", std::nullopt }, { "abc", 7 }, { "abcdef", 10 }, { "abX", std::nullopt },
        { "abcdefg", std::nullopt } };
    for (const Case& c : cases) {
        test::TempDir tmp;
        const std::string file = tmp.path() + "/fdb1.txt";
        test::writeFile(file, "base" + c.tail);
        auto found = partialAppend(systemFileIo(), file, 4, "abcdef");
        ASSERT_TRUE(found);
        EXPECT_EQ(*found, c.ours) << c.tail;
        ASSERT_TRUE(cutBack(systemFileIo(), file, 7, 4));
        EXPECT_EQ(test::readFile(file).size(), c.tail.size() == 3 ? 4u : 4 + c.tail.size()) << c.tail;
    }
}

TEST(AreaStoreFaults, EveryFailingCallOrKillLeavesTheOldOrTheNewFiles)
{
    for (const bool odd : kSpellings)
        for (const Operation& op : operations()) {
            std::optional<Error> failed; // of the last run in this process
            test::sweepChange({ .label = std::string(op.label) + (odd ? ", base spelled otherwise" : ""),
                .make = makeBoard,
                .run =
                    [&](FileIo& io, BoardBuilder& board) {
                        AreaStore store(io, baseOf(board, odd));
                        auto result = op.run(store);
                        failed = result ? std::nullopt : std::optional(result.error());
                        return result.ok();
                    },
                .check = [](BoardBuilder& board, const Snapshot& before, const Snapshot& after,
                             const std::string& where) { expectOldOrNew(board, before, after, true, where); },
                // A failing call cuts its text off again; only a failure past the commit point leaves
                // the records to the next load.
                .checkFailed =
                    [&](BoardBuilder& board, const Snapshot& before, const Snapshot& after, const std::string& where) {
                        if (failed) {
                            EXPECT_NE(failed->code, 0) << where;
                            if (failed->message.find("next loaded") == std::string::npos) {
                                EXPECT_EQ(snapshot(board, 1).hdr, before.hdr) << where << ": failed but changed";
                            }
                        }
                        expectOldOrNew(board, before, after, false, where);
                    },
                .tearFailedWrites = true,
                .torn = { false, true },
                .limit = 200,
                // The other spelling only matters where paths are built: a sample suffices.
                .sampleEvery = odd ? 3 : 1 });
        }
}

// A large area's long-name and index files are built on a second thread beside its header file:
// any write failing, on either thread, or the process killed leaves the old files or the new.
TEST(AreaStoreFaults, FilesBuiltOnTwoThreadsStayWhole)
{
    constexpr uint64_t kRecords = 1024;
    std::vector<uint64_t> reversed(kRecords);
    for (uint64_t k = 0; k < kRecords; ++k)
        reversed[k] = kRecords - 1 - k;
    const auto make = [](BoardBuilder& board) {
        std::vector<Entry> entries;
        for (uint64_t k = 0; k < kRecords; ++k)
            entries.push_back(Entry { .name = "F" + std::to_string(k) + "~1.ZIP",
                .description = "d",
                .longName = "F" + std::to_string(k) + " long.zip" });
        board.writeEntries(1, entries);
    };
    const auto run = [&](FileIo& io, BoardBuilder& board) {
        if (auto* faulty = dynamic_cast<FaultyFileIo*>(&io))
            faulty->allowWritesFromThreads();
        AreaStore store(io, board.fileBaseDir());
        return store.rewrite(1, RewritePlan::permutation(reversed)).ok();
    };
    Snapshot after;
    {
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        make(board);
        ASSERT_TRUE(run(systemFileIo(), board));
        after = snapshot(board, 1);
    }
    for (int n = 1;; ++n) {
        ASSERT_LT(n, 200);
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        make(board);
        const Snapshot before = snapshot(board, 1);
        FaultyFileIo io(systemFileIo());
        io.failAt(FaultyFileIo::Op::Write, n, EIO);
        const bool done = run(io, board);
        EXPECT_EQ(snapshot(board, 1), done ? after : before) << "write " << n;
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>()) << n;
        if (done)
            break;
    }
    test::sweepChange({ .label = "reverse a large area",
        .make = make,
        .run = run,
        .check = [](BoardBuilder& board, const Snapshot& before, const Snapshot& after,
                     const std::string& where) { expectOldOrNew(board, before, after, false, where); },
        .failCalls = false,
        .limit = 200,
        .sampleEvery = 4 });
}

// A rename that fails after the commit point: the change is finished at once when it can be, and
// otherwise reported as a failure and finished by the next load, whatever the base's spelling.
TEST(AreaStoreFaults, AFailedReplacementIsFinishedOrReportedPending)
{
    for (const bool odd : kSpellings)
        for (const bool persistent : { false, true })
            for (const Operation& op : operations()) {
                const std::string where = std::string(op.label) + (persistent ? ", failing on" : ", failing once")
                    + (odd ? ", base spelled otherwise" : "");
                const Snapshot after = expectedAfter(op);
                test::TempDir tmp;
                BoardBuilder board(tmp.path());
                makeBoard(board);
                FaultyFileIo io(systemFileIo());
                // A patch is replayed by a write; the rest by renames. The first of either is
                // the journal's or the first file's.
                const bool patch = std::string(op.label) == "patch a field";
                const auto kind = patch ? FaultyFileIo::Op::Write : FaultyFileIo::Op::Rename;
                persistent ? io.failFrom(kind, 2, EIO) : io.failAt(kind, 2, EIO);
                AreaStore store(io, baseOf(board, odd));
                auto result = op.run(store);
                if (persistent) {
                    ASSERT_FALSE(result) << where;
                    EXPECT_NE(result.error().message.find("next loaded"), std::string::npos) << where;
                    EXPECT_TRUE(test::fileExists(board.fileBaseDir() + "/hdr/fdb1.jnl")) << where;
                    EXPECT_FALSE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1).empty()) << where;
                    AreaStore other(systemFileIo(), baseOf(board, !odd));
                    EXPECT_FALSE(other.load(1, true).error) << where;
                } else {
                    EXPECT_TRUE(result) << where;
                }
                EXPECT_EQ(snapshot(board, 1), after) << where;
                EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>()) << where;
            }
}

// How often a change waits for the disk: only for what recovery needs (for a patch the journal,
// its name and the records; for a rewrite the temporary files together, the names of those outside
// the header directory, the journal, its name, then the renames of each directory).
TEST(AreaStoreFaults, ChangesWaitForTheDiskOnlyWhereRecoveryNeedsIt)
{
    auto pointer = [](int32_t value) {
        std::vector<uint8_t> bytes(4);
        enc::putLong(bytes.data(), value);
        return bytes;
    };
    struct Case {
        const char* label;
        std::function<bool(AreaStore&)> run;
        int waits;
    };
    const std::vector<Case> cases {
        { "patch with a moved description",
            [&](AreaStore& s) {
                return bool(s.patchRecords(1, { "a longer text than before" },
                    { FieldPatch { AreaFileKind::Header, 0, HeaderRecord::kDescriptionPointerOffset, pointer(0), 0 },
                        FieldPatch { AreaFileKind::Index, 0, IndexRecord::kDescriptionPointerOffset, pointer(0), 0 },
                        FieldPatch { AreaFileKind::Header, 2, HeaderRecord::kCostOffset, { 7, 0 }, std::nullopt } }));
            },
            3 },
        { "patch in place",
            [](AreaStore& s) {
                return bool(s.patchRecords(1, {},
                    { FieldPatch { AreaFileKind::Header, 2, HeaderRecord::kCostOffset, { 7, 0 }, std::nullopt } }));
            },
            3 },
        { "sort",
            [](AreaStore& s) {
                return bool(s.rewrite(1, RewritePlan::permutation({ 2, 0, 1 })));
            },
            6 },
    };
    for (const Case& c : cases) {
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        makeBoard(board);
        FaultyFileIo io(systemFileIo());
        AreaStore store(io, board.fileBaseDir());
        store.setLateWriteWait(0, 0);
        ASSERT_TRUE(store.recover(1)) << c.label;
        io.resetCounts();
        ASSERT_TRUE(c.run(store)) << c.label;
        EXPECT_EQ(io.flushWaits(), c.waits) << c.label;
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>()) << c.label;
    }
}

} // namespace
} // namespace qv
