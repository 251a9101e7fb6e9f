#pragma once

// One changing command through both sweeps of FaultSweep, each run on a fresh board: every file
// call it makes failing in turn, and the process killed at every changing step. The test says
// what "old or new" means for its command.
//
//   test::sweepCommand<Board, State>({ .label = "sort",
//       .make = [] { return std::make_unique<Board>(); },
//       .start = [](Board& b, FileIo& io, bool) { ...open through io...; return [=] { return run(); }; },
//       .state = [](const Board& b) { return b.state(); },
//       .expect = [](const Board& b, const State& before, const State& after, Ran ran, auto& where) { ... } });

#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv::test {

// How the run under a fault ended: a failing call it reported, or went through, or a kill.
enum class Ran { Failed, Succeeded, Killed };

template <class Fixture, class State> struct CommandSweep {
    std::string label;
    // A fresh board; nullptr skips the command (a program it needs is missing).
    std::function<std::unique_ptr<Fixture>()> make;
    // Opens the board through io and readies the command; what it returns runs it (true: success).
    // Calls made before the run are not swept.
    std::function<std::function<bool()>(Fixture&, FileIo& io, bool killing)> start;
    std::function<State(const Fixture&)> state;
    // What is left after a fault, given the state before and after a clean run.
    std::function<void(const Fixture&, const State& before, const State& after, Ran, const std::string& where)> expect;
    bool tornEveryStep = false; // kills plain and then torn at every step; else torn on even steps
    int killLimit = 300;
};

template <class Fixture, class State> void sweepCommand(const CommandSweep<Fixture, State>& c)
{
    State after;
    {
        auto f = c.make();
        if (!f)
            return;
        ASSERT_TRUE(c.start(*f, systemFileIo(), false)()) << c.label;
        after = c.state(*f);
    }
    const int codes[] = { ENOSPC, EIO, EACCES };
    sweepFailingCalls(
        c.label,
        [&](FaultyFileIo& io) {
            auto f = c.make();
            auto run = c.start(*f, io, false);
            io.resetCounts();
            ASSERT_TRUE(run()) << c.label;
        },
        [&](FaultyFileIo::Op kind, int n, const std::string& where) {
            auto f = c.make();
            const State before = c.state(*f);
            FaultyFileIo io(systemFileIo());
            auto run = c.start(*f, io, false);
            io.resetCounts();
            io.failAt(kind, n, codes[n % 3]);
            const bool ok = run();
            run = nullptr; // closes the board before the next one looks
            c.expect(*f, before, after, ok ? Ran::Succeeded : Ran::Failed, where);
        });
    std::unique_ptr<Fixture> f;
    State before;
    for (int pass = 0; pass < (c.tornEveryStep ? 2 : 1); ++pass)
        sweepKills(c.label,
            { .prepare =
                    [&] {
                        f.reset();
                        f = c.make();
                        before = c.state(*f);
                    },
                .child = [&](FaultyFileIo& io) { return c.start(*f, io, true)(); },
                .killed = [&](const std::string& where) { c.expect(*f, before, after, Ran::Killed, where); },
                .finished =
                    [&](const std::string& where, bool ok) {
                        EXPECT_TRUE(ok) << where;
                        EXPECT_TRUE(c.state(*f) == after) << where << ": not the state of a clean run";
                    },
                .torn = pass == 1,
                .tornOnEvenSteps = !c.tornEveryStep,
                .limit = c.killLimit });
}

} // namespace qv::test
