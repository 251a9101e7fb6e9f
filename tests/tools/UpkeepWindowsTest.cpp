#include "storage/AreaCheck.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"
#include "tests/tools/ToolsTestBoard.h"
#include "tools/AreaRepairer.h"
#include "tools/widgets/PackDialog.h"
#include "tools/widgets/RepairDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

using test::shoot;

using namespace std::string_literals;

struct UpkeepWindows : ::testing::Test {
    void SetUp() override
    {
        std::filesystem::create_directories(tb.areaDir("a"));
        std::filesystem::create_directories(tb.areaDir("b"));
        tb.builder.writeAreas({ { "Alpha", tb.areaDir("a"), 1 }, { "Beta", tb.areaDir("b"), 1 } });
        tb.builder.writeEntries(1,
            { { .name = "ONE.ZIP", .description = "one" }, { .name = "TWO.ZIP", .description = "two" },
                { .name = "", .description = "-- comment --" } });
        tb.builder.writeEntries(2, { { .name = "ONE.ZIP", .description = "again" } });
        // Area 1: descriptions replaced over the years, an index cut short and a dead transfer's copy.
        auto txt = test::readFile(tb.builder.descriptionPath(1));
        const std::string old = "an old description nobody points at\0"s;
        txt.insert(txt.end(), old.begin(), old.end());
        test::writeFile(tb.builder.descriptionPath(1), txt);
        auto idx = test::readFile(tb.builder.indexPath(1));
        idx.resize(41);
        test::writeFile(tb.builder.indexPath(1), idx);
        dead = tb.areaDir("a") + "/.qvcopy-99999999-1.tmp";
        test::writeFile(dead, "half"s);
        board = tb.open();
    }
    test::ToolsTestBoard tb;
    std::unique_ptr<Board> board;
    test::ScriptedDialogs dialogs;
    std::string dead;
};

// Both windows: the preview area by area first, nothing changed; then the run and its outcome.
// The repair goes first: a pack, like any rewrite, completes a short index as well.
TEST_F(UpkeepWindows, PreviewFirstThenChangeWithTheOutcomeShownAndNoPreviewWithoutAreas)
{
    PackDialog pack(*board, dialogs, board->numberedAreaItems());
    RepairDialog repair(*board, dialogs, board->numberedAreaItems());
    struct Case {
        AreaUpkeepDialog* dialog;
        const char* shot;
        QString preview;
        QString previewSummary;
        QString done;
    };
    const QString file = QString::fromStdString(dead);
    const Case cases[] = {
        { &repair, "check-and-repair",
            "Area 1: index file holds 1 record, header file 3: the 2 missing records are rebuilt from the header\n"
            "Area 1: temporary copy "
                + file + " left by an interrupted transfer: it is removed",
            "2 repair(s) to make in 1 of 2 area(s).", "2 repair(s) made in 1 of 2 area(s)." },
        { &pack, "pack-descriptions",
            "Area 1: 58 -> 22 bytes, 36 to reclaim (3 texts kept)\nArea 2: nothing to reclaim (6 bytes)",
            "1 of 2 area(s) can be packed, 36 bytes to reclaim.", "1 area(s) packed, 36 bytes reclaimed." },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shot);
        AreaUpkeepDialog& d = *c.dialog;
        d.show();
        EXPECT_EQ(d.chosenAreas(), (std::vector<int> { 1, 2 }));
        EXPECT_FALSE(d.runButton()->isEnabled());
        const auto before = test::areaBytes(tb.builder, 1);
        QTest::mouseClick(d.previewButton(), Qt::LeftButton);
        EXPECT_EQ(d.previewBox()->toPlainText(), c.preview);
        EXPECT_EQ(d.statusLabel()->text(), c.previewSummary);
        EXPECT_EQ(test::areaBytes(tb.builder, 1), before) << "a preview changes nothing";
        shoot(&d, c.shot);
        // Choosing other areas asks for a new preview.
        d.areaList()->item(1)->setSelected(false);
        EXPECT_FALSE(d.runButton()->isEnabled());
        d.areaList()->item(1)->setSelected(true);
        QTest::mouseClick(d.previewButton(), Qt::LeftButton);
        QTest::mouseClick(d.runButton(), Qt::LeftButton);
        EXPECT_EQ(d.statusLabel()->text(), c.done);
        EXPECT_TRUE(d.changedAreas());
        EXPECT_FALSE(d.progressBar()->isVisible());
    }
    EXPECT_FALSE(test::fileExists(dead));
    EXPECT_EQ(test::readFile(tb.builder.descriptionPath(1)).size(), 22u);
    EXPECT_EQ(AreaCheck::run(systemFileIo(), tb.builder.fileBaseDir(), 1), std::vector<std::string>());
    EXPECT_TRUE(dialogs.messages().isEmpty());
    // Nothing left: a preview offers no run.
    QTest::mouseClick(repair.previewButton(), Qt::LeftButton);
    EXPECT_EQ(repair.statusLabel()->text(), "Nothing to repair in 2 area(s).");
    EXPECT_FALSE(repair.runButton()->isEnabled());
    // A preview without areas is refused.
    const QString shown = repair.previewBox()->toPlainText();
    repair.areaList()->clearSelection();
    QTest::mouseClick(repair.previewButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(), QStringList { "Error!|Select the areas first." });
    EXPECT_EQ(repair.previewBox()->toPlainText(), shown);
}

// A copy a live transfer is writing stays, and a file a transfer left twice is named, not deleted.
TEST_F(UpkeepWindows, RepairLeavesWhatIsNotSafelyItsOwn)
{
    std::filesystem::remove(dead);
    const std::string live = tb.areaDir("a") + "/.qvcopy-" + std::to_string(::getpid()) + "-1.tmp";
    test::writeFile(live, "busy"s);
    const auto results = AreaRepairer(*board).repair({ 1 });
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].repairs.size(), 1u); // the index
    EXPECT_TRUE(test::fileExists(live));
}

} // namespace
} // namespace qv
