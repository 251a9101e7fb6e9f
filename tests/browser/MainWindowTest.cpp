#include "tests/browser/MainWindowTest.h"

using namespace qv;
using qv::test::AreaRecordSpec;
using qv::test::Entry;
using qv::test::MainWindowTest;

namespace {

TEST_F(MainWindowTest, StartUpShowsTheDefaultAreaWithTitleAndStatus)
{
    ASSERT_TRUE(open());
    EXPECT_EQ(title(), "Quorvex 1.5 - 12: Utilities");
    EXPECT_EQ(objects(), "4 Object(s)");
    EXPECT_EQ(megabytes(), "1.4 MB"); // 1,548,676 bytes
    EXPECT_TRUE(dialogs.calls.isEmpty());
    EXPECT_FALSE(window->progressBar()->isVisible());
    EXPECT_EQ(combo("Combo3")->currentText(), "00012: Utilities");
    EXPECT_EQ(combo("Combo2")->currentText(), "Utilities");
    const QStringList rows = { "Foo.zip", "My long name.txt", " (Comment)", "Picture.jpg" };
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(window->model()->index(i, 0).data().toString(), rows[i]);
    EXPECT_EQ(window->model()->index(1, FileListModel::Uploader).data().toString(), "(Unknown)");
}

TEST_F(MainWindowTest, TreeAndSelectorsListTheBoardInRecordOrder)
{
    ASSERT_TRUE(open());
    AreaTreeView* tree = window->tree();
    EXPECT_EQ(tree->itemOfKey("r")->text(0), "Kestrel BBS");
    EXPECT_EQ(tree->itemOfKey("Group1")->text(0), "Utility group");
    EXPECT_EQ(tree->itemOfKey("Group2")->text(0), "Game group");
    EXPECT_EQ(tree->itemOfKey("Undefined")->text(0), "Undefined/All Groups's");
    EXPECT_EQ(AreaTreeView::keyOf(tree->itemOfKey("Area12")->parent()), "Group1");
    EXPECT_EQ(AreaTreeView::keyOf(tree->itemOfKey("Area5")->parent()), "Undefined");
    EXPECT_EQ(AreaTreeView::keyOf(tree->itemOfKey("Area4")->parent()), "Group2");
    QStringList numeric, names;
    for (int i = 0; i < combo("Combo3")->count(); ++i)
        numeric << combo("Combo3")->itemText(i);
    for (int i = 0; i < combo("Combo2")->count(); ++i)
        names << combo("Combo2")->itemText(i);
    EXPECT_EQ(numeric, QStringList({ "00012: Utilities", "00003: Games", "00005: Orphans", "00004: Games" }));
    EXPECT_EQ(names, QStringList({ "Games", "Games", "Orphans", "Utilities" }));
}

TEST_F(MainWindowTest, StartUpAreaRule)
{
    settings.startupArea = 7;
    ASSERT_TRUE(open());
    EXPECT_EQ(messages(), QStringList({ "Quorvex|Area 7 does not exist, using first area instead." }));
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
    EXPECT_EQ(title(), "Quorvex 1.5 - 12: Utilities");
}

TEST_F(MainWindowTest, DefaultAreaZeroMeansTheFirstAreaWithoutAMessage)
{
    settings.startupArea = 0;
    ASSERT_TRUE(open());
    EXPECT_TRUE(dialogs.calls.isEmpty());
    EXPECT_EQ(title(), "Quorvex 1.5 - 12: Utilities");
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
    window->close();
    EXPECT_TRUE(written.empty());
}

INSTANTIATE_TEST_SUITE_P(Fatal, MainWindowFatalTest,
    ::testing::Values(FatalCase { "NoAreas", [](qv::test::BoardBuilder& b) { b.writeAreas({ { "   " } }); },
                          { "Quorvex|Area 12 does not exist, using first area instead.",
                              "Fatal Error!|Unable to read RA configuration files (FILES.RA)" } },
        FatalCase { "NoFilesRa", [](qv::test::BoardBuilder& b) { std::filesystem::remove(b.boardDir() + "/FILES.RA"); },
            { "Quorvex|Area 12 does not exist, using first area instead.",
                "Fatal Error!|Unable to read RA configuration files (FILES.RA)" } },
        FatalCase { "MissingHeader",
            [](qv::test::BoardBuilder& b) { std::filesystem::remove(b.fileBaseDir() + "/hdr/fdb12.hdr"); },
            { "Fatal Error|File database path C:\\RA\\FDB not found!" } },
        FatalCase { "MissingFileBase", [](qv::test::BoardBuilder& b) { std::filesystem::remove_all(b.fileBaseDir()); },
            { "Fatal Error|File database path C:\\RA\\FDB not found!" } },
        FatalCase { "HeaderIsADirectory",
            [](qv::test::BoardBuilder& b) {
                std::filesystem::remove(b.fileBaseDir() + "/hdr/fdb12.hdr");
                std::filesystem::create_directories(b.fileBaseDir() + "/hdr/fdb12.hdr/x");
            },
            { "Quorvex|Unexpected error (21) in ReadArea, please contact Kestrelwick!" } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ClickingTheShownAreaDoesNotReloadButChoosingItInASelectorDoes)
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
}

TEST_F(MainWindowTest, AnAreaUnderUndefinedLoadsFromItsNode)
{
    ASSERT_TRUE(open());
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

TEST_F(MainWindowTest, TwoAreasOfOneNameLoadTheFirstInNumericOrderAndAnEmptyAreaDisablesEntryCommands)
{
    ASSERT_TRUE(open());
    EXPECT_TRUE(act("remov")->isEnabled());
    EXPECT_TRUE(window->commands().toolAction("del")->isEnabled());
    choose(combo("Combo2"), "Games");
    EXPECT_EQ(title(), "Quorvex 1.5 - 3: Games");
    EXPECT_EQ(objects(), "0 Object(s)");
    EXPECT_EQ(megabytes(), "0 MB");
    for (const char* id : { "remov", "props", "prop", "filecut", "filecop", "filedelete" })
        EXPECT_FALSE(act(id)->isEnabled()) << id;
    EXPECT_FALSE(window->commands().toolAction("del")->isEnabled());
    EXPECT_FALSE(window->commands().toolAction("props")->isEnabled());
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
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0].areasInNumberOrder);
}

TEST_F(MainWindowTest, RowClickShowsTheDescriptionReadOncePerRowUntilTheNextLoad)
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
}

