// The area store on 100,000 entries with long names: loading and the three kinds of rewrite,
// each beside a plain sequential read or copy of the same bytes measured in the same run. The
// "ratio" counter is the store's time over the plain one.
#include "bench/LargeArea.h"
#include "storage/AreaStore.h"
#include "storage/Encoding.h"

#include "tests/support/BoardBuilder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

constexpr int kArea = 1;
constexpr int kEntries = 100000;
using Clock = std::chrono::steady_clock;

struct Area {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder board { tmp.path() };

    Area()
    {
        qv::bench::writeLargeArea(board, kArea, kEntries, [](int i) {
            char longName[64];
            std::snprintf(longName, sizeof longName, "A rather long file name number %07d.zip", i);
            return qv::bench::BenchEntry { qv::bench::aliasName(i), 1000 + i, i % 3 ? "Ann Lee" : "", 0, longName,
                "Description of entry " + std::to_string(i) };
        });
    }
    uint64_t count() { return *qv::AreaStore(qv::systemFileIo(), board.fileBaseDir()).count(kArea); }
};

Area& area()
{
    static Area a;
    return a;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Reads a file front to back in 1 MiB blocks.
void plainRead(const std::string& path)
{
    static std::vector<char> buffer(1 << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    while (::read(fd, buffer.data(), buffer.size()) > 0) { }
    ::close(fd);
}

// Copies a file in 1 MiB blocks and flushes the copy, as any rewrite that survives a crash must.
void plainCopy(const std::string& from, const std::string& to)
{
    static std::vector<char> buffer(1 << 20);
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (ssize_t n; (n = ::read(in, buffer.data(), buffer.size())) > 0;)
        if (::write(out, buffer.data(), size_t(n)) != n)
            break;
    ::fsync(out);
    ::close(in);
    ::close(out);
}

double copyThree()
{
    auto& b = area().board;
    const auto start = Clock::now();
    for (const std::string& p : { b.headerPath(kArea), b.indexPath(kArea), b.longNamePath(kArea) })
        plainCopy(p, p + ".copy");
    const double s = seconds(Clock::now() - start);
    for (const std::string& p : { b.headerPath(kArea), b.indexPath(kArea), b.longNamePath(kArea) })
        std::remove((p + ".copy").c_str());
    return s;
}

void StoreLoad(benchmark::State& state)
{
    auto& b = area().board;
    qv::AreaStore store(qv::systemFileIo(), b.fileBaseDir());
    double storeTime = 0, plainTime = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        auto outcome = store.load(kArea, true);
        benchmark::DoNotOptimize(outcome.rows.data());
        const double s = seconds(Clock::now() - start);
        start = Clock::now();
        plainRead(b.headerPath(kArea));
        plainRead(b.longNamePath(kArea));
        plainTime += seconds(Clock::now() - start);
        storeTime += s;
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    state.counters["ratio"] = storeTime / plainTime;
}

// Runs a change made by make(count) and the plain copy of the three files in turn.
template <class Change> void rewriteBeside(benchmark::State& state, Change change)
{
    qv::AreaStore store(qv::systemFileIo(), area().board.fileBaseDir());
    double storeTime = 0, plainTime = 0;
    for (auto _ : state) {
        const uint64_t count = area().count();
        auto start = Clock::now();
        if (!change(store, count))
            state.SkipWithError("the change failed");
        const double s = seconds(Clock::now() - start);
        plainTime += copyThree();
        storeTime += s;
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    state.counters["ratio"] = storeTime / plainTime;
}

void StoreInsertAtFront(benchmark::State& state)
{
    rewriteBeside(state, [](qv::AreaStore& store, uint64_t) {
        qv::NewEntry e;
        e.header.setName("NEW.ZIP");
        e.index.setName("NEW.ZIP");
        e.longName.setName("A new file.zip");
        return bool(store.insertEntry(kArea, 0, e, "new"));
    });
}

void StoreRemoveOne(benchmark::State& state)
{
    rewriteBeside(state, [](qv::AreaStore& store, uint64_t count) {
        return bool(store.rewrite(kArea, qv::RewritePlan::removal(count, { count / 2 })));
    });
}

void StorePermutation(benchmark::State& state)
{
    // A random order, made once: the sort that would produce it is not what is measured here.
    std::vector<uint64_t> order(area().count());
    for (uint64_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937_64(42));
    rewriteBeside(state, [&](qv::AreaStore& store, uint64_t count) {
        return count == order.size() && store.rewrite(kArea, qv::RewritePlan::permutation(order));
    });
}

// A properties Apply: one field of one record in place, journalled, beside the copy of the three
// files (what a rewrite would cost instead).
void StorePatchOne(benchmark::State& state)
{
    qv::AreaStore store(qv::systemFileIo(), area().board.fileBaseDir());
    double storeTime = 0, plainTime = 0;
    int n = 0;
    for (auto _ : state) {
        std::vector<uint8_t> cost(2);
        qv::enc::putWord(cost.data(), ++n);
        auto start = Clock::now();
        if (!store.patchRecords(kArea, {},
                { qv::FieldPatch {
                    qv::AreaFileKind::Header, kEntries / 2, qv::HeaderRecord::kCostOffset, cost, std::nullopt } }))
            state.SkipWithError("the patch failed");
        const double s = seconds(Clock::now() - start);
        plainTime += copyThree();
        storeTime += s;
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    state.counters["ratio"] = storeTime / plainTime;
}

} // namespace

BENCHMARK(StorePatchOne)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(StoreLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(StoreInsertAtFront)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(StoreRemoveOne)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(StorePermutation)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
