#pragma once

// The two sweeps every changing command is put through: each of its file calls failing in
// turn, and the process killed at each of its changing steps in turn. Of a run of calls of one
// kind to one file (the 40th write of a temporary file fails as the 2nd does) only the first,
// second and last are swept; renames, flushes, removals, locks and journal writes all are.
//
//   test::sweepFailingCalls(label,
//       [&](FaultyFileIo& io) { Board b(..., io); io.resetCounts(); run(b); },   // a clean run, counted
//       [&](FaultyFileIo::Op kind, int n, const std::string& where) { ... io.failAt(kind, n, EIO) ... });
//
//   test::sweepKills(label, {
//       .prepare = [&] { board.emplace(); },                       // fresh state, before each fork
//       .child = [&](FaultyFileIo& io) { ...; return run(); },     // counts reset, crash set
//       .killed = [&](const std::string& where) { check(where); },
//       .finished = [&](const std::string& where, bool ok) { ... } });

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultyFileIo.h"

#include <functional>
#include <string>
#include <vector>

namespace qv::test {

// Of the calls or steps in log, the ones worth sweeping: indices into log, in order.
std::vector<size_t> worthSweeping(const std::vector<FaultyFileIo::Call>& log);

struct FailingCall {
    FaultyFileIo::Op kind;
    int n; // counted within its kind, from 1
};
// The calls worth failing of the clean run (see sweepFailingCalls), by kind, then in order.
std::vector<FailingCall> callsWorthFailing(const std::function<void(FaultyFileIo&)>& cleanRun);

// cleanRun sets up through the io it is given, resets its counts where counting starts and runs
// the operation once; then each(kind, n, where) runs for every call worth failing of that run.
void sweepFailingCalls(const std::string& label, const std::function<void(FaultyFileIo&)>& cleanRun,
    const std::function<void(FaultyFileIo::Op, int, const std::string&)>& each);

struct KillSweep {
    std::function<void()> prepare; // in this process, before each fork
    // In the child: io's counts are reset and it kills the process at the step; returns success.
    std::function<bool(FaultyFileIo& io)> child;
    std::function<void(const std::string& where)> killed; // after a child was killed
    // After the first child that got through all its steps (ok: it reported success).
    std::function<void(const std::string& where, bool ok)> finished;
    bool torn = false; // the killing write puts half its bytes on disk first
    bool tornOnEvenSteps = false;
    int limit = 300;
    int sampleEvery = 1; // kills at every n-th of the steps worth sweeping only
};
// A first child notes its steps; then kills at each step worth sweeping and lets one child run to
// its end; fails the test if none does by limit.
void sweepKills(const std::string& label, const KillSweep& sweep);

// Both sweeps of one change of an area, each run on a board made afresh: a run that claims success
// leaves the new files; after each failed or killed run, check judges what it left. Failing calls
// fail with ENOSPC, EIO and EACCES in turn.
struct ChangeSweep {
    using Check
        = std::function<void(BoardBuilder&, const AreaBytes& before, const AreaBytes& after, const std::string& where)>;
    std::string label;
    std::function<void(BoardBuilder&)> make;
    std::function<bool(FileIo& io, BoardBuilder&)> run; // the change, through io
    Check check;
    Check checkFailed = nullptr; // after a failing call, when it differs from check
    int area = 1;
    bool failCalls = true; // the failing-call sweep; the kill sweep always runs
    bool tearFailedWrites = false; // each failing write is also swept failing half done
    std::vector<bool> torn = { true }; // a kill sweep for each: the killing write torn or not
    int limit = 300;
    int sampleEvery = 1; // of the calls and steps worth sweeping
};
void sweepChange(const ChangeSweep& sweep);

} // namespace qv::test
