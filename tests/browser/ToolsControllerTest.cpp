#include "browser/ToolsController.h"
#include "editing/Descriptions.h"
#include "tests/browser/MainWindowFixture.h"
#include "tools/widgets/ExportDialog.h"
#include "tools/widgets/FindWindow.h"
#include "tools/widgets/PackDialog.h"
#include "tools/widgets/RepairDialog.h"
#include "transfer/widgets/CleanDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>

using namespace qv;

namespace {

bool isBold(AreaTreeView* tree, const char* key)
{
    return tree->itemOfKey(key)->font(0).bold();
}

class ToolsWiring : public test::MainWindowFixture {
protected:
    void SetUp() override
    {
        board.writeConfig("Kestrel BBS", "C:\\RA\\FDB");
        board.writeGroups({ { "Group" } });
        writeAreas({ { "Utilities", "", 1 }, { "Games", "", 1 } });
        board.writeEntries(1,
            { { .name = "FOO.ZIP", .size = 10, .description = "Foo archive" },
                { .name = "BAR.ZIP", .size = 20, .description = "Bar tool" } });
        board.writeEntries(2,
            { { .name = "A.TXT", .size = 1, .description = "first" },
                { .name = "B.TXT", .size = 2, .description = "the tool box" } });
        settings.startupArea = 1;
        ASSERT_TRUE(open());
    }
};

TEST_F(ToolsWiring, FindWindowOpensBesideTheWindowAndGoesToAreasAndEntries)
{
    EXPECT_TRUE(act("ffind")->isEnabled());
    EXPECT_TRUE(window->commands().toolAction("findfile")->isEnabled());
    window->commands().toolAction("findfile")->trigger();
    FindWindow* find = window->tools().findWindow();
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->isVisible());
    EXPECT_FALSE(find->isModal());
    act("ffind")->trigger(); // a second open raises the same window
    EXPECT_EQ(window->tools().findWindow(), find);

