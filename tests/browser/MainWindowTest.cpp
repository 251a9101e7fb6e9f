#include "tests/browser/MainWindowTest.h"

using namespace qv;
using qv::test::Entry;
using qv::test::MainWindowTest;

namespace {

TEST_F(MainWindowTest, StartUpShowsTheDefaultAreaAndTheBoardInRecordOrderAndAboutNamesTheVersion)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(title(), "Quorvex 1.5 - 12: Utilities");
    EXPECT_EQ(objects(), "4 Object(s)");
    EXPECT_EQ(megabytes(), "1.4 MB"); // 1,548,676 bytes
    EXPECT_TRUE(dialogs.calls.isEmpty());
    EXPECT_FALSE(window->progressBar()->isVisible());
    EXPECT_EQ(combo("Combo3")->currentText(), "00012: Utilities");
    EXPECT_EQ(combo("Combo2")->currentText(), "Utilities");
    EXPECT_EQ(names(), QStringList({ "Foo.zip", "My long name.txt", " (Comment)", "Picture.jpg" }));
    EXPECT_EQ(cell(1, FileListModel::Uploader), "(Unknown)");
    // The archivers of the settings reach the list's icons: Foo.zip shows an archive.
    EXPECT_EQ(window->model()->smallIconIndexOf(0), 3);
    act("about")->trigger();
    EXPECT_EQ(messages(), QStringList({ "About QRVX|Quorvex 1.5" }));

    // The tree and the selectors list the board in record order.
    AreaTreeView* tree = window->tree();
    EXPECT_EQ(tree->itemOfKey("r")->text(0), "Kestrel BBS");
    EXPECT_EQ(tree->itemOfKey("Group1")->text(0), "Utility group");
    EXPECT_EQ(tree->itemOfKey("Group2")->text(0), "Game group");
    EXPECT_EQ(tree->itemOfKey("Undefined")->text(0), "Undefined/All Groups's");
    EXPECT_EQ(AreaTreeView::keyOf(tree->itemOfKey("Area12")->parent()), "Group1");
    EXPECT_EQ(AreaTreeView::keyOf(tree->itemOfKey("Area5")->parent()), "Undefined");
    EXPECT_EQ(AreaTreeView::keyOf(tree->itemOfKey("Area4")->parent()), "Group2");
    EXPECT_EQ(items("Combo3"), QStringList({ "00012: Utilities", "00003: Games", "00005: Orphans", "00004: Games" }));
    EXPECT_EQ(items("Combo2"), QStringList({ "Games", "Games", "Orphans", "Utilities" }));

    // Help sits at the right end of the menu bar (F1 itself is tried where it opens the manual).
    QMenuBar* bar = window->menuBar();
    QWidget* corner = bar->cornerWidget(Qt::TopRightCorner);
    ASSERT_NE(corner, nullptr);
    EXPECT_TRUE(corner->isVisible());
    EXPECT_GT(corner->x(), bar->actionGeometry(bar->actions().last()).right());
    EXPECT_GE(corner->geometry().right(), bar->width() - 8);
}

// A default area that does not exist is said; 0 means the first area without a word.
TEST_F(MainWindowTest, AMissingDefaultAreaFallsBackToTheFirst)
{
    for (const int area : { 7, 0 }) {
        settings.startupArea = area;
        dialogs.calls.clear();
        ASSERT_TRUE(open());
        EXPECT_EQ(messages(),
            area ? QStringList({ "Quorvex|Area 7 does not exist, using first area instead." }) : QStringList());
        if (area) {
            EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
        }
        EXPECT_EQ(title(), "Quorvex 1.5 - 12: Utilities");
        window.reset();
    }
}

struct FatalCase {
    const char* name;
    std::function<void(qv::test::BoardBuilder&)> damage;
    QStringList expected;
};

class MainWindowFatalTest : public MainWindowTest, public ::testing::WithParamInterface<FatalCase> { };

