// A failing call or a killed process at any step of a clean leaves each area old or new, the area
// cleaned never new while its move area is old, no file deleted whose entry remains and every
// moved file in at least one of the two directories.

#include "tests/support/FaultSweep.h"
#include "tests/transfer/CleanTestBoard.h"
#include "transfer/AreaCleaner.h"

#include <gtest/gtest.h>

#include <optional>

namespace qv {
namespace {

using test::CleanTestBoard;
using test::FaultyFileIo;

struct Operation {
    const char* label;
    int area;
};
const std::vector<Operation> kOperations = { { "removing", 4 }, { "moving and removing", 1 } };
const std::vector<std::string> kMoved = { "OLDDL.ZIP", "NEVER.ZIP", "OLDFD.ZIP" };

AreaCleaner::Plan planOf(Board& board, int area)
{
    return AreaCleaner::prepare(board, { { area }, true, true, true, CleanTestBoard::kToday });
}

struct State {
    test::AreaBytes area, moveArea;
    std::vector<std::string> files, moveFiles;
};

State stateOf(const CleanTestBoard& t, int area)
{
    return { t.bytes(area), t.bytes(2), t.filesIn(area), t.filesIn(2) };
}

State expectedAfter(const Operation& op)
{
    CleanTestBoard t;
    t.fill(op.area);
    auto board = t.open();
    EXPECT_TRUE(AreaCleaner(*board).apply(planOf(*board, op.area)).ok()) << op.label;
    return stateOf(t, op.area);
}

bool contains(const std::vector<std::string>& v, const std::string& s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

void expectNothingLost(
    const CleanTestBoard& t, const Operation& op, const State& before, const State& after, const std::string& where)
{
    {
        auto board = t.open();
        EXPECT_FALSE(board->store().load(op.area, true).error) << where;
        EXPECT_FALSE(board->store().load(2, true).error) << where;
    }
    State now = stateOf(t, op.area);
    // A torn append cannot be told from text another program added: its bytes stay, unreferenced.
    auto& txt = now.moveArea.txt;
    if (txt.size() > before.moveArea.txt.size() && txt.size() < after.moveArea.txt.size()
        && std::equal(before.moveArea.txt.begin(), before.moveArea.txt.end(), txt.begin()))
        txt = before.moveArea.txt;
    const bool areaNew = now.area == after.area;
    const bool moveAreaNew = now.moveArea == after.moveArea;
    EXPECT_TRUE(areaNew || now.area == before.area) << where << ": neither old nor new";
    EXPECT_TRUE(moveAreaNew || now.moveArea == before.moveArea) << where << ": move area neither old nor new";
    EXPECT_FALSE(areaNew && !moveAreaNew) << where << ": entries left without reaching the move area";
    for (const std::string& f : areaNew ? after.files : before.files)
        EXPECT_TRUE(contains(now.files, f)) << where << ": " << f << " went while its entry stays";
    for (const std::string& f : op.area == 1 ? kMoved : std::vector<std::string>()) {
        EXPECT_TRUE(contains(now.files, f) || contains(now.moveFiles, f)) << where << ": " << f << " is lost";
    }
    EXPECT_EQ(AreaCheck::run(systemFileIo(), t.builder.fileBaseDir(), op.area), std::vector<std::string>()) << where;
    EXPECT_EQ(AreaCheck::run(systemFileIo(), t.builder.fileBaseDir(), 2), std::vector<std::string>()) << where;
    // The check may name only what a move killed half way leaves: a temporary copy, or a moved
    // file not yet deleted from the area it left.
    for (int area : { op.area, 2 })
        for (const std::string& line : t.check(area)) {
            const bool moved = std::any_of(
                kMoved.begin(), kMoved.end(), [&](const std::string& f) { return line.find(f) != line.npos; });
            EXPECT_TRUE(op.area == 1 && (moved || line.find(".qvcopy-") != line.npos)) << where << ": " << line;
        }
}

TEST(CleanFaults, EveryFailingCallLeavesEachAreaOldOrNewAndNothingLost)
{
    for (const Operation& op : kOperations) {
        const State after = expectedAfter(op);
        test::sweepFailingCalls(
            op.label,
            [&](FaultyFileIo& io) {
                CleanTestBoard t;
                t.fill(op.area);
                auto board = t.open(io);
                const auto plan = planOf(*board, op.area);
                io.resetCounts();
                ASSERT_TRUE(AreaCleaner(*board).apply(plan).ok()) << op.label;
            },
            [&](FaultyFileIo::Op kind, int n, const std::string& where) {
                CleanTestBoard t;
                t.fill(op.area);
                const State before = stateOf(t, op.area);
                FaultyFileIo io(systemFileIo());
                auto board = t.open(io);
                const auto plan = planOf(*board, op.area);
                io.resetCounts();
                io.failAt(kind, n, EIO);
                const bool ok = AreaCleaner(*board).apply(plan).ok();
                board.reset();
                if (!ok && op.area == 4) {
                    EXPECT_EQ(t.filesIn(op.area), before.files) << where << ": failed, yet deleted a file";
                }
                expectNothingLost(t, op, before, after, where);
            });
    }
}

TEST(CleanFaults, AProcessKilledAtAnyStepLeavesEachAreaOldOrNewAndNothingLost)
{
    for (const Operation& op : kOperations) {
        const State after = expectedAfter(op);
        std::optional<CleanTestBoard> t;
        State before;
        test::sweepKills(op.label,
            { .prepare =
                    [&] {
                        t.reset();
                        t.emplace();
                        t->fill(op.area);
                        before = stateOf(*t, op.area);
                    },
                .child =
                    [&](FaultyFileIo& io) {
                        auto board = t->open(io);
                        return AreaCleaner(*board).apply(planOf(*board, op.area)).ok();
                    },
                .killed = [&](const std::string& where) { expectNothingLost(*t, op, before, after, where); },
                .finished =
                    [&](const std::string& where, bool ok) {
                        EXPECT_TRUE(ok) << where;
                        const State now = stateOf(*t, op.area);
                        EXPECT_TRUE(now.area == after.area && now.moveArea == after.moveArea) << where;
                        EXPECT_EQ(now.files, after.files) << where;
                        EXPECT_EQ(now.moveFiles, after.moveFiles) << where;
                    },
                .tornOnEvenSteps = true });
    }
}

} // namespace
} // namespace qv
