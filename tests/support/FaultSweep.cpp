#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

namespace qv::test {

namespace {

using Op = FaultyFileIo::Op;

// A log's file without the number of the open it went through.
std::string pathOf(const std::string& file)
{
    const size_t mark = file.rfind('#');
    return mark == std::string::npos ? file : file.substr(0, mark);
}

bool isJournal(const std::string& file)
{
    std::string path = pathOf(file);
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return path.ends_with(".jnl") || path.ends_with(".j$$");
}

bool alwaysSwept(const FaultyFileIo::Call& call)
{
    switch (call.op) {
    case Op::Rename:
    case Op::Sync:
    case Op::StartSync:
    case Op::SyncDirectory:
    case Op::Remove:
    case Op::Lock:
    case Op::MakeDirectory:
        return true;
    default:
        return isJournal(call.file);
    }
}

} // namespace

std::vector<size_t> worthSweeping(const std::vector<FaultyFileIo::Call>& log)
{
    std::vector<bool> keep(log.size());
    std::map<Op, std::vector<size_t>> runOf; // the current run of each kind
    auto close = [&](const std::vector<size_t>& run) {
        if (run.empty())
            return;
        keep[run.front()] = true;
        keep[run[std::min<size_t>(1, run.size() - 1)]] = true;
        keep[run.back()] = true;
    };
    for (size_t i = 0; i < log.size(); ++i) {
        auto& run = runOf[log[i].op];
        if (!run.empty() && pathOf(log[run.back()].file) != pathOf(log[i].file)) {
            close(run);
            run.clear();
        }
        run.push_back(i);
        keep[i] = keep[i] || alwaysSwept(log[i]);
    }
    for (const auto& [op, run] : runOf)
        close(run);
    std::vector<size_t> out;
    for (size_t i = 0; i < log.size(); ++i)
        if (keep[i])
            out.push_back(i);
    return out;
}

std::vector<FailingCall> callsWorthFailing(const std::function<void(FaultyFileIo&)>& cleanRun)
{
    FaultyFileIo io(systemFileIo());
    cleanRun(io);
    const auto log = io.callLog();
    std::vector<int> numbers(log.size()); // each call's number within its kind
    std::array<int, size_t(Op::Count)> counts {};
    for (size_t i = 0; i < log.size(); ++i)
        numbers[i] = ++counts[size_t(log[i].op)];
    const auto chosen = worthSweeping(log);
    std::vector<FailingCall> out;
    for (auto kind : FaultyFileIo::kFailable)
        for (size_t i : chosen)
            if (log[i].op == kind)
                out.push_back({ kind, numbers[i] });
    return out;
}

void sweepFailingCalls(const std::string& label, const std::function<void(FaultyFileIo&)>& cleanRun,
    const std::function<void(FaultyFileIo::Op, int, const std::string&)>& each)
{
    for (const auto& [kind, n] : callsWorthFailing(cleanRun))
        each(kind, n, label + ", " + FaultyFileIo::name(kind) + " #" + std::to_string(n));
}

namespace {

// The steps of one child run to its end, as its io logged them.
bool stepsOfACleanChild(const KillSweep& sweep, std::vector<FaultyFileIo::Call>& steps)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    if (sweep.prepare)
        sweep.prepare();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::close(fds[0]);
        FaultyFileIo io(systemFileIo());
        io.resetCounts();
        (void)sweep.child(io);
        std::string text;
        for (const auto& call : io.stepLog())
            text += char('A' + int(call.op)) + call.file + '\n';
        for (size_t at = 0; at < text.size();) {
            const ssize_t n = ::write(fds[1], text.data() + at, text.size() - at);
            if (n <= 0)
                _exit(2);
            at += size_t(n);
        }
        _exit(0);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        steps.push_back({ Op(text[at] - 'A'), text.substr(at + 1, end - at - 1) });
        at = end + 1;
    }
    return true;
}

} // namespace

void sweepKills(const std::string& label, const KillSweep& sweep)
{
    std::vector<FaultyFileIo::Call> log;
    ASSERT_TRUE(stepsOfACleanChild(sweep, log)) << label << ": the run that notes the steps failed";
    std::vector<int> steps;
    const auto chosen = worthSweeping(log);
    for (size_t i = 0; i < chosen.size(); i += size_t(std::max(1, sweep.sampleEvery)))
        steps.push_back(int(chosen[i]) + 1);
    // Past the last step noted: a child that runs to its end, or more steps than noted.
    for (int step = int(log.size()) + 1; step < sweep.limit; ++step)
        steps.push_back(step);
    for (const int step : steps) {
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

void sweepChange(const ChangeSweep& c)
{
    std::optional<TempDir> tmp;
    std::optional<BoardBuilder> board;
    AreaBytes before;
    auto fresh = [&] {
        board.reset();
        tmp.emplace();
        board.emplace(tmp->path());
        c.make(*board);
        before = areaBytes(*board, c.area);
    };
    fresh();
    ASSERT_TRUE(c.run(systemFileIo(), *board)) << c.label;
    const AreaBytes after = areaBytes(*board, c.area);
    if (c.failCalls) {
        const int codes[] = { ENOSPC, EIO, EACCES };
        const auto calls = callsWorthFailing([&](FaultyFileIo& io) {
            fresh();
            ASSERT_TRUE(c.run(io, *board)) << c.label;
        });
        for (size_t k = 0; k < calls.size(); k += size_t(std::max(1, c.sampleEvery)))
            for (const bool torn : { false, true }) {
                const auto [kind, n] = calls[k];
                if (torn && (!c.tearFailedWrites || kind != FaultyFileIo::Op::Write))
                    continue;
                const std::string where
                    = c.label + ", " + FaultyFileIo::name(kind) + " #" + std::to_string(n) + (torn ? " torn" : "");
                fresh();
                FaultyFileIo io(systemFileIo());
                io.failAt(kind, n, codes[(k + torn) % 3]);
                io.tearFailedWrites(torn);
                if (c.run(io, *board)) {
                    EXPECT_EQ(areaBytes(*board, c.area), after) << where << ": success claimed";
                }
                (c.checkFailed ? c.checkFailed : c.check)(*board, before, after, where);
            }
    }
    for (const bool torn : c.torn)
        sweepKills(c.label,
            { .prepare = fresh,
                .child = [&](FaultyFileIo& io) { return c.run(io, *board); },
                .killed = [&](const std::string& where) { c.check(*board, before, after, where); },
                .finished =
                    [&](const std::string& where, bool ok) {
                        EXPECT_TRUE(ok) << where;
                        EXPECT_EQ(areaBytes(*board, c.area), after) << where;
                    },
                .torn = torn,
                .limit = c.limit,
                .sampleEvery = c.sampleEvery });
}

} // namespace qv::test