TEST_P(MainWindowFatalTest, EndsTheRunWithoutWritingSettings)
{
    GetParam().damage(board);
    EXPECT_FALSE(open());
    EXPECT_EQ(messages(), GetParam().expected);
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
    EXPECT_TRUE(window->endedFatally());
    EXPECT_FALSE(window->isVisible());
    window->close();
    EXPECT_TRUE(written.empty());
}

const QStringList kNoAreas = { "Quorvex|Area 12 does not exist, using first area instead.",
    "Fatal Error!|Unable to read RA configuration files (FILES.RA)" };
const QStringList kNoFileBase = { "Fatal Error|File database path C:\\RA\\FDB not found!" };

INSTANTIATE_TEST_SUITE_P(Fatal, MainWindowFatalTest,
    ::testing::Values(FatalCase { "NoAreas", [](qv::test::BoardBuilder& b) { b.writeAreas({ { "   " } }); }, kNoAreas },
        FatalCase { "NoFilesRa", [](qv::test::BoardBuilder& b) { std::filesystem::remove(b.boardDir() + "/FILES.RA"); },
            kNoAreas },
        FatalCase { "MissingHeader",
            [](qv::test::BoardBuilder& b) { std::filesystem::remove(b.fileBaseDir() + "/hdr/fdb12.hdr"); },
            kNoFileBase },
        FatalCase { "MissingFileBase", [](qv::test::BoardBuilder& b) { std::filesystem::remove_all(b.fileBaseDir()); },
            kNoFileBase },
        FatalCase { "HeaderIsADirectory",
            [](qv::test::BoardBuilder& b) {
                std::filesystem::remove(b.fileBaseDir() + "/hdr/fdb12.hdr");
                std::filesystem::create_directories(b.fileBaseDir() + "/hdr/fdb12.hdr/x");
            },
            { "Quorvex|Unexpected error (21) in ReadArea, please contact Kestrelwick!" } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ANodeLoadsItsAreaButClickingTheShownAreaDoesNotReloadWhereASelectorDoes)
{
    ASSERT_TRUE(open());
    board.writeEntries(12, { { .name = "ONLY.ZIP", .size = 1 } });
    clickNode("Area12");
    EXPECT_EQ(objects(), "4 Object(s)");
    choose(combo("Combo2"), "Utilities");
    EXPECT_EQ(objects(), "1 Object(s)");
    board.writeEntries(12, { { .name = "ONE.ZIP", .size = 1 }, { .name = "TWO.ZIP", .size = 1 } });
    act("num")->trigger();
    choose(combo("Combo3"), "00012: Utilities");
    EXPECT_EQ(objects(), "2 Object(s)");

    // An area under Undefined loads from its node too.
    clickNode("Area5");
    EXPECT_EQ(title(), "Quorvex 1.5 - 5: Orphans");
    EXPECT_EQ(objects(), "1 Object(s)");
    EXPECT_EQ(combo("Combo3")->currentText(), "00005: Orphans");
    EXPECT_TRUE(window->tree()->itemOfKey("Undefined")->isExpanded());
    // Loading an area of another group folds the previous group away.
    clickNode("Area4");
    EXPECT_FALSE(window->tree()->itemOfKey("Undefined")->isExpanded());
    EXPECT_TRUE(window->tree()->itemOfKey("Group2")->isExpanded());
}

// Commands on entries need a row; a comment line can still go into an empty area.
TEST_F(MainWindowTest, TwoAreasOfOneNameLoadTheFirstInNumericOrderAndAnEmptyAreaDisablesEntryCommands)
{
    ASSERT_TRUE(open());
    QList<QAction*> onRows = { window->commands().toolAction("del"), window->commands().toolAction("props") };
    for (const char* id : { "remov", "props", "prop", "eddesc", "mnuGlobDesc", "filecut", "filecop", "filedelete" })
        onRows << act(id);
    const QList<QAction*> comments = { act("icom"), act("icom2") };
    for (QAction* a : onRows + comments)
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();

    // The right-button menu follows the clicked row.
    QTreeView* view = window->fileList()->detailsView();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, view->visualRect(window->model()->index(2, 0)).center());
    QMenu* popup = window->commands().popupMenu();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->title(), "Fileprops");
    EXPECT_FALSE(act("ExDesc")->isEnabled());
    EXPECT_FALSE(act("udate")->isEnabled());
    EXPECT_TRUE(act("prop")->isEnabled());
    popup->hide();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, view->visualRect(window->model()->index(0, 0)).center());
    EXPECT_TRUE(act("ExDesc")->isEnabled());
    popup->hide();

    choose(combo("Combo2"), "Games");
    EXPECT_EQ(title(), "Quorvex 1.5 - 3: Games");
    EXPECT_EQ(objects(), "0 Object(s)");
    EXPECT_EQ(megabytes(), "0 MB");
    for (QAction* a : onRows + comments)
        EXPECT_EQ(a->isEnabled(), comments.contains(a)) << a->objectName().toStdString();
}