TEST_F(MainWindowTest, OpenAndExploreGoThroughTheDesktop)
{
    ASSERT_TRUE(open());
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

    const qsizetype before = desktop.opened.size();
    clickRow(2, true); // a comment line is never opened as a file: its text is edited
    EXPECT_EQ(desktop.opened.size(), before);
    auto* editor = window->findChild<QDialog*>("PropertiesDialog");
    ASSERT_NE(editor, nullptr);
    editor->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(desktop.explored, QStringList({ dir }));
}

TEST_F(MainWindowTest, ViewsLongNamesAndRefresh)
{
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
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_FALSE(written[0].useLongNames);
    EXPECT_TRUE(written[0].viewAsList);
}

TEST_F(MainWindowTest, AreaPanelTogglesAndKeepsItsWidth)
{
    settings.areaPanelWidth = 3000; // 200 pixels at 96 dpi
    ASSERT_TRUE(open());
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
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_FALSE(written[0].areaPanelShown);
    EXPECT_NEAR(written[0].areaPanelWidth, 3000, 15);
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

TEST_F(MainWindowTest, SplittersStopAtTheirLimits)
{
    ASSERT_TRUE(open());
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
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_NEAR(written[0].descriptionPaneHeight, 540, 15);
}

TEST_F(MainWindowTest, CutAndCopyBelongToTheDescriptionWhileItHasTheFocus)
{
    ASSERT_TRUE(open());
    window->descriptionPane()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(act("cut")->isEnabled());
    EXPECT_FALSE(act("copy")->isEnabled());
    window->fileList()->detailsView()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(act("cut")->isEnabled());
    EXPECT_TRUE(act("copy")->isEnabled());
}

TEST_F(MainWindowTest, DescriptionFontIsChosenStoredAndApplied)
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
}

