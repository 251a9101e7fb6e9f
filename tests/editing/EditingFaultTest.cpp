// A failing call or a killed process in the middle of an Apply, a global description or a
// comment insertion leaves area 1 old or new, and clean.

#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"
#include "storage/AreaCheck.h"
#include "tests/editing/EditingTestBoard.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::AreaBytes;
using test::EditingTestBoard;
using test::FaultyFileIo;
using test::shownAt;

struct Operation {
    const char* label;
    // true when the work reported success
    std::function<bool(const Board&)> run;
};

std::vector<Operation> operations()
{
    return {
        { "Apply with a moved description",
            [](const Board& b) {
                PropertyChanges c;
                c.downloads = 7;
                c.keywords = std::array<QString, 5> { "k1", "k2" };
                c.description = "a description longer than the old one";
                return EntryProperties(b, 1).apply(shownAt(b, 1, 3), c).outcome == PropertiesResult::Outcome::Written;
            } },
        { "Apply overwriting in place",
            [](const Board& b) {
                PropertyChanges c;
                c.uploader = "Zed";
                c.description = "short";
                return EntryProperties(b, 1).apply(shownAt(b, 1, 0), c).outcome == PropertiesResult::Outcome::Written;
            } },
        { "global description over four entries",
            [](const Board& b) {
                return Descriptions(b, 1).giveAll(shownAt(b, 1, { 0, 1, 2, 3 }), "Same for all").outcome
                    == DescriptionsResult::Outcome::Written;
            } },
        { "comment insertion",
            [](const Board& b) {
                return Descriptions(b, 1).insertComment(2, "-- section --", "Sysop").outcome
                    == DescriptionsResult::Outcome::Written;
            } },
    };
}

AreaBytes expectedAfter(const Operation& op)
{
    EditingTestBoard t;
    EXPECT_TRUE(op.run(*t.board)) << op.label;
    return t.bytes();
}

// After a clean load: the old records with the old description file (or, after a crash, one that
// still holds unused appended text), or exactly the new files; no journal left; check clean.
void expectOldOrNew(
    EditingTestBoard& t, const AreaBytes& before, const AreaBytes& after, bool mayKeepText, const std::string& where)
{
    t.open();
    EXPECT_FALSE(t.board->store().load(1, true).error) << where;
    const AreaBytes now = t.bytes();
    if (now.hdr == before.hdr && now.idx == before.idx && now.lfn == before.lfn) {
        const bool oldText = now.txt == before.txt;
        const bool keptText = mayKeepText && now.txt.size() > before.txt.size()
            && std::equal(before.txt.begin(), before.txt.end(), now.txt.begin());
        EXPECT_TRUE(oldText || keptText) << where << ": description file";
    } else {
        EXPECT_EQ(now, after) << where << ": neither the old nor the new files";
    }
    EXPECT_EQ(AreaCheck::run(systemFileIo(), t.board->store().fileBaseDir(), 1), std::vector<std::string>()) << where;
}

TEST(EditingFaults, EveryFailingCallLeavesTheAreaOldOrNew)
{
    const int codes[] = { ENOSPC, EIO, EACCES };
    for (const Operation& op : operations()) {
        const AreaBytes after = expectedAfter(op);
        test::sweepFailingCalls(
            op.label,
            [&](FaultyFileIo& io) {
                EditingTestBoard t(io);
                io.resetCounts();
                ASSERT_TRUE(op.run(*t.board)) << op.label;
            },
            [&](FaultyFileIo::Op kind, int n, const std::string& where) {
                FaultyFileIo io(systemFileIo());
                EditingTestBoard t(io);
                const AreaBytes before = t.bytes();
                io.resetCounts();
                io.failAt(kind, n, codes[n % 3]);
                if (op.run(*t.board)) {
                    EXPECT_EQ(t.bytes(), after) << where << ": success claimed for a change not in place";
                }
                expectOldOrNew(t, before, after, false, where);
            });
    }
}

TEST(EditingFaults, AProcessKilledAtAnyStepLeavesTheAreaOldOrNew)
{
    for (const Operation& op : operations()) {
        const AreaBytes after = expectedAfter(op);
        for (bool torn : { false, true }) {
            std::optional<EditingTestBoard> t;
            AreaBytes before;
            test::sweepKills(op.label,
                { .prepare =
                        [&] {
                            t.reset();
                            t.emplace();
                            before = t->bytes();
                        },
                    .child =
                        [&](FaultyFileIo& io) {
                            t->open(io);
                            return op.run(*t->board);
                        },
                    .killed = [&](const std::string& where) { expectOldOrNew(*t, before, after, true, where); },
                    .finished =
                        [&](const std::string& where, bool ok) {
                            EXPECT_TRUE(ok) << where;
                            EXPECT_EQ(t->bytes(), after) << where;
                        },
                    .torn = torn,
                    .limit = 200 });
        }
    }
}

} // namespace
} // namespace qv