TEST_F(MainWindowTest, OrderCommandsSwapTheSelectorsAndThePressedToolbarKey)
{
    settings.areasInNumberOrder = true;
    ASSERT_TRUE(open());
    window->ensureFirstActivation();
    QToolButton* byName = window->findChild<QToolButton*>("namesort");
    QToolButton* byNumber = window->findChild<QToolButton*>("numsort");
    auto state = [&] {
        return QString("%1%2 %3%4 %5%6")
            .arg(combo("Combo2")->isVisible())
            .arg(combo("Combo3")->isVisible())
            .arg(byName->isChecked())
            .arg(byNumber->isChecked())
            .arg(act("alph")->isChecked())
            .arg(act("num")->isChecked());
    };
    EXPECT_EQ(state(), "01 01 01");
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(state(), "10 10 10");
    QTest::mouseClick(byNumber, Qt::LeftButton);
    EXPECT_EQ(state(), "01 01 01");
    QTest::mouseClick(byNumber, Qt::LeftButton); // pressing the pressed key keeps the order
    EXPECT_EQ(state(), "01 01 01");
    QTest::mouseClick(byName, Qt::LeftButton);
    EXPECT_EQ(state(), "10 10 10");
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(state(), "01 01 01");
    EXPECT_TRUE(closeAndRead().areasInNumberOrder);
}

TEST_F(MainWindowTest, RowClickShowsTheDescriptionReadOncePerRowUntilTheNextLoadAndOpenGoesThroughTheDesktop)
{
    ASSERT_TRUE(open());
    DescriptionPane* pane = window->descriptionPane();
    clickRow(0);
    EXPECT_EQ(pane->toPlainText(), "Foo archive");
    EXPECT_EQ(window->files().lastDescribedRow(), 0);
    // The same text moved elsewhere: a second click on the row does not read it again.
    qv::test::writeFile(board.descriptionPath(12),
        { 'N', 'e', 'w', 0, 'R', 'e', 'a', 'd', ' ', 'm', 'e', ' ', 'f', 'i', 'r', 's', 't', 0 });
    pane->setPlainText("typed");
    clickRow(0);
    EXPECT_EQ(pane->toPlainText(), "typed");
    clickRow(3);
    EXPECT_EQ(pane->toPlainText(), ""); // no description pointer
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(window->files().lastDescribedRow(), -1);
    EXPECT_EQ(pane->toPlainText(), "");
    clickRow(0);
    EXPECT_EQ(pane->toPlainText(), "New");
    EXPECT_EQ(pane->font().pointSize(), 9);

    // A double click opens the file through the desktop, which says what went wrong.
    const QString dir = QString::fromStdString(areaDir(1));
    qv::test::writeFile(areaDir(1) + "/FOO.ZIP", "PK");
    clickRow(0, true);
    EXPECT_EQ(desktop.opened, QStringList({ dir + "/FOO.ZIP" }));
    EXPECT_EQ(desktop.workingDirectories, QStringList({ dir }));
    EXPECT_TRUE(dialogs.calls.isEmpty());

    desktop.openResult = Desktop::OpenResult::NotFound;
    clickRow(3);
    act("open")->trigger();
    desktop.openResult = Desktop::OpenResult::NoApplication;
    act("mnuFileopen")->trigger();
    desktop.openResult = Desktop::OpenResult::Failed;
    act("open")->trigger();
    EXPECT_EQ(messages(),
        QStringList({ "Open...|Could not open file, file or path not found: '" + dir + "\\Picture.jpg' !",
            "Open...|No application linked to this extension" }));
}

