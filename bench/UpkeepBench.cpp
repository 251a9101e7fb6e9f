// Area upkeep on 100,000 entries: packing a 100 MB description file beside copying and flushing
// that file, and rebuilding a lost index beside writing and flushing one. The "ratio" counter is
// the store's time over the plain one, both measured in the same run.

#include "bench/LargeArea.h"
#include "storage/AreaRepair.h"
#include "storage/DescriptionPack.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kArea = 1;
constexpr int kEntries = 100000;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Each entry has a 900-byte description and 100 bytes of an older one nobody points at any
// more: the pack keeps nine tenths, the worst case for its time.
struct Area {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder board { tmp.path() };
    std::vector<std::string> files;

    Area()
    {
        qv::bench::writeLargeArea(board, kArea, kEntries, [](int i) {
            char longName[64];
            std::snprintf(longName, sizeof longName, "A rather long file name number %07d.zip", i);
            std::string text = "Description of entry " + std::to_string(i) + " ";
            text.resize(900 + 99, 'x');
            text[900] = '\0'; // its own text ends here; the rest is the older one
            return qv::bench::BenchEntry { qv::bench::aliasName(i), 1000 + i, "Ann Lee", 0, longName, text };
        });
        files = { board.headerPath(kArea), board.indexPath(kArea), board.longNamePath(kArea),
            board.descriptionPath(kArea) };
        for (const auto& f : files)
            std::filesystem::copy_file(f, f + ".orig");
    }
    void restore()
    {
        for (const auto& f : files)
            std::filesystem::copy_file(f + ".orig", f, std::filesystem::copy_options::overwrite_existing);
    }
};

Area& area()
{
    static Area a;
    return a;
}

// Writes bytes to a new file in 1 MiB blocks, or copies a file so, and flushes it.
double plainWrite(const std::string& to, const std::string* from, size_t bytes)
{
    static std::vector<char> buffer(1 << 20, 'x');
    const auto start = Clock::now();
    const int in = from ? ::open(from->c_str(), O_RDONLY) : -1;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (size_t done = 0;;) {
        ssize_t n = from ? ::read(in, buffer.data(), buffer.size()) : ssize_t(std::min(buffer.size(), bytes - done));
        if (n <= 0 || ::write(out, buffer.data(), size_t(n)) != n)
            break;
        done += size_t(n);
    }
    ::fsync(out);
    ::close(out);
    if (in >= 0)
        ::close(in);
    const double s = seconds(Clock::now() - start);
    std::remove(to.c_str());
    return s;
}

void UpkeepPack(benchmark::State& state)
{
    auto& a = area();
    qv::AreaStore store(qv::systemFileIo(), a.board.fileBaseDir());
    double storeTime = 0, plainTime = 0;
    for (auto _ : state) {
        a.restore();
        const std::string txt = a.board.descriptionPath(kArea);
        plainTime += plainWrite(txt + ".copy", &txt, 0);
        const auto start = Clock::now();
        auto packed = qv::packDescriptions(store, kArea);
        const double s = seconds(Clock::now() - start);
        if (!packed || !packed->written)
            state.SkipWithError("the pack failed");
        else
            state.counters["MB_after"] = double(packed->bytesAfter) / 1e6;
        storeTime += s;
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    state.counters["ratio"] = storeTime / plainTime;
}

void UpkeepRepairIndex(benchmark::State& state)
{
    auto& a = area();
    qv::AreaStore store(qv::systemFileIo(), a.board.fileBaseDir());
    double storeTime = 0, plainTime = 0;
    for (auto _ : state) {
        a.restore();
        const std::string idx = a.board.indexPath(kArea);
        std::filesystem::remove(idx);
        plainTime += plainWrite(idx + ".copy", nullptr, size_t(kEntries) * qv::IndexRecord::kSize);
        const auto start = Clock::now();
        auto repaired = qv::repairArea(store, kArea);
        const double s = seconds(Clock::now() - start);
        if (!repaired || !repaired->rewrite || std::filesystem::file_size(idx) != kEntries * qv::IndexRecord::kSize)
            state.SkipWithError("the repair failed");
        storeTime += s;
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    state.counters["ratio"] = storeTime / plainTime;
}

} // namespace

BENCHMARK(UpkeepPack)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(UpkeepRepairIndex)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
