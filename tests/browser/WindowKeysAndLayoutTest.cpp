// The window as a keyboard user and a window manager see it: the description follows the current
// row, tree nodes load by key, the geometry survives restarts unchanged, the list keeps room.
#include "browser/AreaController.h"
#include "browser/AreaTreeView.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "tests/browser/MainWindowFixture.h"

#include <QHeaderView>
#include <QListView>
#include <QSplitter>
#include <QTreeView>

using namespace qv;
using qv::test::Entry;

namespace {

constexpr int kRows = 60;

// Area 1 holds kRows entries described "Entry N"; area 2 two entries.
class WindowKeysTest : public qv::test::MainWindowFixture {
protected:
    void SetUp() override
    {
        board.writeConfig("Keys BBS", "C:\\RA\\FDB");
        board.writeGroups({ { "Group" } });
        writeAreas({ { "Many", "", 1 }, { "Few", "", 1 } });
        std::vector<Entry> entries;
        for (int i = 0; i < kRows; ++i)
            entries.push_back(
                { .name = "F" + std::to_string(i) + ".ZIP", .size = 1, .description = "Entry " + std::to_string(i) });
        board.writeEntries(1, entries);
        board.writeEntries(2, { { .name = "A.ZIP", .description = "first of few" }, { .name = "B.ZIP" } });
        settings.startupArea = 1;
    }

    QString pane() const { return window->descriptionPane()->toPlainText(); }
    int current() const { return window->fileList()->currentRow(); }
    void key(Qt::Key k)
    {
        QTest::keyClick(window->fileList()->currentView(), k);
        QCoreApplication::processEvents();
    }
};

TEST_F(WindowKeysTest, DescriptionFollowsTheCurrentRowMovedByKeysInBothViews)
{
    for (const bool list : { false, true }) {
        SCOPED_TRACE(list ? "List" : "Details");
        settings.viewAsList = list;
        ASSERT_TRUE(open());
        // Tabbing into the list makes the first row current.
        window->fileList()->currentView()->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        ASSERT_EQ(current(), 0);
        EXPECT_EQ(pane(), "Entry 0");
        std::vector<int> seen;
        for (Qt::Key k : { Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown,
                 Qt::Key_End, Qt::Key_PageUp }) {
            const int before = current();
            key(k);
            EXPECT_NE(current(), before) << "key " << k;
            EXPECT_EQ(pane(), QString("Entry %1").arg(current())) << "key " << k;
            EXPECT_EQ(window->files().lastDescribedRow(), current());
            seen.push_back(current());
        }
        EXPECT_EQ(seen[0], 1);
        EXPECT_EQ(seen[1], 2);
        EXPECT_EQ(seen[2], 1);
        EXPECT_EQ(seen[3], kRows - 1);
        EXPECT_EQ(seen[4], 0);
        EXPECT_GT(seen[5], 1);
        EXPECT_LT(seen[7], kRows - 1);
        window.reset();
    }
}

TEST_F(WindowKeysTest, EnterAndSpaceOnATreeNodeLoadItsArea)
{
    ASSERT_TRUE(open());
    AreaTreeView* tree = window->tree();
    tree->setFocus();
    for (const Qt::Key k : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space }) {
        const int target = window->areas().currentArea() == 1 ? 2 : 1;
        tree->setCurrentItem(tree->itemOfKey(QString("Area%1").arg(target)));
        QTest::keyClick(tree, k);
        EXPECT_EQ(window->areas().currentArea(), target) << "key " << k;
    }
    EXPECT_EQ(window->windowTitle(), "Quorvex 1.5 - 2: Few");
    // The root and groups only select, as a click does.
    tree->setCurrentItem(tree->itemOfKey("Group1"));
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(window->areas().currentArea(), 2);
    // Ignored while the find window is open.
    tree->setClicksIgnored(true);
    tree->setCurrentItem(tree->itemOfKey("Area1"));
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(window->areas().currentArea(), 2);
}

TEST_F(WindowKeysTest, GeometryIsWrittenBackUnchangedOverRestarts)
{
    // Values that are not whole pixels at any usual resolution, and ones that are.
    struct Start {
        int x, y, w, h;
    };
    for (const Start s : { Start { 1200, 1200, 8000, 7000 }, Start { 1201, 1507, 8003, 7011 } }) {
        settings.windowX = s.x;
        settings.windowY = s.y;
        settings.windowWidth = s.w;
        settings.windowHeight = s.h;
        for (int run = 0; run < 3; ++run) {
            SCOPED_TRACE(run);
            written.clear();
            ASSERT_TRUE(open());
            window->close();
            ASSERT_EQ(written.size(), 1u);
            EXPECT_EQ(written[0].windowX, s.x);
            EXPECT_EQ(written[0].windowY, s.y);
            EXPECT_EQ(written[0].windowWidth, s.w);
            EXPECT_EQ(written[0].windowHeight, s.h);
            settings = written[0];
            window.reset();
        }
    }
}

