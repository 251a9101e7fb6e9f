#pragma once

// The two sweeps every changing command is put through: each of its file calls failing in
// turn, and the process killed at each of its changing steps in turn.
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

#include "tests/support/FaultyFileIo.h"

#include <functional>
#include <string>

namespace qv::test {

// cleanRun sets up through the io it is given, resets its counts where counting starts and runs
// the operation once; then each(kind, n, where) runs for every failable kind and every n up to
// the calls of that kind the clean run made.
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
};
// Kills at step 1, 2, ... until a child runs to its end; fails the test if none does by limit.
void sweepKills(const std::string& label, const KillSweep& sweep);

} // namespace qv::test
