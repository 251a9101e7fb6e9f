#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::test {

void sweepFailingCalls(const std::string& label, const std::function<void(FaultyFileIo&)>& cleanRun,
    const std::function<void(FaultyFileIo::Op, int, const std::string&)>& each)
{
    std::array<int, size_t(FaultyFileIo::Op::Count)> counts {};
    {
        FaultyFileIo io(systemFileIo());
        cleanRun(io);
        for (auto kind : FaultyFileIo::kFailable)
            counts[size_t(kind)] = io.calls(kind);
    }
    for (auto kind : FaultyFileIo::kFailable)
        for (int n = 1; n <= counts[size_t(kind)]; ++n)
            each(kind, n, label + ", " + FaultyFileIo::name(kind) + " #" + std::to_string(n));
}

void sweepKills(const std::string& label, const KillSweep& sweep)
{
    for (int step = 1; step < sweep.limit; ++step) {
        const bool torn = sweep.torn || (sweep.tornOnEvenSteps && step % 2 == 0);
        const std::string where
            = label + ", killed at step " + std::to_string(step) + (torn ? " in the middle of a write" : "");
        if (sweep.prepare)
            sweep.prepare();
        const pid_t child = fork();
        ASSERT_GE(child, 0) << where;
        if (child == 0) {
            FaultyFileIo io(systemFileIo());
            io.resetCounts();
            io.crashAt(step, torn);
            // The child sets up through io first: its own calls are counted from here on.
            _exit(sweep.child(io) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child) << where;
        if (WIFEXITED(status)) {
            sweep.finished(where, WEXITSTATUS(status) == 0);
            return;
        }
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << where;
        sweep.killed(where);
    }
    ADD_FAILURE() << label << ": no run got to its end within " << sweep.limit << " steps";
}

} // namespace qv::test
