#include "tests/browser/MainWindowTest.h"

using namespace qv;
using qv::test::AreaRecordSpec;
using qv::test::Entry;
using qv::test::MainWindowTest;

namespace {

TEST_F(MainWindowTest, ProgressCountsRecordsInTensAndGivesWayToThePanels)
{
    board.writeEntries(12, std::vector<Entry>(25, Entry { .name = "X.ZIP", .size = 1 }));
    ASSERT_TRUE(open());
    EXPECT_EQ(window->progressBar()->maximum(), 25);
    EXPECT_EQ(window->progressBar()->value(), 20);
    EXPECT_FALSE(window->progressBar()->isVisible());
    EXPECT_TRUE(window->objectsPanel()->isVisible());
    EXPECT_EQ(objects(), "25 Object(s)");
}

TEST_F(MainWindowTest, TreeClicksDoNothingWhileIgnored)
{
    ASSERT_TRUE(open());
    window->tree()->setClicksIgnored(true);
    clickNode("Area5");
    EXPECT_EQ(title(), "Quorvex 1.5 - 12: Utilities");
    window->tree()->setClicksIgnored(false);
    clickNode("Area5");
    EXPECT_EQ(title(), "Quorvex 1.5 - 5: Orphans");
}

TEST_F(MainWindowTest, ADuplicateAreaNumberGetsTheKeyWithTheInsertedZeroAndLoadsTheSameArea)
{
    // Record 5 is not listed in FILES.RDX, so it takes its record number, 5, which record 3 has too.
    writeAreas({ { "Utilities", "", 1 }, { "Games", "", 2 }, { "Orphans", "", 9 }, { "Games", "", 2 },
        { "Orphans again", "", 1 } });
    ASSERT_TRUE(open());
    ASSERT_NE(window->tree()->itemOfKey("Area05"), nullptr);
    EXPECT_EQ(window->tree()->itemOfKey("Area05")->text(0), "Orphans again");
    clickNode("Area05");
    EXPECT_EQ(window->areas().currentArea(), 5);
    EXPECT_EQ(objects(), "1 Object(s)");
    // The plain key names the same area, which is now shown: no reload.
    board.writeEntries(5, {});
    clickNode("Area5");
    EXPECT_EQ(objects(), "1 Object(s)");
}

} // namespace

namespace {

// Record positions are the area numbers: 1 Utilities, 2 Old Games, 3 Games, 4 "1", 5 bbs files.
class SelectorBoardTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        std::filesystem::remove(board.boardDir() + "/FILES.RDX");
        writeAreas({ { "Utilities", "", 1 }, { "Old Games", "", 2 }, { "Games", "", 2 }, { "1", "", 1 },
            { "bbs files", "", 1 } });
        for (int area = 1; area <= 5; ++area)
            board.writeEntries(area, std::vector<Entry>(size_t(area), Entry { .name = "X.ZIP", .size = 1 }));
        settings.startupArea = 1;
    }

    QStringList items(const char* name) const
    {
        QStringList out;
        for (int i = 0; i < combo(name)->count(); ++i)
            out << combo(name)->itemText(i);
        return out;
    }
};

TEST_F(SelectorBoardTest, NamesSortWithoutCaseAndNumbersKeepRecordOrder)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(items("Combo2"), QStringList({ "1", "bbs files", "Games", "Old Games", "Utilities" }));
    EXPECT_EQ(items("Combo3"),
        QStringList({ "00001: Utilities", "00002: Old Games", "00003: Games", "00004: 1", "00005: bbs files" }));
}

TEST_F(SelectorBoardTest, ANameChosenLoadsTheAreaOfThatWholeName)
{
    ASSERT_TRUE(open());
    // "Games" is also found inside "Old Games", and "1" inside "00001: ...": neither may win.
    choose(combo("Combo2"), "Games");
    EXPECT_EQ(title(), "Quorvex 1.5 - 3: Games");
    EXPECT_EQ(objects(), "3 Object(s)");
    choose(combo("Combo2"), "1");
    EXPECT_EQ(title(), "Quorvex 1.5 - 4: 1");
    EXPECT_EQ(combo("Combo3")->currentText(), "00004: 1");
    choose(combo("Combo2"), "Old Games");
    EXPECT_EQ(title(), "Quorvex 1.5 - 2: Old Games");
}

TEST_F(SelectorBoardTest, ALoadFromASelectorBringsTheTreeInLineWithoutSelecting)
{
    ASSERT_TRUE(open());
    AreaTreeView* tree = window->tree();
    QTreeWidgetItem* selected = tree->currentItem();
    EXPECT_TRUE(tree->itemOfKey("Group1")->isExpanded());
    EXPECT_FALSE(tree->itemOfKey("Group2")->isExpanded());
    choose(combo("Combo2"), "Games");
    EXPECT_FALSE(tree->itemOfKey("Group1")->isExpanded());
    EXPECT_TRUE(tree->itemOfKey("Group2")->isExpanded());
    EXPECT_TRUE(tree->itemOfKey("r")->isExpanded());
    EXPECT_TRUE(tree->viewport()->rect().intersects(tree->visualItemRect(tree->itemOfKey("Area3"))));
    EXPECT_EQ(tree->currentItem(), selected);
    // Another area of the same group leaves the group open.
    choose(combo("Combo2"), "Old Games");
    EXPECT_TRUE(tree->itemOfKey("Group2")->isExpanded());
    EXPECT_EQ(combo("Combo2")->currentText(), "Old Games");
}

TEST_F(MainWindowTest, AMissingDescriptionFaceFallsBackToTheFixedFontAndKeepsItsName)
{
    settings.descriptionFontName = "Terminal";
    settings.descriptionFontSize = "not a size";
    ASSERT_TRUE(open());
    const QFont font = window->descriptionPane()->font();
    if (!QFontDatabase::families().contains("Terminal", Qt::CaseInsensitive)) {
        EXPECT_EQ(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    }
    EXPECT_EQ(font.pointSize(), 9);
    clickRow(0);
    EXPECT_EQ(window->descriptionPane()->toPlainText(), "Foo archive");
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].descriptionFontName, "Terminal");
}

} // namespace

namespace {

TEST_F(MainWindowTest, HelpSitsAtTheRightEndAndKeepsItsShortcut)
{
    ASSERT_TRUE(open());
    QMenuBar* bar = window->menuBar();
    QWidget* corner = bar->cornerWidget(Qt::TopRightCorner);
    ASSERT_NE(corner, nullptr);
    EXPECT_TRUE(corner->isVisible());
    EXPECT_GT(corner->x(), bar->actionGeometry(bar->actions().last()).right());
    EXPECT_GE(corner->geometry().right(), bar->width() - 8);
    // The help viewer would start an outside program here.
    QObject::disconnect(act("contents"), &QAction::triggered, nullptr, nullptr);
    QSignalSpy help(act("contents"), &QAction::triggered);
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(help.count(), 1);
}

} // namespace
