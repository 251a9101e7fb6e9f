// Find files and FILES.BBS export on 100,000 entries, each beside the plain operation measured in
// the same run: the keyword search beside `grep -c -F -i` over the same description files, the
// name search beside a plain read of the index and long-name files, the export beside a plain
// read of the header and description files plus a plain write of the list's size. The "ratio"
// counter is our time over the plain one.
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "storage/RewritePlan.h"
#include "tests/support/BoardBuilder.h"
#include "tools/FileSearch.h"
#include "tools/FilesBbsExport.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fcntl.h>
#include <numeric>
#include <random>
#include <unistd.h>

namespace {

constexpr int kAreas = 100; // searched: 1..100, 1,000 entries each
constexpr int kPerArea = 1000;
constexpr int kExportArea = 101; // 100,000 entries
constexpr int kExportEntries = 100000;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Boards {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<qv::Board> board;
    uint64_t descriptionBytes = 0;

    Boards()
    {
        builder.writeConfig("Bench");
        std::vector<qv::test::AreaRecordSpec> areas;
        for (int a = 1; a <= kExportArea; ++a)
            areas.push_back({ "Area " + std::to_string(a), tmp.path() + "/files", 1 });
        builder.writeAreas(areas);
        std::filesystem::create_directories(tmp.path() + "/files");
        std::mt19937 random(7);
        static const char* const kWords[] = { "archive", "utility", "game", "picture", "sound", "document", "viewer",
            "editor", "shareware", "version", "update", "library", "driver", "network", "modem" };
        auto description = [&](int lines) {
            std::string d;
            for (int l = 0; l < lines; ++l) {
                for (int w = 0; w < 8; ++w) {
                    d += kWords[random() % 15];
                    d += ' ';
                }
                d += "\r\n";
            }
            return d;
        };
        for (int a = 1; a <= kExportArea; ++a) {
            const int n = a == kExportArea ? kExportEntries : kPerArea;
            const size_t bytes = qv::bench::writeLargeArea(builder, a, n, [&](int i) {
                char name[16];
                std::snprintf(name, sizeof name, "F%07d.%s", i, i % 7 ? "ZIP" : "TXT");
                // About 1 KiB per entry in the searched areas; one entry in 50 holds the word.
                std::string d = description(a == kExportArea ? 3 : 14);
                if (i % 50 == 0)
                    d += "Quorvex";
                return qv::bench::BenchEntry { name, 1000 + i, "", 0x1CA50000,
                    std::string("A rather long file name ") + name, std::move(d) };
            });
            if (a <= kAreas)
                descriptionBytes += bytes;
        }
        qv::Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<qv::Board>(o);
    }
};

Boards& boards()
{
    static Boards b;
    return b;
}

void plainRead(const std::string& path)
{
    static std::vector<char> buffer(1 << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    while (::read(fd, buffer.data(), buffer.size()) > 0) { }
    ::close(fd);
}

void plainWrite(const std::string& path, uint64_t size)
{
    static std::vector<char> buffer(1 << 20, 'x');
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (uint64_t done = 0; done < size;) {
        const size_t n = size_t(std::min<uint64_t>(buffer.size(), size - done));
        if (::write(fd, buffer.data(), n) != ssize_t(n))
            break;
        done += n;
    }
    ::fsync(fd);
    ::close(fd);
}

size_t search(qv::SearchQuery::Mode mode, const char* text)
{
    qv::FileSearch s(*boards().board);
    std::atomic<bool> stop { false };
    size_t hits = 0;
    s.run({ mode, text, 1, kAreas }, stop, { {}, [&](const qv::SearchHit&) { ++hits; } });
    return hits;
}

template <class Ours, class Plain> void beside(benchmark::State& state, Ours ours, Plain plain)
{
    double oursTime = 0, plainTime = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        ours();
        const double s = seconds(Clock::now() - start);
        start = Clock::now();
        plain();
        plainTime += seconds(Clock::now() - start);
        oursTime += s;
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    state.counters["ratio"] = oursTime / plainTime;
}

void FindKeyword(benchmark::State& state)
{
    auto& b = boards();
    std::string grep = "LC_ALL=C grep -c -F -i quorvex";
    for (int a = 1; a <= kAreas; ++a)
        grep += " " + b.builder.descriptionPath(a);
    // Not to /dev/null: grep notices that and stops at the first match of each file.
    grep += " > " + b.tmp.path() + "/grep.out";
    beside(
        state, [] { benchmark::DoNotOptimize(search(qv::SearchQuery::Mode::Keyword, "quorvex")); },
        [&] { benchmark::DoNotOptimize(std::system(grep.c_str())); });
    state.counters["MB"] = double(b.descriptionBytes) / 1e6;
    state.counters["hits"] = double(search(qv::SearchQuery::Mode::Keyword, "quorvex"));
}

void FindName(benchmark::State& state)
{
    auto& b = boards();
    beside(
        state, [] { benchmark::DoNotOptimize(search(qv::SearchQuery::Mode::FileName, "*.txt")); },
        [&] {
            for (int a = 1; a <= kAreas; ++a) {
                plainRead(b.builder.indexPath(a));
                plainRead(b.builder.longNamePath(a));
            }
        });
    state.counters["hits"] = double(search(qv::SearchQuery::Mode::FileName, "*.txt"));
}

void ExportArea(benchmark::State& state)
{
    auto& b = boards();
    const std::string list = b.tmp.path() + "/files/files.bbs";
    qv::FilesBbsExport exporter(*b.board);
    beside(
        state, [&] { benchmark::DoNotOptimize(exporter.exportArea(kExportArea, { .counters = true }).ok); },
        [&] {
            plainRead(b.builder.headerPath(kExportArea));
            plainRead(b.builder.descriptionPath(kExportArea));
            plainWrite(list + ".plain", std::filesystem::file_size(list));
        });
    state.counters["list_MB"] = double(std::filesystem::file_size(list)) / 1e6;
}

// The same export after the records were put in an order of their own (a sort by size or date
// leaves the descriptions in upload order): the texts are read in pointer order all the same.
void ExportAfterSort(benchmark::State& state)
{
    auto& b = boards();
    static const bool shuffled = [&] {
        std::vector<uint64_t> order(kExportEntries);
        std::iota(order.begin(), order.end(), uint64_t(0));
        std::shuffle(order.begin(), order.end(), std::mt19937(11));
        return b.board->store().rewrite(kExportArea, qv::RewritePlan::permutation(order)).ok();
    }();
    if (!shuffled) {
        state.SkipWithError("the shuffle failed");
        return;
    }
    ExportArea(state);
}

} // namespace

BENCHMARK(FindKeyword)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(FindName)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(ExportArea)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(ExportAfterSort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
