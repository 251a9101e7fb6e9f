// Decoding speed of the board's records and of the description reader.
#include "storage/AreaConfiguration.h"
#include "storage/Description.h"
#include "storage/FileIo.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/KeywordChecksum.h"
#include "tests/support/BoardBuilder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <span>

namespace {

std::vector<qv::test::Entry> entries(int count, size_t descriptionLength)
{
    std::vector<qv::test::Entry> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "F%07d.ZIP", i);
        qv::test::Entry e;
        e.name = name;
        e.size = 1000 + i;
        e.uploader = i % 3 ? "Ann Lee" : "";
        e.downloads = i % 40000;
        e.keywords = { "games", "dos" };
        std::string d = "Description " + std::to_string(i) + "\r\n";
        while (d.size() < descriptionLength)
            d += "More text on another line.\r\n";
        d.resize(descriptionLength);
        e.description = d;
        rows.push_back(std::move(e));
    }
    return rows;
}

struct Area {
    qv::test::TempDir tmp;
    std::unique_ptr<qv::test::BoardBuilder> board;
    qv::test::AreaFiles files;
    std::vector<uint8_t> headerBytes;
};

Area& area(int count, size_t descriptionLength)
{
    static std::map<std::pair<int, size_t>, std::unique_ptr<Area>> areas;
    auto& a = areas[{ count, descriptionLength }];
    if (!a) {
        a = std::make_unique<Area>();
        a->board = std::make_unique<qv::test::BoardBuilder>(a->tmp.path());
        a->files = a->board->writeEntries(1, entries(count, descriptionLength));
        a->headerBytes = qv::test::readFile(a->board->headerPath(1));
    }
    return *a;
}

// Header records from memory: what a loader does per row, without the disk.
void DecodeHeaders(benchmark::State& state)
{
    const auto& bytes = area(int(state.range(0)), 60).headerBytes;
    const size_t count = bytes.size() / qv::HeaderRecord::kSize;
    for (auto _ : state) {
        int64_t sum = 0;
        for (size_t i = 0; i < count; ++i) {
            const auto r = qv::HeaderRecord::decode(std::span<const uint8_t, qv::HeaderRecord::kSize>(
                bytes.data() + i * qv::HeaderRecord::kSize, qv::HeaderRecord::kSize));
            const std::string name = r.name();
            const std::string uploader = r.uploader();
            sum += int64_t(name.size() + uploader.size()) + r.size() + r.downloads() + r.uploadDate() + r.fileDate()
                + r.lastDownloadDate() + r.descriptionPointer() + (r.isComment() ? 1 : 0);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(count));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(DecodeHeaders)->Arg(1000)->Arg(20000);

// The header file read from disk in one piece and decoded, with the date texts the list shows.
void ReadHeaderFile(benchmark::State& state)
{
    Area& a = area(int(state.range(0)), 60);
    const std::string path = a.board->headerPath(1);
    size_t count = 0;
    for (auto _ : state) {
        auto bytes = qv::readWholeFile(qv::systemFileIo(), path, 1u << 30);
        count = bytes->size() / qv::HeaderRecord::kSize;
        size_t chars = 0;
        for (size_t i = 0; i < count; ++i) {
            const auto r = qv::HeaderRecord::decode(std::span<const uint8_t, qv::HeaderRecord::kSize>(
                bytes->data() + i * qv::HeaderRecord::kSize, qv::HeaderRecord::kSize));
            chars += r.name().size() + qv::enc::dateText(r.fileDate()).size();
        }
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(count));
}
BENCHMARK(ReadHeaderFile)->Arg(20000);

void KeywordChecksums(benchmark::State& state)
{
    const std::string words[] = { "games", " Arcade ", "shareware", "DOS", "utility" };
    for (auto _ : state) {
        int32_t x = 0;
        for (const auto& w : words)
            x ^= qv::keywordChecksum(w);
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 5);
}
BENCHMARK(KeywordChecksums);

// One description per call as the description pane, find and export read them: open, read up to
// the zero byte, close. Arg: description length.
void ReadDescriptions(benchmark::State& state)
{
    const size_t length = size_t(state.range(0));
    const int count = length > 10000 ? 50 : 2000;
    Area& a = area(count, length);
    const std::string path = a.board->descriptionPath(1);
    size_t i = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        const auto& h = a.files.headers[i++ % a.files.headers.size()];
        const std::string text = qv::readDescription(qv::systemFileIo(), path, h.descriptionPointer());
        bytes += int64_t(text.size());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(bytes);
}
BENCHMARK(ReadDescriptions)->Arg(60)->Arg(1000)->Arg(64 * 1024);

void ReadAreaConfiguration(benchmark::State& state)
{
    qv::test::TempDir tmp;
    qv::test::BoardBuilder board(tmp.path());
    board.writeConfig("Bench");
    std::vector<qv::test::AreaRecordSpec> areas;
    std::vector<int> rdx;
    for (int i = 0; i < state.range(0); ++i) {
        areas.push_back({ "Area " + std::to_string(i + 1), "/files/" + std::to_string(i), 1 + i % 10 });
        rdx.push_back(int(state.range(0)) - i);
    }
    board.writeAreas(areas);
    board.writeFilesRdx(rdx);
    board.writeGroups({ { "G1" }, { "G2" } });
    for (auto _ : state) {
        auto c = qv::AreaConfiguration::read(qv::systemFileIo(), board.boardDir());
        benchmark::DoNotOptimize(c.areas().data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(ReadAreaConfiguration)->Arg(2000);

} // namespace

BENCHMARK_MAIN();
