// The window as a keyboard user and a window manager see it: the description follows the current
// row, tree nodes load by key, the geometry survives restarts unchanged, the list keeps room.
#include "tests/browser/MainWindowFixture.h"
#include "transfer/Clipboard.h"

#include <QClipboard>
#include <QHeaderView>
#include <QSignalSpy>
#include <QSplitter>
#include <QTextBrowser>

using namespace qv;
using qv::test::Entry;

namespace {

constexpr int kRows = 60;

// Area 1 holds kRows entries described "Entry N"; area 2 two entries, its directory on a drive
// that is not mapped.
class WindowKeysTest : public qv::test::MainWindowFixture {
protected:
    void SetUp() override
    {
        board.writeConfig("Keys BBS", "C:\\RA\\FDB");
        board.writeGroups({ { "Group" } });
        writeAreas({ { "Many", "", 1 }, { "Few", "Q:\\FAR\\AWAY", 1 } });
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
        EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 5), (std::vector<int> { 1, 2, 1, kRows - 1, 0 }));
        EXPECT_GT(seen[5], 1);
        EXPECT_LT(seen[7], kRows - 1);
        window.reset();
    }
}

// Where each key of a board command counts: the list always; the tree for all but Cut, Copy and
// Paste; a text box or an area selector never, so typing there cannot change the board.
TEST_F(WindowKeysTest, BoardKeysCountOnlyInTheListOrTheTree)
{
    struct Key {
        const char* command;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool inTree;
    };
    const Key keys[] = {
        { "icom", Qt::Key_Insert, Qt::ShiftModifier, true },
        { "remov", Qt::Key_Delete, Qt::NoModifier, true },
        { "adopt", Qt::Key_I, Qt::ControlModifier, true },
        { "update", Qt::Key_U, Qt::ControlModifier, true },
        { "eddesc", Qt::Key_F2, Qt::NoModifier, true },
        { "props", Qt::Key_F4, Qt::NoModifier, true },
        { "dcopy", Qt::Key_J, Qt::ControlModifier, true },
        { "dmove", Qt::Key_J, Qt::ControlModifier | Qt::ShiftModifier, true },
        { "SelSort", Qt::Key_S, Qt::ControlModifier, true },
        { "selall", Qt::Key_A, Qt::ControlModifier, true },
        { "cut", Qt::Key_X, Qt::ControlModifier, false },
        { "copy", Qt::Key_C, Qt::ControlModifier, false },
        { "paste", Qt::Key_V, Qt::ControlModifier, false },
    };
    ASSERT_TRUE(open());
    QClipboard* system = QApplication::clipboard();
    system->setText("typed elsewhere");
    window->transfers().clipboard().take(Clipboard::Mode::Copy, 1, { { 0, window->model()->rows()[0] } });
    window->files().describeRow(0);
    window->refreshCommands();
    // Counted, not run: the commands' own tests run them.
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const Key& k : keys) {
        ASSERT_TRUE(act(k.command)->isEnabled()) << k.command;
        QObject::disconnect(act(k.command), &QAction::triggered, nullptr, nullptr);
        spies.push_back(std::make_unique<QSignalSpy>(act(k.command), &QAction::triggered));
    }
    struct Place {
        const char* name;
        QWidget* widget;
    };
    const Place places[] = { { "list", window->fileList()->currentView() }, { "tree", window->tree() },
        { "pane", window->descriptionPane() }, { "selector", window->findChild<AlphabeticAreaSelector*>("Combo2") } };
    for (const Place& place : places) {
        for (size_t i = 0; i < std::size(keys); ++i) {
            SCOPED_TRACE(std::string(place.name) + " " + keys[i].command);
            place.widget->setFocus();
            ASSERT_TRUE(place.widget->hasFocus());
            spies[i]->clear();
            QTest::keyClick(place.widget, keys[i].key, keys[i].modifiers);
            if (QWidget* popup = QApplication::activePopupWidget()) // F4 opens a selector's list
                popup->close();
            const bool expected
                = place.name == std::string("list") || (place.name == std::string("tree") && keys[i].inTree);
            EXPECT_EQ(spies[i]->count(), expected ? 1 : 0);
        }
    }
    // The pane took none of it as text nor any typing, and its text can still be copied.
    EXPECT_EQ(pane(), "Entry 0");
    EXPECT_EQ(window->model()->rowCount(), kRows);
    window->descriptionPane()->setFocus();
    QTest::keyClicks(window->descriptionPane(), "typed");
    QTest::keyClick(window->descriptionPane(), Qt::Key_Backspace);
    EXPECT_EQ(pane(), "Entry 0");
    QTest::keyClick(window->descriptionPane(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window->descriptionPane(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(system->text(), "Entry 0");
}

TEST_F(WindowKeysTest, EditMenuTakesRowsOnlyFromTheFocusedListAndSelectAllTakesEveryRow)
{
    ASSERT_TRUE(open());
    // Cut and Copy belong to the description while it has the focus.
    window->descriptionPane()->setFocus();
    QCoreApplication::processEvents();
    EXPECT_FALSE(act("cut")->isEnabled());
    EXPECT_FALSE(act("copy")->isEnabled());
    QWidget* list = window->fileList()->currentView();
    list->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(act("cut")->isEnabled());
    EXPECT_TRUE(act("copy")->isEnabled());
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->fileList()->selectedRows().size(), kRows);
    const Clipboard& clip = window->transfers().clipboard();
    for (QWidget* elsewhere : { static_cast<QWidget*>(window->tree()),
             static_cast<QWidget*>(window->findChild<AlphabeticAreaSelector*>("Combo2")) }) {
        elsewhere->setFocus();
        act("copy")->trigger();
        act("cut")->trigger();
        EXPECT_TRUE(clip.isEmpty()) << elsewhere->objectName().toStdString();
    }
    list->setFocus();
    act("copy")->trigger();
    EXPECT_EQ(clip.items().size(), size_t(kRows));
    // The right-button items take rows wherever the focus is.
    window->tree()->setFocus();
    window->fileList()->selectionModel()->clearSelection();
    window->fileList()->selectionModel()->select(
        window->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    act("filecop")->trigger();
    EXPECT_EQ(clip.items().size(), 1u);
}

TEST_F(WindowKeysTest, EnterAndSpaceOnATreeNodeLoadItsAreaExploreAndF1SayWhatTheyDoAndCtrlQQuits)
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
    tree->setClicksIgnored(false);

    // Explore says what could not be opened and why; F1 shows the manual.
    window->areas().readArea(1);
    desktop.exploreResult = { false, "no program to open it is installed (xdg-open was not found)" };
    QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier);
    const QString dir = QString::fromStdString(areaDir(1));
    ASSERT_EQ(desktop.explored, QStringList({ dir }));
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
    EXPECT_EQ(messages(),
        QStringList({ "Explore|Could not open the directory " + dir
            + ":\nno program to open it is installed (xdg-open was not found)" }));

    // The manual of the source tree, in a window of its own.
    QTest::keyClick(window.get(), Qt::Key_F1);
    auto* help = qobject_cast<QTextBrowser*>(window->helpWindow());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->source().toLocalFile().endsWith("/docs/manual/index.html"))
        << help->source().toString().toStdString();
    EXPECT_TRUE(help->toPlainText().contains("Ctrl+Shift+J"));
    test::shoot(help, "manual");

    // Started: nothing to say.
    desktop.exploreResult = {};
    QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(dialogs.calls.size(), 1);

    // A directory on a drive that is not mapped is not given to the desktop at all.
    window->areas().readArea(2);
    act("explore")->trigger();
    EXPECT_EQ(desktop.explored.size(), 2);
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_TRUE(messages()[1].startsWith("Explore|Could not open the directory Q:\\FAR\\AWAY:\n"))
        << messages()[1].toStdString();

    // Ctrl+Q quits as Exit does.
    QApplication::setActiveWindow(window.get());
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(written.size(), 1u);
}

