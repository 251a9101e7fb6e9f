// `qvtool stat` on an area of 100,000 entries whose long names are aliases of their 8.3 names,
// as a whole process beside `cat` of the area's header and long-name files, in the same run. The
// start-up (the same command on an empty area of the same board) is subtracted from ours; "ratio"
// is the median of (stat - start-up) / cat, with its spread. Stat also reads the index and
// description files for what a pack would reclaim: "ratio_all_files" is the same beside `cat` of
// all four files it reads.
#include "bench/LargeArea.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kEntries = 100000;

struct StatBoard {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::string ini = tmp.path() + "/QV.INI";

    StatBoard()
    {
        builder.writeConfig("Bench");
        builder.writeAreas({ { "Large", tmp.path() + "/files", 1 }, { "Empty", tmp.path() + "/files", 1 } });
        qv::bench::writeLargeArea(builder, 1, kEntries, [](int i) {
            char longName[64];
            std::snprintf(longName, sizeof longName, "A rather long file name number %07d.zip", i);
            return qv::bench::BenchEntry { qv::bench::aliasName(i), 1000 + i, i % 3 ? "Ann Lee" : "", 0x1CA50000,
                longName, "Description of entry " + std::to_string(i) };
        });
        builder.writeEntries(2, {});
        qv::test::writeFile(ini, "[Veltrano FE]\nRaDir=" + builder.boardDir() + "\n");
    }
};

// Seconds a program takes from start to exit, its output thrown away.
double run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

void StatBesideCat(benchmark::State& state)
{
    static StatBoard b;
    const std::string tool = QVTOOL_PATH;
    qv::bench::Ratios ratios, allFiles;
    double catTotal = 0, startTotal = 0;
    for (auto _ : state) {
        const double stat = run({ tool, "--settings", b.ini, "stat", "1" });
        const double startUp = run({ tool, "--settings", b.ini, "stat", "2" });
        const double cat = run({ "cat", b.builder.headerPath(1), b.builder.longNamePath(1) });
        const double catAll = run({ "cat", b.builder.headerPath(1), b.builder.longNamePath(1), b.builder.indexPath(1),
            b.builder.descriptionPath(1) });
        if (stat < 0 || startUp < 0 || cat < 0 || catAll < 0) {
            state.SkipWithError("a program failed");
            return;
        }
        ratios.add(stat - startUp, cat);
        allFiles.add(stat - startUp, catAll);
        catTotal += cat;
        startTotal += startUp;
        state.SetIterationTime(stat - startUp);
    }
    state.counters["cat_ms"] = 1000 * catTotal / double(state.iterations());
    state.counters["startup_ms"] = 1000 * startTotal / double(state.iterations());
    ratios.report(state);
    allFiles.report(state, "ratio_all_files");
}

} // namespace

BENCHMARK(StatBesideCat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(21);
BENCHMARK_MAIN();