TEST_F(WindowKeysTest, AMovedOrResizedWindowStoresWhereItIs)
{
    settings.windowX = 1200;
    settings.windowY = 1200;
    ASSERT_TRUE(open());
    const int dpi = window->logicalDpiX();
    window->move(window->pos() + QPoint(30, 60));
    window->resize(window->size() + QSize(15, 45));
    QCoreApplication::processEvents();
    window->close();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].windowX, 1200 + 30 * 1440 / dpi);
    EXPECT_EQ(written[0].windowY, 1200 + 60 * 1440 / dpi);
    EXPECT_NEAR(written[0].windowWidth, 8000 + 15 * 1440 / dpi, 15);
}

// The list's usable minimum: the header, four rows and the whole Name column.
void expectUsableList(MainWindow& w)
{
    QTreeView* details = w.fileList()->detailsView();
    const int rows = details->header()->height() + 4 * details->sizeHintForRow(0);
    EXPECT_GE(w.fileList()->height(), rows);
    EXPECT_GE(w.fileList()->width(), details->columnWidth(FileListModel::Name));
}

TEST_F(WindowKeysTest, TheListKeepsItsRoomWhenTheWindowShrinks)
{
    settings.areaPanelWidth = 5000;
    settings.descriptionPaneHeight = 3000;
    ASSERT_TRUE(open());
    // The panes as a maximised window let them be, then the window restored to a small size.
    window->resize(1400, 1000);
    QCoreApplication::processEvents();
    window->treeSplitter()->setSizes({ 900, 500 });
    window->descriptionSplitter()->setSizes({ 300, 700 });
    window->resize(640, 420);
    QCoreApplication::processEvents();
    expectUsableList(*window);
    EXPECT_GE(window->descriptionPane()->height(), window->descriptionPane()->minimumHeight());
    EXPECT_GE(window->areaPanel()->width(), window->areaPanel()->minimumWidth());

    // Space that comes back goes to the list; the panes keep what they were left with.
    const int pane = window->descriptionPane()->height();
    window->resize(900, 700);
    QCoreApplication::processEvents();
    expectUsableList(*window);
    EXPECT_EQ(window->descriptionPane()->height(), pane);

    // The smallest window the frame allows still shows a usable list.
    window->resize(window->minimumSizeHint());
    QCoreApplication::processEvents();
    expectUsableList(*window);
}

TEST_F(WindowKeysTest, ExploreAndContentsSayWhatCouldNotBeOpenedAndWhy)
{
    ASSERT_TRUE(open());
    desktop.exploreResult = { false, "no program to open it is installed (xdg-open was not found)" };
    QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier);
    const QString dir = QString::fromStdString(areaDir(1));
    ASSERT_EQ(desktop.explored, QStringList({ dir }));
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
    EXPECT_EQ(messages(),
        QStringList({ "Explore|Could not open the directory " + dir
            + ":\nno program to open it is installed (xdg-open was not found)" }));

    desktop.openDocumentResult = { false, "no program to open it is installed (xdg-open was not found)" };
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_EQ(desktop.documents.size(), 1);
    EXPECT_TRUE(desktop.documents[0].endsWith("/README.md")) << desktop.documents[0].toStdString();
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(messages()[1],
        "Contents|Could not open " + desktop.documents[0]
            + ":\nno program to open it is installed (xdg-open was not found)");

    // Started: nothing to say.
    desktop.exploreResult = {};
    desktop.openDocumentResult = {};
    QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(dialogs.calls.size(), 2);
}

TEST_F(WindowKeysTest, ExploringAnUnmappedAreaDirectoryNamesTheProblem)
{
    writeAreas({ { "Many", "", 1 }, { "Far", "Q:\\FAR\\AWAY", 1 } });
    ASSERT_TRUE(open());
    window->areas().readArea(2);
    act("explore")->trigger();
    EXPECT_TRUE(desktop.explored.isEmpty());
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_TRUE(messages()[0].startsWith("Explore|Could not open the directory Q:\\FAR\\AWAY:\n"))
        << messages()[0].toStdString();
}

} // namespace
