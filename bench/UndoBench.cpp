// Undo and redo of a sort of 100,000 entries with long names, beside the sort itself (with and
// without the undo keeping what it replaces) and a plain flushed copy of the three record files,
// measured in the same run. kept_bytes is what the step keeps in the undo directory.
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "board/UndoStack.h"
#include "editing/AreaSorter.h"

#include "tests/support/BoardBuilder.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <chrono>
#include <filesystem>
#include <random>

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
            const std::string name = qv::bench::aliasName(i);
            std::string longName = "A rather long file name " + std::to_string(random() % 1000000) + " " + name;
            return qv::bench::BenchEntry { name, int32_t(random() % 100000), "", 0, std::move(longName),
                "Description of entry " + std::to_string(i) };
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

void UndoOfASort(benchmark::State& state)
{
    Area a;
    qv::AreaSorter sorter(*a.board);
    const qv::SortRequest byName { qv::SortKey::Name, false, {} };
    double plainSort = 0, keptSort = 0, undoTime = 0, redoTime = 0, copyTime = 0;
    uint64_t kept = 0;
    for (auto _ : state) {
        a.restore();
        auto rows = a.board->store().load(kArea, true).rows;
        auto start = Clock::now();
        if (sorter.sort(kArea, rows, byName).error)
            state.SkipWithError("the sort failed");
        plainSort += seconds(Clock::now() - start);

        a.restore();
        rows = a.board->store().load(kArea, true).rows;
        qv::UndoStack stack(*a.board, QString::fromStdString(a.tmp.path() + "/undo"));
        start = Clock::now();
        stack.begin(QStringLiteral("Sort"));
        if (sorter.sort(kArea, rows, byName).error)
            state.SkipWithError("the sort failed");
        stack.end();
        keptSort += seconds(Clock::now() - start);
        kept = stack.bytesKept();

        start = Clock::now();
        const bool undone = stack.undo().done;
        const double u = seconds(Clock::now() - start);
        undoTime += u;
        start = Clock::now();
        const bool redone = stack.redo().done;
        redoTime += seconds(Clock::now() - start);
        if (!undone || !redone)
            state.SkipWithError("the undo or redo failed");
        copyTime += qv::bench::flushedCopies(a.files());
        state.SetIterationTime(u);
    }
    const double n = double(state.iterations());
    state.counters["sort_ms"] = 1000 * plainSort / n;
    state.counters["sort_kept_ms"] = 1000 * keptSort / n;
    state.counters["undo_ms"] = 1000 * undoTime / n;
    state.counters["redo_ms"] = 1000 * redoTime / n;
    state.counters["plain_copy_ms"] = 1000 * copyTime / n;
    state.counters["undo_over_sort"] = undoTime / plainSort;
    state.counters["kept_bytes"] = double(kept);
}

} // namespace

BENCHMARK(UndoOfASort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