// What the window manager was told is what is written back, whole pixels or not; a moved or
// resized window stores where it is; one that is not normal keeps its state and the geometry.
TEST_F(WindowKeysTest, GeometryIsWrittenBackAsItCameUnlessTheWindowMoved)
{
    struct Start {
        int x, y, w, h;
    };
    for (const Start s : { Start { 1200, 1200, 8000, 7000 }, Start { 1201, 1507, 8003, 7011 } }) {
        std::tie(settings.windowX, settings.windowY, settings.windowWidth, settings.windowHeight)
            = std::tie(s.x, s.y, s.w, s.h);
        written.clear();
        ASSERT_TRUE(open());
        const Settings back = closeAndRead();
        EXPECT_TRUE(writtenNormal);
        EXPECT_EQ(back.windowState, 0);
        EXPECT_EQ(
            std::tie(back.windowX, back.windowY, back.windowWidth, back.windowHeight), std::tie(s.x, s.y, s.w, s.h))
            << s.x;
        window.reset();
    }

    std::tie(settings.windowX, settings.windowY, settings.windowWidth) = std::tuple(1200, 1200, 8000);
    written.clear();
    ASSERT_TRUE(open());
    const int dpi = window->logicalDpiX();
    window->move(window->pos() + QPoint(30, 60));
    window->resize(window->size() + QSize(15, 45));
    QCoreApplication::processEvents();
    const Settings moved = closeAndRead();
    EXPECT_EQ(moved.windowX, 1200 + 30 * 1440 / dpi);
    EXPECT_EQ(moved.windowY, 1200 + 60 * 1440 / dpi);
    EXPECT_NEAR(moved.windowWidth, 8000 + 15 * 1440 / dpi, 15);

    window.reset();
    written.clear();
    settings.windowState = 2;
    ASSERT_TRUE(open());
    EXPECT_EQ(closeAndRead().windowState, 2);
    EXPECT_FALSE(writtenNormal);
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

} // namespace
