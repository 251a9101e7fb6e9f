// Transfers on large areas, each beside the plain operation in the same run:
// - moving 1,000 entries (records and descriptions; their files are not there) from one area of
//   100,000 entries to another, beside one rewrite of both areas by the store;
// - copying one 200 MB file with progress, beside cp of the same file (and cp followed by sync,
//   since the copy is flushed before it takes its name): on this thread (qvtool) and, argument 1,
//   on the worker thread while this one runs its event loop (the window).
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "transfer/EntryTransfer.h"
#include "transfer/FileCopier.h"

#include "tests/support/BoardBuilder.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

constexpr int kEntries = 100000;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Areas {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<qv::Board> board;

    Areas()
    {
        builder.writeConfig("Bench");
        builder.writeAreas({ { "One", tmp.path() + "/one", 1 }, { "Two", tmp.path() + "/two", 1 } });
        std::filesystem::create_directories(tmp.path() + "/one");
        std::filesystem::create_directories(tmp.path() + "/two");
        for (int area : { 1, 2 }) {
            std::mt19937 random { unsigned(area) };
            qv::bench::writeLargeArea(builder, area, kEntries, [&random](int i) {
                const std::string name = qv::bench::aliasName(i);
                return qv::bench::BenchEntry { name, int32_t(random() % 100000), "", 0,
                    "A rather long file name " + std::to_string(random() % 1000000) + " " + name,
                    "Description of entry " + std::to_string(i) + "\r\nwith a second line" };
            });
        }
        qv::Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<qv::Board>(o);
        for (const std::string& f : files())
            std::filesystem::copy_file(f, f + ".orig", std::filesystem::copy_options::overwrite_existing);
    }
    std::vector<std::string> files() const
    {
        std::vector<std::string> out;
        for (int area : { 1, 2 })
            for (const std::string& f : { builder.headerPath(area), builder.indexPath(area), builder.longNamePath(area),
                     builder.descriptionPath(area) })
                out.push_back(f);
        return out;
    }
    void restore()
    {
        for (const std::string& f : files())
            std::filesystem::copy_file(f + ".orig", f, std::filesystem::copy_options::overwrite_existing);
    }
};

void MoveThousandEntriesBetweenAreas(benchmark::State& state)
{
    static Areas a;
    std::vector<uint64_t> positions;
    for (int i = 0; i < 1000; ++i)
        positions.push_back(uint64_t(i * (kEntries / 1000) + (i * 37) % 100));
    double moveTime = 0, storeTime = 0;
    for (auto _ : state) {
        a.restore();
        const auto rows = a.board->store().load(1, true).rows;
        qv::EntryTransfer::Request r;
        r.source = 1;
        for (uint64_t p : positions)
            r.entries.push_back({ p, rows[size_t(p)] });
        r.move = true;
        r.area = 2;
        auto start = Clock::now();
        const auto outcome = qv::EntryTransfer(*a.board).run(r);
        const double s = seconds(Clock::now() - start);
        if (!outcome.ok() || outcome.removed.size() != 1000 || outcome.inserted.size() != 1000)
            state.SkipWithError("the move failed");

        // The plain operation: both areas rewritten once, record for record.
        a.restore();
        start = Clock::now();
        for (int area : { 1, 2 }) {
            qv::RewritePlan all;
            all.keep(0, kEntries);
            if (!a.board->store().rewrite(area, all))
                state.SkipWithError("the rewrite failed");
        }
        storeTime += seconds(Clock::now() - start);
        moveTime += s;
        state.SetIterationTime(s);
    }
    const double n = double(state.iterations());
    state.counters["rewrite_both_ms"] = 1000 * storeTime / n;
    state.counters["ratio"] = moveTime / storeTime;
}

void CopyLargeFileWithProgress(benchmark::State& state)
{
    static qv::test::TempDir tmp;
    const std::string source = tmp.path() + "/big.bin";
    const std::string out = tmp.path() + "/out";
    if (!std::filesystem::exists(source)) {
        std::vector<uint8_t> bytes(size_t(200) << 20);
        std::mt19937 random(3);
        for (size_t i = 0; i < bytes.size(); i += 4096)
            bytes[i] = uint8_t(random());
        qv::test::writeFile(source, bytes);
        std::filesystem::create_directories(out);
    }
    const bool onWorker = state.range(0) != 0;
    if (onWorker && !QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "transfer_bench";
        static char* argv[] = { name, nullptr };
        static QCoreApplication app(argc, argv);
    }
    const QString from = QString::fromStdString(source);
    const QString into = QString::fromStdString(out);
    double copyTime = 0, cpTime = 0, cpSyncTime = 0, beforeFlush = 0;
    const std::string cp = "cp " + source + " " + out + "/cp.bin";
    const std::string cpSync = cp + " && sync " + out + "/cp.bin";
    for (auto _ : state) {
        std::filesystem::remove(out + "/big.bin");
        qv::FileCopier::Callbacks callbacks;
        callbacks.onWorker = onWorker;
        qint64 reported = 0;
        Clock::time_point copied;
        callbacks.progress = [&reported, &copied](qint64 done, qint64 total) {
            reported = done;
            if (done == total)
                copied = Clock::now(); // the bytes are there; the flush follows
        };
        auto start = Clock::now();
        const auto copy = qv::FileCopier().copyInto(from, into, callbacks);
        const double s = seconds(Clock::now() - start);
        beforeFlush += seconds(copied - start);
        if (!copy.completed() || reported != qint64(200) << 20)
            state.SkipWithError("the copy failed");

        std::filesystem::remove(out + "/cp.bin");
        start = Clock::now();
        if (std::system(cp.c_str()) != 0)
            state.SkipWithError("cp failed");
        cpTime += seconds(Clock::now() - start);
        std::filesystem::remove(out + "/cp.bin");
        start = Clock::now();
        if (std::system(cpSync.c_str()) != 0)
            state.SkipWithError("cp failed");
        cpSyncTime += seconds(Clock::now() - start);
        copyTime += s;
        state.SetIterationTime(s);
    }
    const double n = double(state.iterations());
    state.counters["before_flush_ms"] = 1000 * beforeFlush / n;
    state.counters["cp_ms"] = 1000 * cpTime / n;
    state.counters["cp_sync_ms"] = 1000 * cpSyncTime / n;
    state.counters["ratio_cp"] = copyTime / cpTime;
    state.counters["ratio_cp_sync"] = copyTime / cpSyncTime;
}

} // namespace

BENCHMARK(MoveThousandEntriesBetweenAreas)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(CopyLargeFileWithProgress)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
