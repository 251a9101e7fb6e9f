// From ReadArea to a painted list, beside the store's plain load, for a large area.
#include "browser/AreaController.h"
#include "browser/FileListController.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "settings/Settings.h"
#include "storage/AreaFiles.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QStandardPaths>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using qv::test::Entry;

constexpr int kArea = 1;

struct Fixture {
    explicit Fixture(int entries)
    {
        board.writeConfig("Bench BBS", "C:\\RA\\FDB");
        board.writeGroups({ { "Group" } });
        board.writeAreas({ { "Large", tmp.path() + "/files/area1", 1 } });
        std::vector<Entry> rows;
        rows.reserve(size_t(entries));
        for (int i = 0; i < entries; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "F%07d.ZIP", i);
            rows.push_back({ .name = name,
                .size = 1000 + i,
                .uploader = i % 3 ? "Ann Lee" : "",
                .description = "Description " + std::to_string(i),
                .longName = i % 5 ? "" : std::string(name) + " long.zip" });
        }
        board.writeEntries(kArea, rows);
        settings.fileBasePath = "C:\\RA\\FDB";
        settings.startupArea = kArea;
        settings.boardDirectory = board.boardDir();
        settings.drives['C'] = tmp.path();
        opened = std::make_unique<qv::Board>(qv::Board::optionsOf(settings));
    }

    std::unique_ptr<qv::MainWindow> window(bool list)
    {
        settings.viewAsList = list;
        qv::BrowserServices services { settings, *opened, dialogs, desktop, nullptr };
        auto w = std::make_unique<qv::MainWindow>(services);
        w->show();
        QApplication::processEvents();
        return w;
    }

    qv::test::TempDir tmp;
    qv::test::BoardBuilder board { tmp.path() + "/ra", tmp.path() + "/ra/fdb" };
    qv::Settings settings;
    qv::test::ScriptedDialogs dialogs;
    qv::test::ScriptedDesktop desktop;
    std::unique_ptr<qv::Board> opened;
};

Fixture& fixture(int entries)
{
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& f = fixtures[entries];
    if (!f)
        f = std::make_unique<Fixture>(entries);
    return *f;
}

void StoreLoad(benchmark::State& state)
{
    Fixture& f = fixture(int(state.range(0)));
    qv::AreaStore store(qv::systemFileIo(), f.board.fileBaseDir());
    for (auto _ : state) {
        qv::LoadOutcome outcome = store.load(kArea, true);
        benchmark::DoNotOptimize(outcome.rows.data());
        if (outcome.rows.size() != size_t(state.range(0)))
            state.SkipWithError("wrong row count");
    }
}

void WindowReadAreaToPaintedList(benchmark::State& state, bool list)
{
    Fixture& f = fixture(int(state.range(0)));
    auto w = f.window(list);
    for (auto _ : state) {
        w->areas().readArea(kArea);
        // Paint now rather than at the next event loop turn, so the time includes it.
        w->fileList()->currentView()->viewport()->repaint();
        w->repaint();
    }
}

void WindowDetails(benchmark::State& state)
{
    WindowReadAreaToPaintedList(state, false);
}
void WindowList(benchmark::State& state)
{
    WindowReadAreaToPaintedList(state, true);
}

BENCHMARK(StoreLoad)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(WindowDetails)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(WindowList)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