    // Tree clicks do nothing while it is open. The loaded area is bold however it was chosen.
    AreaTreeView* tree = window->tree();
    auto bold = [tree] { return QString("%1%2").arg(isBold(tree, "Area1")).arg(isBold(tree, "Area2")); };
    EXPECT_EQ(bold(), "10");
    QTreeWidgetItem* games = tree->itemOfKey("Area2");
    tree->scrollToItem(games);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(games).center());
    EXPECT_EQ(window->areas().currentArea(), 1);
    EXPECT_TRUE(window->messagePanel()->text().contains("Search File")) << window->messagePanel()->text().toStdString();

    find->findChild<QLineEdit*>("Text1")->setText("tool");
    find->find();
    find->waitForSearch();
    ASSERT_EQ(find->results()->rowCount(), 4); // 1 - Utilities, Bar.zip, 2 - Games, B.txt

    // An area row switches the area only; a hit row also selects and describes the entry.
    QTreeView* view = find->resultsView();
    auto doubleClick = [&](int row) {
        const QPoint at = view->visualRect(find->results()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClick(2);
    EXPECT_EQ(window->areas().currentArea(), 2);
    EXPECT_EQ(bold(), "01");
    tree->setCurrentItem(tree->itemOfKey("Group1")); // selecting another node changes nothing
    EXPECT_EQ(bold(), "01");
    EXPECT_EQ(window->files().lastDescribedRow(), -1);
    doubleClick(1);
    EXPECT_EQ(window->areas().currentArea(), 1);
    EXPECT_EQ(window->fileList()->currentRow(), 1);
    EXPECT_EQ(window->fileList()->selectedRows(), QList<int>({ 1 }));
    EXPECT_EQ(window->files().lastDescribedRow(), 1);
    EXPECT_EQ(window->descriptionPane()->toPlainText(), "Bar tool");
    EXPECT_EQ(bold(), "10");

    // Another program put a line in front since the search: the jump still finds Bar.zip; gone
    // from the area, it is not some other row.
    ASSERT_EQ(Descriptions(*opened, 1).insertComment(0, "new", "").outcome, DescriptionsResult::Outcome::Written);
    window->areas().readArea(1);
    doubleClick(1);
    EXPECT_EQ(window->fileList()->currentRow(), 2);
    EXPECT_EQ(window->descriptionPane()->toPlainText(), "Bar tool");
    ASSERT_TRUE(opened->store().rewrite(1, RewritePlan::removal(3, { 2 })));
    window->areas().readArea(1);
    window->fileList()->selectionModel()->clearSelection();
    doubleClick(1);
    EXPECT_EQ(window->fileList()->selectedRows(), QList<int>());
    EXPECT_EQ(window->statusBar()->currentMessage(), messages::hitGone(1));

    // Minimised: hidden; restored: shown again.
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(find->isVisible());
    window->setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_TRUE(find->isVisible());

    // Closed: the tree answers again.
    QTest::mouseClick(find->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(games).center());
    EXPECT_EQ(window->areas().currentArea(), 2);
    auto* selector = window->findChild<QComboBox*>("Combo2");
    selector->setCurrentIndex(selector->findText("Utilities"));
    emit selector->activated(selector->currentIndex());
    EXPECT_EQ(window->areas().currentArea(), 1);
    EXPECT_EQ(bold(), "10");
}

TEST_F(ToolsWiring, FindStaysAboveTheWindowAndAJumpLandsWhereItDoesNotCover)
{
    board.writeEntries(1, std::vector<test::Entry>(80, test::Entry { .name = "X.ZIP" }));
    window->areas().readArea(1);
    act("ffind")->trigger();
    FindWindow* find = window->tools().findWindow();
    ASSERT_NE(find, nullptr);
    EXPECT_TRUE(find->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(find->parentWidget(), window.get());

    // The find window over the upper part of a tall list: the rows below it can be shown clear.
    window->resize(900, 1400);
    QApplication::processEvents();
    QWidget* viewport = window->fileList()->currentView()->viewport();
    const QRect list(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    find->move(list.topLeft());
    QApplication::processEvents();
    ASSERT_LT(find->frameGeometry().bottom() + 4 * window->fileList()->detailsView()->sizeHintForRow(0), list.bottom());
    for (int position : { 40, 80, 60 }) {
        window->tools().goTo(1, position);
        const QRect row = window->fileList()->currentView()->visualRect(window->model()->index(position - 1, 0));
        EXPECT_TRUE(viewport->rect().contains(row)) << position;
        EXPECT_FALSE(find->frameGeometry().intersects(QRect(viewport->mapToGlobal(row.topLeft()), row.size())))
            << position;
    }
}

TEST_F(ToolsWiring, ExportAndMakeFileListOpenTheirDialogsExportOnTheStartUpArea)
{
    test::inModal<ExportDialog>(act("fbbs"), [](ExportDialog* d) {
        EXPECT_EQ(d->areaList()->currentItem()->text(), "00001: Utilities");
        d->areaList()->currentItem()->setSelected(true);
        QTest::mouseClick(d->findChild<QPushButton*>("Command3"), Qt::LeftButton);
        EXPECT_FALSE(d->isVisible()) << "OK closes once the lists are written";
        d->reject();
    });
    EXPECT_EQ(messages(),
        QStringList({ "Export FILES.BBS|1 list written:\n\n" + QString::fromStdString(areaDir(1)) + "/files.bbs" }));
    EXPECT_TRUE(test::fileExists(areaDir(1) + "/files.bbs"));

    test::inModal<QDialog>(act("filelist"), [](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Make File List");
        d->reject();
    });
}

TEST_F(ToolsWiring, ToolsCleanAreasOpensOnTheCurrentAreaAndTheListFollowsTheClean)
{
    board.writeEntries(
        1, { { .name = "FOO.ZIP", .attributes = uint8_t(Attribute::Deleted) }, { .name = "BAR.ZIP", .size = 20 } });
    window->areas().readArea(1);
    test::inModal<CleanDialog>(act("clean"), [](CleanDialog* d) {
        ASSERT_EQ(d->areaList()->selectedItems().size(), 1);
        EXPECT_EQ(d->areaList()->selectedItems()[0]->text(), "00001: Utilities");
        d->expiredBox()->setChecked(false);
        d->deletedBox()->setChecked(true);
        QTest::mouseClick(d->findChild<QPushButton*>("Preview"), Qt::LeftButton);
        QTest::mouseClick(d->cleanButton(), Qt::LeftButton);
        d->reject();
    });
    EXPECT_EQ(messages(), QStringList({ "Clean Areas|1 entry removed, 0 entries moved, 0 file(s) deleted." }));
    ASSERT_EQ(window->model()->rows().size(), 1u);
    EXPECT_EQ(window->model()->rows()[0].name, "Bar.zip");
}

// Tools, Pack Descriptions and Check and Repair: each opens on the current area, previews, and
// its run changes the files and reads the list again. The repair goes first: a pack, like any
// rewrite, completes a short index as well.
TEST_F(ToolsWiring, PackAndRepairPreviewThenChangeTheCurrentArea)
{
    auto txt = test::readFile(board.descriptionPath(1));
    for (char c : std::string("junk"))
        txt.push_back(uint8_t(c));
    txt.push_back(0);
    test::writeFile(board.descriptionPath(1), txt);
    test::writeFile(board.indexPath(1), std::vector<uint8_t>());
    struct Case {
        const char* id;
        const char* title;
        QString preview;
        QString summary;
    };
    const Case cases[] = {
        { "repair", "Check and Repair",
            "Area 1: index file holds 0 records, header file 2: the 2 missing records are rebuilt from the header",
            "1 repair(s) made in 1 of 1 area(s)." },
        { "packdesc", "Pack Descriptions", "Area 1: 26 -> 21 bytes, 5 to reclaim (2 texts kept)",
            "1 area(s) packed, 5 bytes reclaimed." },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        test::inModal<AreaUpkeepDialog>(act(c.id), [&c](AreaUpkeepDialog* d) {
            EXPECT_EQ(d->windowTitle(), c.title);
            EXPECT_EQ(d->chosenAreas(), std::vector<int> { 1 });
            EXPECT_FALSE(d->runButton()->isEnabled());
            QTest::mouseClick(d->previewButton(), Qt::LeftButton);
            EXPECT_EQ(d->previewBox()->toPlainText(), c.preview);
            EXPECT_TRUE(d->runButton()->isEnabled());
            QTest::mouseClick(d->runButton(), Qt::LeftButton);
            EXPECT_EQ(d->statusLabel()->text(), c.summary);
            EXPECT_FALSE(d->runButton()->isEnabled());
            d->reject();
        });
        EXPECT_EQ(window->model()->rows().size(), 2u);
    }
    EXPECT_EQ(test::readFile(board.descriptionPath(1)).size(), 21u);
    EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1), std::vector<std::string>());
    EXPECT_TRUE(messages().isEmpty()) << messages().join("\n").toStdString();
}

} // namespace
