// Sorting and removing on 100,000 entries with long names, each beside what the store alone does
// for the same change (a permutation or removal rewrite) and beside a plain copy of the three
// record files, measured in the same run. "ratio" (median, ratio_min, ratio_max) is the sort's time over
// the plain copy's, "over_store" the command's over the store's.
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "editing/AreaSorter.h"
#include "editing/EntryRemover.h"

#include "tests/support/BoardBuilder.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace {

constexpr int kArea = 1;
constexpr int kEntries = 100000;
using Clock = std::chrono::steady_clock;

using qv::bench::seconds;

struct Area {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<qv::Board> board;

    Area()
    {
        builder.writeConfig("Bench");
        builder.writeAreas({ { "Files", tmp.path() + "/files", 1 } });
        std::filesystem::create_directories(tmp.path() + "/files");
        std::mt19937 random(7);
        qv::bench::writeLargeArea(builder, kArea, kEntries, [&random](int i) {
            // Short names are the aliases of the long names, as on a board.
            const std::string name = qv::bench::aliasName(i);
            const auto size = int32_t(random() % 100000);
            // Long names in no particular order, as uploads come.
            std::string longName = "A rather long file name " + std::to_string(random() % 1000000) + " " + name;
            return qv::bench::BenchEntry { name, size, "", 0, std::move(longName),
                "Description of entry " + std::to_string(i) };
        });
        qv::Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<qv::Board>(o);
        save();
    }
    std::vector<std::string> files() const
    {
        return { builder.headerPath(kArea), builder.indexPath(kArea), builder.longNamePath(kArea) };
    }
    // The area as built, put back before each measured change.
    void save() { qv::bench::keepOriginals(files()); }
    void restore() { qv::bench::restoreOriginals(files()); }
    qv::LoadedRows rows(bool longNames = true) { return board->store().load(kArea, longNames).rows; }
};

Area& area()
{
    static Area a;
    return a;
}

// Copies the three record files in 1 MiB blocks and flushes the copies.
double copyThree()
{
    return qv::bench::flushedCopies(area().files());
}

void SortAllByName(benchmark::State& state)
{
    Area& a = area();
    qv::AreaSorter sorter(*a.board);
    double sortTime = 0, storeTime = 0, plainTime = 0, reloadTime = 0;
    qv::bench::Ratios overPlain;
    for (auto _ : state) {
        a.restore();
        const auto rows = a.rows();
        const auto order = qv::AreaSorter::order(rows, { qv::SortKey::Name, false, {} }, a.board->codePage());
        auto start = Clock::now();
        const auto outcome = sorter.sort(kArea, rows, { qv::SortKey::Name, false, {} });
        const double s = seconds(Clock::now() - start);
        if (outcome.error || !outcome.changed)
            state.SkipWithError("the sort failed");
        // What the window does next: the area read again into the list.
        start = Clock::now();
        benchmark::DoNotOptimize(a.rows().data());
        reloadTime += seconds(Clock::now() - start);

        a.restore();
        start = Clock::now();
        if (!a.board->store().rewrite(kArea, qv::RewritePlan::permutation(order)))
            state.SkipWithError("the rewrite failed");
        storeTime += seconds(Clock::now() - start);
        const double plain = copyThree();
        plainTime += plain;
        overPlain.add(s, plain);
        sortTime += s;
        state.SetIterationTime(s);
    }
    const double n = double(state.iterations());
    state.counters["store_ms"] = 1000 * storeTime / n;
    state.counters["plain_ms"] = 1000 * plainTime / n;
    state.counters["reload_ms"] = 1000 * reloadTime / n;
    state.counters["over_store"] = sortTime / storeTime;
    // The sort over copying and flushing the three files.
    overPlain.report(state);
}

void RemoveScattered(benchmark::State& state)
{
    Area& a = area();
    std::vector<int> positions;
    std::vector<uint64_t> plan;
    for (int i = 0; i < 1000; ++i) {
        positions.push_back(i * (kEntries / 1000) + (i * 37) % 100);
        plan.push_back(uint64_t(positions.back()));
    }
    qv::EntryRemover remover(*a.board);
    double removeTime = 0, storeTime = 0, plainTime = 0;
    for (auto _ : state) {
        a.restore();
        const auto rows = a.rows();
        auto start = Clock::now();
        // The files are not there: each row counts as answered Yes without a question.
        const auto outcome
            = remover.remove(kArea, rows, positions, [](const QString&) { return qv::DeletionAnswer::Yes; });
        const double s = seconds(Clock::now() - start);
        if (!outcome.ok() || outcome.removed.size() != 1000)
            state.SkipWithError("the removal failed");

        a.restore();
        start = Clock::now();
        if (!a.board->store().rewrite(kArea, qv::RewritePlan::removal(kEntries, plan)))
            state.SkipWithError("the rewrite failed");
        storeTime += seconds(Clock::now() - start);
        plainTime += copyThree();
        removeTime += s;
        state.SetIterationTime(s);
    }
    const double n = double(state.iterations());
    state.counters["store_ms"] = 1000 * storeTime / n;
    state.counters["plain_ms"] = 1000 * plainTime / n;
    state.counters["ratio"] = removeTime / storeTime;
}

} // namespace

BENCHMARK(SortAllByName)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(RemoveScattered)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK_MAIN();