TEST_F(MainWindowTest, AboutNamesTheProgramAndItsVersion)
{
    ASSERT_TRUE(open());
    act("about")->trigger();
    EXPECT_EQ(messages(), QStringList({ "About QRVX|Quorvex 1.5" }));
}

TEST_F(MainWindowTest, ShutdownStoresGeometryOnlyForANormalWindow)
{
    settings.windowWidth = 9000;
    settings.windowHeight = 7500;
    settings.windowX = 300;
    settings.windowY = 450;
    ASSERT_TRUE(open());
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(writtenNormal);
    EXPECT_EQ(written[0].windowState, 0);
    EXPECT_NEAR(written[0].windowWidth, 9000, 15);
    EXPECT_NEAR(written[0].windowHeight, 7500, 15);

    written.clear();
    window.reset();
    settings.windowState = 2;
    ASSERT_TRUE(open());
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_FALSE(writtenNormal);
    EXPECT_EQ(written[0].windowState, 2);
}

TEST_F(MainWindowTest, RightButtonMenuFollowsTheClickedRow)
{
    ASSERT_TRUE(open());
    QTreeView* view = window->fileList()->detailsView();
    const QPoint comment = view->visualRect(window->model()->index(2, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, comment);
    QMenu* popup = window->commands().popupMenu();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->title(), "Fileprops");
    EXPECT_FALSE(act("ExDesc")->isEnabled());
    EXPECT_FALSE(act("udate")->isEnabled());
    EXPECT_TRUE(act("prop")->isEnabled());
    popup->hide();
    const QPoint file = view->visualRect(window->model()->index(0, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, file);
    EXPECT_TRUE(act("ExDesc")->isEnabled());
    popup->hide();
}

struct SizeCase {
    int32_t bytes;
    const char* text;
};
class MainWindowSizeTest : public MainWindowTest, public ::testing::WithParamInterface<SizeCase> { };

TEST_P(MainWindowSizeTest, MegabytePanelTruncates)
{
    board.writeEntries(12, { { .name = "ONE.ZIP", .size = GetParam().bytes } });
    ASSERT_TRUE(open());
    EXPECT_EQ(megabytes(), GetParam().text);
    EXPECT_EQ(objects(), "1 Object(s)");
}

INSTANTIATE_TEST_SUITE_P(Sizes, MainWindowSizeTest,
    ::testing::Values(SizeCase { 0, "0 MB" }, SizeCase { 500000, "0.4 MB" }, SizeCase { 1048576, "1 MB" },
        SizeCase { 1572864, "1.5 MB" }, SizeCase { 1000000, "0.9 MB" }));

TEST_F(MainWindowTest, IconsFollowTheDisplayedName)
{
    board.writeEntries(12,
        { { .name = "FOO.ZIP", .size = 1 }, { .name = "README.TXT", .size = 1, .longName = "ReadMe.TXT" },
            { .name = "PICTUR~1.ZIP", .size = 1, .longName = "PICTURE.JPG.ZIP" }, {}, { .name = "SONG.MOD", .size = 1 },
            { .name = "NOEXT", .size = 1 } });
    ASSERT_TRUE(open());
    FileListModel* model = window->model();
    EXPECT_EQ(model->index(1, 0).data().toString(), "Readme.txt");
    EXPECT_EQ(model->index(2, 0).data().toString(), "Picture.jpg.zip");
    const std::vector<int> expected = { 3, 5, 3, 2, 8, 1 }; // the extension after the last dot
    for (int row = 0; row < int(expected.size()); ++row)
        EXPECT_EQ(model->smallIconIndexOf(row), expected[size_t(row)]) << row;
}

} // namespace
