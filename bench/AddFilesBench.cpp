// Adding files on an area of 100,000 entries: the "not in base" listing of 10,000 files, adding
// 1,000 files in one change beside one plain rewrite of the area, and one extraction with unzip
// beside running unzip alone.
#include "bench/LargeArea.h"
#include "board/Board.h"
#include "editing/DescriptionExtractor.h"
#include "editing/FileAdder.h"
#include "editing/PendingFiles.h"
#include "settings/Settings.h"

#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kArea = 1;
constexpr int kEntries = 100000;

struct Fixture {
    qv::test::TempDir tmp;
    qv::test::BoardBuilder board { tmp.path() };
    QString files = QString::fromStdString(tmp.path()) + "/files";
    std::vector<uint8_t> hdr, idx, lfn, txt;
    QStringList rowTexts;

    Fixture()
    {
        QDir().mkpath(files);
        board.writeConfig("Bench");
        board.writeAreas({ { "Bench", files.toStdString(), 1 } });
        qv::bench::writeLargeArea(board, kArea, kEntries, [this](int i) {
            char name[16];
            std::snprintf(name, sizeof name, "F%07d.ZIP", i);
            rowTexts << QString::fromLatin1(name);
            return qv::bench::BenchEntry { name, 0, "", 0, "", "Description " + std::to_string(i) };
        });
        hdr = qv::test::readFile(board.headerPath(kArea));
        idx = qv::test::readFile(board.indexPath(kArea));
        lfn = qv::test::readFile(board.longNamePath(kArea));
        txt = qv::test::readFile(board.descriptionPath(kArea));
        // 10,000 files: half of them have entries, half do not.
        for (int i = 0; i < 10000; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, i % 2 ? "F%07d.ZIP" : "new file %05d.zip", i);
            qv::test::writeFile(files.toStdString() + "/" + name, "x");
        }
    }
    void restore()
    {
        qv::test::writeFile(board.headerPath(kArea), hdr);
        qv::test::writeFile(board.indexPath(kArea), idx);
        qv::test::writeFile(board.longNamePath(kArea), lfn);
        qv::test::writeFile(board.descriptionPath(kArea), txt);
    }
    qv::Board::Options options() const
    {
        qv::Board::Options o;
        o.boardDirectory = QString::fromStdString(board.boardDir());
        return o;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_NotInBase10000Files100000Entries(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        auto listing = qv::PendingFiles::list(f.files, "*.*", f.rowTexts);
        benchmark::DoNotOptimize(listing);
    }
}
BENCHMARK(BM_NotInBase10000Files100000Entries)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Add1000FilesWithoutExtraction(benchmark::State& state)
{
    Fixture& f = fixture();
    QStringList names;
    for (int i = 0; i < 2000; i += 2)
        names << QStringLiteral("new file %1.zip").arg(i, 5, 10, QLatin1Char('0'));
    for (auto _ : state) {
        state.PauseTiming();
        f.restore();
        qv::Board board(f.options());
        qv::FileAdder::Request request;
        request.names = names;
        request.extract = false;
        request.uploader = "Bench";
        state.ResumeTiming();
        auto r = qv::FileAdder::add(board, kArea, request, nullptr);
        if (r.error || r.rows.size() != 1000)
            state.SkipWithError("add failed");
    }
}
BENCHMARK(BM_Add1000FilesWithoutExtraction)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OneRewriteOfTheArea(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        f.restore();
        qv::AreaStore store(qv::systemFileIo(), f.board.fileBaseDir());
        state.ResumeTiming();
        auto r = store.insertEntry(kArea, kEntries, qv::NewEntry(), "");
        if (!r)
            state.SkipWithError("rewrite failed");
    }
}
BENCHMARK(BM_OneRewriteOfTheArea)->Unit(benchmark::kMillisecond)->Iterations(5);

struct Zip {
    QTemporaryDir dir;
    QString archive = dir.filePath("SMALL.ZIP");
    QString unzip = QStandardPaths::findExecutable("unzip");
    bool ok = false;
    Zip()
    {
        qv::test::writeBytes(dir.filePath("FILE_ID.DIZ"), "A small description\r\n");
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start("zip", { "-q", archive, "FILE_ID.DIZ" });
        ok = !unzip.isEmpty() && p.waitForFinished(60000) && p.exitCode() == 0;
        QFile::remove(dir.filePath("FILE_ID.DIZ"));
        QDir().mkpath(dir.filePath("tmp"));
    }
};

void BM_ExtractOneDescriptionWithUnzip(benchmark::State& state)
{
    static Zip zip;
    if (!zip.ok) {
        state.SkipWithError("no zip and unzip");
        return;
    }
    qv::Settings settings;
    settings.archivers[0] = { "ZIP", zip.unzip.toStdString(), "-o -C -j" };
    qv::DescriptionExtractor extractor(settings, zip.dir.filePath("tmp"));
    extractor.setBlocking(true);
    for (auto _ : state) {
        auto r = extractor.extract(zip.archive, "SMALL.ZIP", true);
        if (r.outcome != qv::DescriptionExtractor::Outcome::Extracted)
            state.SkipWithError("nothing extracted");
    }
}
BENCHMARK(BM_ExtractOneDescriptionWithUnzip)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_UnzipAlone(benchmark::State& state)
{
    static Zip zip;
    if (!zip.ok) {
        state.SkipWithError("no zip and unzip");
        return;
    }
    const QString out = zip.dir.filePath("plain");
    QDir().mkpath(out);
    for (auto _ : state) {
        QProcess p;
        p.setWorkingDirectory(out);
        p.start(zip.unzip, { "-o", "-C", "-j", zip.archive, "FILE_ID.DIZ", out + "/" });
        p.waitForFinished(60000);
    }
}
BENCHMARK(BM_UnzipAlone)->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
