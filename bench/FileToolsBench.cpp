// Import, file list and duplicates, each beside the plain operation in the same run: the import of
// a FILES.BBS of 10,000 files into an area of 100,000 beside one rewrite of that area; a text list
// of 1,000,000 entries beside reading their header and description files and writing as many
// bytes, flushed; duplicates by name over the same 1,000,000 beside reading their header and
// long-name files. "ratio" is the median of our time over the plain one, with its spread.
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "editing/FilesBbsImport.h"
#include "tests/support/BoardBuilder.h"
#include "tools/DuplicateSearch.h"
#include "tools/FileList.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kImportArea = 1; // 100,000 entries
constexpr int kListed = 10000; // files on disk and in the list
constexpr int kListAreas = 10; // areas 2..11, 100,000 entries each
constexpr int kPerArea = 100000;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
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

std::string describe(int i)
{
    return "A utility for the board, version " + std::to_string(i % 97) + "\r\nSecond line of its description";
}

struct Boards {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<qv::Board> board;
    std::string files = tmp.path() + "/files";

    Boards()
    {
        builder.writeConfig("Bench");
        std::vector<qv::test::AreaRecordSpec> areas;
        for (int a = 1; a <= 1 + kListAreas; ++a)
            areas.push_back({ "Area " + std::to_string(a), files, 1 });
        builder.writeAreas(areas);
        fs::create_directories(files);
        for (int a = 1; a <= 1 + kListAreas; ++a)
            qv::bench::writeLargeArea(builder, a, kPerArea, [&](int i) {
                // One name in a hundred is listed again in another area.
                const int n = i % 100 == 0 ? i : i + a * kPerArea;
                return qv::bench::BenchEntry { qv::bench::aliasName(n), 1000 + i, "Uploader", 0x1CA50000,
                    "A rather long file name " + std::to_string(n) + ".zip", describe(i) };
            });
        std::string list;
        for (int i = 0; i < kListed; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "N%07d.ZIP", i);
            qv::test::writeFile(files + "/" + name, std::string_view("x"));
            std::string d = describe(i);
            d.replace(d.find("\r\n"), 2, "\r\n   | ");
            list += std::string(name) + "  " + d + "\r\n";
        }
        qv::test::writeFile(files + "/FILES.BBS", list);
        for (const char* ext : { "hdr", "idx", "txt", "lfn" })
            fs::copy_file(areaFile(kImportArea, ext), areaFile(kImportArea, ext) + ".orig");
        qv::Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<qv::Board>(o);
    }
    std::string areaFile(int area, const std::string& ext) const
    {
        return ext == "hdr" ? builder.headerPath(area)
            : ext == "idx"  ? builder.indexPath(area)
            : ext == "txt"  ? builder.descriptionPath(area)
                            : builder.longNamePath(area);
    }
    void restoreImportArea() const
    {
        for (const char* ext : { "hdr", "idx", "txt", "lfn" })
            fs::copy_file(
                areaFile(kImportArea, ext) + ".orig", areaFile(kImportArea, ext), fs::copy_options::overwrite_existing);
    }
};

Boards& boards()
{
    static Boards b;
    return b;
}

template <class Ours, class Plain, class Reset>
void beside(benchmark::State& state, Ours ours, Plain plain, Reset reset)
{
    double plainTime = 0;
    qv::bench::Ratios ratios;
    for (auto _ : state) {
        reset();
        auto start = Clock::now();
        ours();
        const double s = seconds(Clock::now() - start);
        reset();
        start = Clock::now();
        plain();
        const double p = seconds(Clock::now() - start);
        plainTime += p;
        ratios.add(s, p);
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    ratios.report(state);
}

void ImportList(benchmark::State& state)
{
    auto& b = boards();
    qv::FilesBbsImport::Request request;
    request.uploader = "Bench";
    beside(
        state,
        [&] {
            const auto plan = qv::FilesBbsImport::prepare(*b.board, kImportArea, request);
            const auto o = qv::FilesBbsImport::apply(*b.board, kImportArea, plan, request);
            if (o.error || o.added != kListed)
                state.SkipWithError("the import failed");
        },
        [&] {
            qv::RewritePlan plan;
            plan.keep(0, kPerArea);
            if (!b.board->store().rewrite(kImportArea, plan))
                state.SkipWithError("the rewrite failed");
        },
        [&] { b.restoreImportArea(); });
}

std::vector<int> listAreas()
{
    std::vector<int> areas;
    for (int a = 2; a <= 1 + kListAreas; ++a)
        areas.push_back(a);
    return areas;
}

void FileListText(benchmark::State& state)
{
    auto& b = boards();
    const std::string out = b.tmp.path() + "/allfiles.txt";
    beside(
        state,
        [&] {
            if (!qv::FileList(*b.board).writeFile(QString::fromStdString(out), { .areas = listAreas() }).ok)
                state.SkipWithError("the list failed");
        },
        [&] {
            for (int a : listAreas()) {
                plainRead(b.builder.headerPath(a));
                plainRead(b.builder.descriptionPath(a));
            }
            plainWrite(out + ".plain", fs::file_size(out));
        },
        [] {});
    state.counters["list_MB"] = double(fs::file_size(out)) / 1e6;
}

void DuplicatesByName(benchmark::State& state)
{
    auto& b = boards();
    size_t groups = 0;
    beside(
        state,
        [&] { groups = qv::DuplicateSearch(*b.board).find(listAreas(), qv::DuplicateSearch::By::Name).groups.size(); },
        [&] {
            for (int a : listAreas()) {
                plainRead(b.builder.headerPath(a));
                plainRead(b.builder.longNamePath(a));
            }
        },
        [] {});
    state.counters["groups"] = double(groups);
}

} // namespace

BENCHMARK(ImportList)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);
BENCHMARK(FileListText)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);
BENCHMARK(DuplicatesByName)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(11);
BENCHMARK_MAIN();