TEST_F(MainWindowTest, ViewsLongNamesAndTheAreaPanelAreWrittenBack)
{
    settings.areaPanelWidth = 3000; // 200 pixels at 96 dpi
    ASSERT_TRUE(open());
    FileListView* list = window->fileList();
    act("RmViewList")->trigger();
    EXPECT_EQ(list->mode(), FileListView::Mode::List);
    EXPECT_EQ(list->currentWidget(), list->listView());
    EXPECT_TRUE(act("ViewList")->isChecked());
    EXPECT_FALSE(act("ViewDetails")->isChecked());
    EXPECT_TRUE(act("RmViewList")->isChecked());
    act("ViewDetails")->trigger();
    EXPECT_EQ(list->currentWidget(), list->detailsView());
    EXPECT_TRUE(act("RmViewDetails")->isChecked());
    EXPECT_FALSE(act("RmViewList")->isChecked());

    EXPECT_TRUE(act("mnuDispLFN")->isChecked());
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_FALSE(act("mnuDispLFN")->isChecked());
    EXPECT_EQ(window->model()->index(1, 0).data().toString(), "Mylong~1.txt");
    act("ViewList")->trigger();

    // The area panel toggles and keeps its width.
    QWidget* panel = window->areaPanel();
    const int width = panel->width();
    EXPECT_NEAR(width, 3000 * window->logicalDpiX() / 1440, 1);
    QTest::mouseClick(window->findChild<QToolButton*>("tlbClose"), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(act("AExp")->isChecked());
    act("AExp")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(act("AExp")->isChecked());
    EXPECT_EQ(panel->width(), width);
    act("AExp")->trigger();
    const Settings back = closeAndRead();
    EXPECT_FALSE(back.useLongNames);
    EXPECT_TRUE(back.viewAsList);
    EXPECT_FALSE(back.areaPanelShown);
    EXPECT_NEAR(back.areaPanelWidth, 3000, 15);
}

void drag(QSplitter* splitter, QPoint to)
{
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(handle, &press);
    const QPoint target = handle->mapFrom(splitter, to);
    QMouseEvent move(QEvent::MouseMove, target, handle->mapToGlobal(target), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, target, handle->mapToGlobal(target), Qt::LeftButton, {}, {});
    QApplication::sendEvent(handle, &release);
}

// The splitters stop at their limits; the description font is chosen, stored and applied.
TEST_F(MainWindowTest, SplittersStopAtTheirLimitsAndTheDescriptionFontIsChosen)
{
    settings.descriptionFontName = "Terminal";
    settings.descriptionFontSize = "11";
    ASSERT_TRUE(open());
    EXPECT_EQ(window->descriptionPane()->font().pointSize(), 11);
    dialogs.font = std::nullopt;
    act("df")->trigger();
    EXPECT_EQ(settings.descriptionFontSize, "11");
    QFont chosen("DejaVu Sans", 14);
    chosen.setBold(true);
    dialogs.font = chosen;
    act("df")->trigger();
    EXPECT_EQ(settings.descriptionFontName, "DejaVu Sans");
    EXPECT_EQ(settings.descriptionFontSize, "14");
    EXPECT_TRUE(settings.descriptionFontBold);
    EXPECT_FALSE(settings.descriptionFontItalic);
    EXPECT_EQ(window->descriptionPane()->font().pointSize(), 14);
    EXPECT_TRUE(window->descriptionPane()->font().bold());

    const int dpi = window->logicalDpiX();
    QSplitter* tree = window->treeSplitter();
    drag(tree, { 0, tree->height() / 2 });
    EXPECT_EQ(window->areaPanel()->width(), 500 * dpi / 1440);
    drag(tree, { tree->width(), tree->height() / 2 });
    EXPECT_EQ(window->fileList()->width(), 1000 * dpi / 1440);

    QSplitter* desc = window->descriptionSplitter();
    drag(desc, { desc->width() / 2, 0 });
    EXPECT_EQ(window->fileList()->height(), 500 * dpi / 1440);
    drag(desc, { desc->width() / 2, desc->height() });
    EXPECT_EQ(window->descriptionPane()->height(), 540 * dpi / 1440);
    EXPECT_NEAR(closeAndRead().descriptionPaneHeight, 540, 15);
}

// The progress of a load counts records in tens and gives way to the panels.
TEST_F(MainWindowTest, ProgressCountsInTensAndADuplicateAreaNumberGetsTheKeyWithTheInsertedZero)
{
    board.writeEntries(12, std::vector<Entry>(25, Entry { .name = "X.ZIP", .size = 1 }));
    // Record 5 is not listed in FILES.RDX, so it takes its record number, 5, which record 3 has too.
    writeAreas({ { "Utilities", "", 1 }, { "Games", "", 2 }, { "Orphans", "", 9 }, { "Games", "", 2 },
        { "Orphans again", "", 1 } });
    ASSERT_TRUE(open());
    EXPECT_EQ(window->progressBar()->maximum(), 25);
    EXPECT_EQ(window->progressBar()->value(), 20);
    EXPECT_FALSE(window->progressBar()->isVisible());
    EXPECT_TRUE(window->objectsPanel()->isVisible());
    EXPECT_EQ(objects(), "25 Object(s)");
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
};

// A load from a selector brings the tree in line without selecting in it.
TEST_F(SelectorBoardTest, NamesSortWithoutCaseAndANameChosenLoadsTheAreaOfThatWholeName)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(items("Combo2"), QStringList({ "1", "bbs files", "Games", "Old Games", "Utilities" }));
    EXPECT_EQ(items("Combo3"),
        QStringList({ "00001: Utilities", "00002: Old Games", "00003: Games", "00004: 1", "00005: bbs files" }));
    AreaTreeView* tree = window->tree();
    QTreeWidgetItem* selected = tree->currentItem();
    EXPECT_TRUE(tree->itemOfKey("Group1")->isExpanded());
    EXPECT_FALSE(tree->itemOfKey("Group2")->isExpanded());
    // "Games" is also found inside "Old Games", and "1" inside "00001: ...": neither may win.
    choose(combo("Combo2"), "Games");
    EXPECT_EQ(title(), "Quorvex 1.5 - 3: Games");
    EXPECT_EQ(objects(), "3 Object(s)");
    EXPECT_FALSE(tree->itemOfKey("Group1")->isExpanded());
    EXPECT_TRUE(tree->itemOfKey("Group2")->isExpanded());
    EXPECT_TRUE(tree->itemOfKey("r")->isExpanded());
    EXPECT_TRUE(tree->viewport()->rect().intersects(tree->visualItemRect(tree->itemOfKey("Area3"))));
    EXPECT_EQ(tree->currentItem(), selected);
    // Another area of the same group leaves the group open.
    choose(combo("Combo2"), "Old Games");
    EXPECT_EQ(title(), "Quorvex 1.5 - 2: Old Games");
    EXPECT_TRUE(tree->itemOfKey("Group2")->isExpanded());
    EXPECT_EQ(combo("Combo2")->currentText(), "Old Games");
    choose(combo("Combo2"), "1");
    EXPECT_EQ(title(), "Quorvex 1.5 - 4: 1");
    EXPECT_EQ(combo("Combo3")->currentText(), "00004: 1");
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
    EXPECT_EQ(closeAndRead().descriptionFontName, "Terminal");
}

} // namespace
