// A failing call or a killed process during Remove (with its files), Update or a sort leaves the
// area's records old or new, never deletes the file of an entry that is still listed, and leaves
// the area clean for the check.

#include "editing/AreaSorter.h"
#include "editing/EntryRemover.h"
#include "editing/EntryUpdater.h"
#include "tests/editing/RemoveSortTestBoard.h"
#include "tests/support/FaultSweep.h"

namespace qv {
namespace {

using test::Entry;
using test::FaultyFileIo;

const std::vector<std::string> kFiles = { "A.ZIP", "B.ZIP", "C.ZIP", "D.ZIP", "E.ZIP" };

void makeBoard(test::RemoveSortTestBoard& t)
{
    t.builder.writeEntries(1,
        { Entry { .name = "C.ZIP", .size = 1, .description = "c", .longName = "c.zip" },
            Entry { .name = "A.ZIP", .size = 1, .description = "a" }, Entry { .name = "", .description = "comment" },
            Entry { .name = "E.ZIP", .size = 1, .description = "e" }, Entry { .name = "B.ZIP", .size = 1 },
            Entry { .name = "D.ZIP", .size = 1, .description = "d" } });
    for (const std::string& f : kFiles)
        t.putFile(f, "0123456789");
}

struct Operation {
    const char* label;
    std::function<bool(Board&, const std::vector<LoadedRow>&)> run;
    // Update leaves an entry whose file cannot be opened as it is: each header record is old or new.
    bool perRecord = false;
};

std::vector<Operation> operations()
{
    return {
        { "remove with its files",
            [](Board& b, const std::vector<LoadedRow>& rows) {
                return EntryRemover(b)
                    .remove(1, rows, { 1, 2, 4 }, [](const QString&) { return DeletionAnswer::YesToAll; })
                    .ok();
            } },
        { "sort by name descending",
            [](Board& b, const std::vector<LoadedRow>& rows) {
                return !AreaSorter(b).sort(1, rows, { SortKey::Name, true, {} }).error;
            } },
        { "update",
            [](Board& b, const std::vector<LoadedRow>& rows) {
                return !EntryUpdater(b).update(1, rows, { 0, 1, 3, 5 }).error;
            },
            true },
    };
}

struct State {
    test::AreaBytes records;
    std::vector<std::string> files;
};

State stateOf(const test::RemoveSortTestBoard& t)
{
    State s { t.bytes(), {} };
    for (const std::string& f : kFiles)
        if (test::fileExists(t.file(f)))
            s.files.push_back(f);
    return s;
}

State expectedAfter(const Operation& op)
{
    test::RemoveSortTestBoard t;
    makeBoard(t);
    auto board = t.open();
    EXPECT_TRUE(op.run(*board, board->store().load(1, true).rows)) << op.label;
    return stateOf(t);
}

// After the next load has recovered the area: the old records with every file, or the new records
// with at least the files the new records still name.
bool eachRecordOldOrNew(const test::AreaBytes& now, const test::AreaBytes& before, const test::AreaBytes& after)
{
    if (now.idx != before.idx || now.lfn != before.lfn || now.txt != before.txt || now.hdr.size() != before.hdr.size())
        return false;
    for (size_t at = 0; at < now.hdr.size(); at += HeaderRecord::kSize) {
        auto same = [&](const std::vector<uint8_t>& other) {
            return std::equal(
                now.hdr.begin() + long(at), now.hdr.begin() + long(at + HeaderRecord::kSize), other.begin() + long(at));
        };
        if (!same(before.hdr) && !same(after.hdr))
            return false;
    }
    return true;
}

void expectOldOrNew(const test::RemoveSortTestBoard& t, const State& before, const State& after,
    const std::string& where, bool perRecord = false)
{
    auto board = t.open();
    EXPECT_FALSE(board->store().load(1, true).error) << where;
    const State now = stateOf(t);
    if (perRecord) {
        EXPECT_TRUE(eachRecordOldOrNew(now.records, before.records, after.records)) << where;
        EXPECT_EQ(now.files, before.files) << where;
    } else if (now.records == before.records) {
        EXPECT_EQ(now.files, before.files) << where << ": a file went while its entry stays";
    } else {
        EXPECT_EQ(now.records, after.records) << where << ": neither the old nor the new records";
        for (const std::string& f : after.files)
            EXPECT_TRUE(test::fileExists(t.file(f))) << where << ": " << f;
    }
    EXPECT_EQ(t.check(), std::vector<std::string>()) << where;
}

TEST(RemoveSortFaults, EveryFailingCallLeavesOldOrNewAndNoListedEntryWithoutItsFile)
{
    for (const Operation& op : operations()) {
        const State after = expectedAfter(op);
        test::sweepFailingCalls(
            op.label,
            [&](FaultyFileIo& io) {
                test::RemoveSortTestBoard t;
                makeBoard(t);
                auto board = t.open(io);
                const auto rows = board->store().load(1, true).rows;
                io.resetCounts();
                ASSERT_TRUE(op.run(*board, rows)) << op.label;
            },
            [&](FaultyFileIo::Op kind, int n, const std::string& where) {
                test::RemoveSortTestBoard t;
                makeBoard(t);
                const State before = stateOf(t);
                FaultyFileIo io(systemFileIo());
                auto board = t.open(io);
                const auto rows = board->store().load(1, true).rows;
                io.resetCounts();
                io.failAt(kind, n, EIO);
                if (op.run(*board, rows)) {
                    // A failed deletion is ignored; the records are new all the same.
                    if (!op.perRecord) {
                        EXPECT_EQ(t.bytes(), after.records) << where;
                    }
                } else {
                    EXPECT_EQ(stateOf(t).files, before.files) << where << ": failed, yet deleted a file";
                }
                expectOldOrNew(t, before, after, where, op.perRecord);
            });
    }
}

TEST(RemoveSortFaults, AProcessKilledAtAnyStepLeavesOldOrNewAndNoListedEntryWithoutItsFile)
{
    for (const Operation& op : operations()) {
        const State after = expectedAfter(op);
        std::optional<test::RemoveSortTestBoard> t;
        State before;
        test::sweepKills(op.label,
            { .prepare =
                    [&] {
                        t.reset();
                        t.emplace();
                        makeBoard(*t);
                        before = stateOf(*t);
                    },
                .child =
                    [&](FaultyFileIo& io) {
                        auto board = t->open(io);
                        return op.run(*board, board->store().load(1, true).rows);
                    },
                .killed = [&](const std::string& where) { expectOldOrNew(*t, before, after, where); },
                .finished =
                    [&](const std::string& where, bool ok) {
                        EXPECT_TRUE(ok) << where;
                        EXPECT_EQ(stateOf(*t).records, after.records) << where;
                        EXPECT_EQ(stateOf(*t).files, after.files) << where;
                    },
                .tornOnEvenSteps = true,
                .limit = 200 });
    }
}

} // namespace
} // namespace qv
