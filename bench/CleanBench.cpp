// Cleaning an area of 100,000 entries that expires 10,000 of them, beside removing the same
// 10,000 entries with Remove and beside copying and flushing the three record files.

#include "bench/LargeArea.h"
#include "board/Board.h"
#include "editing/EntryRemover.h"
#include "storage/Encoding.h"
#include "tests/support/BoardBuilder.h"
#include "transfer/AreaCleaner.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kArea = 1;
constexpr int kEntries = 100000;
constexpr int kExpired = 10000;
const QDate kToday(2026, 12, 1);
using Clock = std::chrono::steady_clock;

using qv::bench::seconds;

struct Area {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<qv::Board> board;

    Area()
    {
        builder.writeConfig("Bench");
        builder.writeAreas({ { .name = "Files", .path = tmp.path() + "/files", .group = 1, .killDaysDownload = 30 } });
        std::filesystem::create_directories(tmp.path() + "/files");
        const int32_t recent = qv::enc::encodeDate({ 2026, 11, 20 });
        const int32_t old = qv::enc::encodeDate({ 2025, 1, 1 });
        qv::bench::writeLargeArea(builder, kArea, kEntries, [&](int i) {
            const std::string name = qv::bench::aliasName(i);
            return qv::bench::BenchEntry { name, i, "", recent, "A rather long file name " + std::to_string(i),
                "Description of entry " + std::to_string(i), i % 10 == 3 ? old : recent };
        });
        qv::Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<qv::Board>(o);
        qv::bench::keepOriginals(files());
    }
    std::vector<std::string> files() const
    {
        return { builder.headerPath(kArea), builder.indexPath(kArea), builder.longNamePath(kArea) };
    }
    void restore() { qv::bench::restoreOriginals(files()); }
};

Area& area()
{
    static Area a;
    return a;
}

double copyThree()
{
    return qv::bench::flushedCopies(area().files());
}

// Looking at the area and making the change (the preview's reading included) against loading it
// and removing the same entries: the files are not there, as in the removal benchmark.
void CleanExpired(benchmark::State& state)
{
    Area& a = area();
    std::vector<int> positions;
    for (int i = 3; i < kEntries; i += 10)
        positions.push_back(i);
    double cleanTime = 0, removeTime = 0, removeOnlyTime = 0, plainTime = 0;
    for (auto _ : state) {
        a.restore();
        auto start = Clock::now();
        const auto plan = qv::AreaCleaner::prepare(*a.board, { { kArea }, true, false, false, kToday });
        const auto outcome = qv::AreaCleaner(*a.board).apply(plan);
        const double s = seconds(Clock::now() - start);
        if (!outcome.ok() || outcome.areas.at(0).removed.size() != size_t(kExpired))
            state.SkipWithError("the clean failed");

        a.restore();
        start = Clock::now();
        const auto rows = a.board->loadArea(kArea, true).rows;
        const auto loaded = Clock::now();
        const auto removed = qv::EntryRemover(*a.board).remove(
            kArea, rows, positions, [](const QString&) { return qv::DeletionAnswer::Yes; });
        removeTime += seconds(Clock::now() - start);
        removeOnlyTime += seconds(Clock::now() - loaded);
        if (!removed.ok() || removed.removed.size() != size_t(kExpired))
            state.SkipWithError("the removal failed");
        plainTime += copyThree();
        cleanTime += s;
        state.SetIterationTime(s);
    }
    const double n = double(state.iterations());
    state.counters["remove_ms"] = 1000 * removeTime / n;
    state.counters["plain_ms"] = 1000 * plainTime / n;
    // The removal alone, its rows already loaded as the window holds them.
    state.counters["remove_only_ms"] = 1000 * removeOnlyTime / n;
    state.counters["ratio"] = cleanTime / removeTime;
    state.counters["ratio_to_remove_only"] = cleanTime / removeOnlyTime;
}

} // namespace

BENCHMARK(CleanExpired)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
