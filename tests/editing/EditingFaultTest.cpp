// A failing call or a killed process in the middle of an Apply, a global description or a
// comment insertion leaves area 1 old or new, and clean.

#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"
#include "storage/AreaCheck.h"
#include "tests/editing/EditingTestBoard.h"
#include "tests/support/FaultyFileIo.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace qv {
namespace {

using test::AreaBytes;
using test::EditingTestBoard;
using test::FaultyFileIo;

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
                return EntryProperties(b, 1).apply(3, c).outcome == PropertiesResult::Outcome::Written;
            } },
        { "Apply overwriting in place",
            [](const Board& b) {
                PropertyChanges c;
                c.uploader = "Zed";
                c.description = "short";
                return EntryProperties(b, 1).apply(0, c).outcome == PropertiesResult::Outcome::Written;
            } },
        { "global description over four entries",
            [](const Board& b) {
                return Descriptions(b, 1).giveAll({ 0, 1, 2, 3 }, "Same for all").outcome
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
        std::array<int, size_t(FaultyFileIo::Op::Count)> counts {};
        {
            FaultyFileIo io(systemFileIo());
            EditingTestBoard t(io);
            io.resetCounts();
            ASSERT_TRUE(op.run(*t.board)) << op.label;
            for (auto kind : FaultyFileIo::kFailable)
                counts[size_t(kind)] = io.calls(kind);
        }
        for (auto kind : FaultyFileIo::kFailable) {
            for (int n = 1; n <= counts[size_t(kind)]; ++n) {
                const std::string where
                    = std::string(op.label) + ", " + FaultyFileIo::name(kind) + " #" + std::to_string(n);
                FaultyFileIo io(systemFileIo());
                EditingTestBoard t(io);
                const AreaBytes before = t.bytes();
                io.resetCounts();
                io.failAt(kind, n, codes[n % 3]);
                if (op.run(*t.board)) {
                    EXPECT_EQ(t.bytes(), after) << where << ": success claimed for a change not in place";
                }
                expectOldOrNew(t, before, after, false, where);
            }
        }
    }
}

TEST(EditingFaults, AProcessKilledAtAnyStepLeavesTheAreaOldOrNew)
{
    for (const Operation& op : operations()) {
        const AreaBytes after = expectedAfter(op);
        for (bool torn : { false, true }) {
            bool finished = false;
            for (int step = 1; !finished && step < 200; ++step) {
                const std::string where = std::string(op.label) + ", killed at step " + std::to_string(step)
                    + (torn ? " in the middle of a write" : "");
                EditingTestBoard t;
                const AreaBytes before = t.bytes();
                const pid_t child = fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    FaultyFileIo io(systemFileIo());
                    t.open(io);
                    io.resetCounts();
                    io.crashAt(step, torn);
                    _exit(op.run(*t.board) ? 0 : 1);
                }
                int status = 0;
                ASSERT_EQ(waitpid(child, &status, 0), child);
                if (WIFEXITED(status)) {
                    EXPECT_EQ(WEXITSTATUS(status), 0) << where;
                    EXPECT_EQ(t.bytes(), after) << where;
                    finished = true;
                    continue;
                }
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << where;
                expectOldOrNew(t, before, after, true, where);
            }
            EXPECT_TRUE(finished) << op.label;
        }
    }
}

} // namespace
} // namespace qv
