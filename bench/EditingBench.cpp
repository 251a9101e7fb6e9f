// Entry editing on an area of 100,000 entries, each beside the plain operation of the same size
// measured in the same run: reading an entry's fields against reading its record, one Apply
// against writing and flushing one record by hand, a global
// description over every entry against a flushed copy of the header, index and description
// files, and a comment line against the same copy. The "ratio" counter is the work's time over
// the plain one.
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"

#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kArea = 1;
constexpr int kEntries = 100000;
using Clock = std::chrono::steady_clock;

struct Area {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<qv::Board> board;

    Area()
    {
        builder.writeConfig("Bench");
        builder.writeAreas({ { "Files", tmp.path() + "/files", 1 } });
        qv::bench::writeLargeArea(builder, kArea, kEntries, [](int i) {
            // Short names are the aliases of the long names, as on a board.
            const std::string name = qv::bench::aliasName(i);
            return qv::bench::BenchEntry { name, 1000 + i, "Ann Lee", 0,
                std::string("A rather long file name number ") + name, "Description of entry " + std::to_string(i) };
        });
        qv::Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<qv::Board>(o);
    }
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

// The least a durable in-place change of one record costs: write it and flush it.
double plainRecordWrite()
{
    const std::string path = area().builder.headerPath(kArea);
    const auto start = Clock::now();
    uint8_t record[qv::HeaderRecord::kSize];
    const int fd = ::open(path.c_str(), O_RDWR);
    const off_t at = off_t(kEntries / 2) * off_t(sizeof record);
    if (::pread(fd, record, sizeof record, at) == ssize_t(sizeof record)
        && ::pwrite(fd, record, sizeof record, at) == ssize_t(sizeof record))
        ::fsync(fd);
    ::close(fd);
    return seconds(Clock::now() - start);
}

double plainRecordRead()
{
    const std::string path = area().builder.headerPath(kArea);
    const auto start = Clock::now();
    uint8_t record[qv::HeaderRecord::kSize];
    const int fd = ::open(path.c_str(), O_RDONLY);
    benchmark::DoNotOptimize(::pread(fd, record, sizeof record, off_t(kEntries / 2) * off_t(sizeof record)));
    ::close(fd);
    return seconds(Clock::now() - start);
}

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

double copyAreaFiles()
{
    auto& b = area().builder;
    const auto start = Clock::now();
    for (const std::string& p : { b.headerPath(kArea), b.indexPath(kArea), b.descriptionPath(kArea) })
        plainCopy(p, p + ".copy");
    const double s = seconds(Clock::now() - start);
    for (const std::string& p : { b.headerPath(kArea), b.indexPath(kArea), b.descriptionPath(kArea) })
        std::remove((p + ".copy").c_str());
    return s;
}

template <class Work, class Plain> void beside(benchmark::State& state, Work work, Plain plain)
{
    area(); // built before anything is timed
    double plainTime = 0;
    qv::bench::Ratios ratios;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!work())
            state.SkipWithError("the change failed");
        const double s = seconds(Clock::now() - start);
        const double p = plain();
        plainTime += p;
        ratios.add(s, p);
        state.SetIterationTime(s);
    }
    state.counters["plain_ms"] = 1000 * plainTime / double(state.iterations());
    ratios.report(state);
}

// The rows as the list shows them, read at once: the commands check them at their commit.
std::vector<qv::RowIdentity> shownRows(const std::vector<uint64_t>& positions)
{
    std::vector<qv::RowIdentity> out;
    auto rows = area().board->store().readRows(kArea, positions, true);
    for (size_t k = 0; rows && k < rows->size(); ++k)
        out.push_back(qv::identityOf((*rows)[k], positions[k]));
    return out;
}

qv::RowIdentity shownRow(uint64_t position)
{
    return shownRows({ position }).at(0);
}

void ReadProperties(benchmark::State& state)
{
    beside(
        state, [] { return bool(qv::EntryProperties(*area().board, kArea).read(shownRow(kEntries / 2), true)); },
        plainRecordRead);
}

// Downloads, keywords and a description longer than the stored one: patches of header and
// index, an appended text and both pointers moved, as one journalled change.
void ApplyWithMovedDescription(benchmark::State& state)
{
    int round = 0;
    beside(
        state,
        [&] {
            qv::PropertyChanges c;
            c.downloads = ++round % 1000;
            c.keywords = std::array<QString, 5> { "alpha", "beta" };
            c.description = QStringLiteral("A longer description than before, round %1").arg(round);
            return qv::EntryProperties(*area().board, kArea).apply(shownRow(kEntries / 2), c).outcome
                == qv::PropertiesResult::Outcome::Written;
        },
        plainRecordWrite);
}

std::vector<qv::RowIdentity> everyEntry()
{
    std::vector<uint64_t> all(kEntries);
    for (uint64_t i = 0; i < all.size(); ++i)
        all[i] = i;
    return shownRows(all);
}

// The rows as the window holds them: read once, then as each change returns them.
std::vector<qv::RowIdentity>& shownEntries()
{
    static std::vector<qv::RowIdentity> rows = everyEntry();
    return rows;
}

bool giveAll(const QString& text)
{
    auto result = qv::Descriptions(*area().board, kArea).giveAll(shownEntries(), text);
    if (result.outcome != qv::DescriptionsResult::Outcome::Written)
        return false;
    shownEntries() = std::move(result.records);
    return true;
}

void GlobalDescriptionInPlace(benchmark::State& state)
{
    shownEntries();
    beside(
        state, [] { return giveAll("Same"); }, copyAreaFiles);
}

void GlobalDescriptionAppended(benchmark::State& state)
{
    shownEntries();
    int round = 0;
    beside(
        state,
        [&] { return giveAll(QStringLiteral("A description longer than any stored one, round %1").arg(++round)); },
        copyAreaFiles);
}

void InsertCommentAtFront(benchmark::State& state)
{
    beside(
        state,
        [] {
            return qv::Descriptions(*area().board, kArea).insertComment(0, "-- section --", "Sysop").outcome
                == qv::DescriptionsResult::Outcome::Written;
        },
        copyAreaFiles);
}

} // namespace

BENCHMARK(ReadProperties)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(ApplyWithMovedDescription)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(GlobalDescriptionInPlace)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(GlobalDescriptionAppended)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(InsertCommentAtFront)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
