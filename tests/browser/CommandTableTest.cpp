#include "browser/CommandTable.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace qv;

namespace {

// One line per item: depth dots, identifier, caption and shortcut; "-" for a separator.
void describe(const QMenu* menu, int depth, QStringList& out)
{
    for (QAction* a : menu->actions()) {
        const QString indent(depth, '.');
        if (a->isSeparator()) {
            out << indent + "-";
            continue;
        }
        out << indent + a->objectName() + "|" + a->text() + "|" + a->shortcut().toString();
        if (a->menu())
            describe(a->menu(), depth + 1, out);
    }
}

TEST(CommandTable, MenuBarHasTheCaptionsShortcutsAndIdentifiersOfTheTable)
{
    QMainWindow window;
    CommandTable table(&window);
    table.buildMenuBar(window.menuBar());
    QStringList got;
    // Help lives in the bar's right corner.
    auto* corner = qobject_cast<QMenuBar*>(window.menuBar()->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(corner, nullptr);
    for (QMenuBar* bar : { window.menuBar(), corner }) {
        for (QAction* top : bar->actions()) {
            got << top->objectName() + "|" + top->text();
            describe(top->menu(), 1, got);
        }
    }
    const QStringList expected = {
        "file|&File",
        ".open|&Open|",
        ".dasf|&Add|",
        "..adopt|&File(s)...|Ctrl+I",
        "..icom|&Comment|Shift+Ins",
        ".remov|&Remove|Del",
        ".update|&Update|Ctrl+U",
        ".-",
        ".fbbs|Export FILES.BBS...|",
        ".-",
        ".explore|E&xplore Directory...|Ctrl+D",
        ".-",
        ".pref|&Preferences...|",
        ".-",
        ".exit|&Exit|Ctrl+Q",
        "ee|&Edit",
        ".undo|&Undo|Ctrl+Z",
        ".redo|&Redo|Ctrl+Shift+Z",
        ".-",
        ".eddesc|&Edit Description...|F2",
        ".xdesc|E&xtract Description|",
        ".mnuGlobDesc|&Global Description...|",
        ".-",
        ".cut|Cu&t|Ctrl+X",
        ".copy|&Copy|Ctrl+C",
        ".paste|&Paste|Ctrl+V",
        ".selall|Select &All|Ctrl+A",
        ".-",
        ".dcopy|&Direct Copy...|Ctrl+J",
        ".dmove|Direct &Move...|Ctrl+Shift+J",
        ".-",
        ".SelSort|&Sort Selection...|Ctrl+S",
        ".-",
        ".ffind|&Find...|Ctrl+F",
        "vv|&View",
        ".intclip|Internal &Clipboard...|Ctrl+B",
        ".-",
        ".ViewList|&List|",
        ".ViewDetails|&Details|",
        ".mnuDispLFN|&Long Filenames|Ctrl+L",
        ".-",
        ".AExp|Area&Explorer|",
        ".-",
        ".ao|Arealist &Properties|",
        "..alph|&Alphabetic Order|Ctrl+O",
        "..num|&Numeric Order|Ctrl+N",
        ".props|&File Properties...|F4",
        ".-",
        ".df|&Description Font...|",
        ".-",
        ".refr|&Refresh|F5",
        "tools|&Tools",
        ".importbbs|Import FILES.BBS...|",
        ".filelist|Make File List...|",
        ".dupes|Find Duplicates...|",
        ".-",
        ".clean|Clean Areas...|",
        ".packdesc|Pack Descriptions...|",
        ".repair|Check and Repair...|",
        "hh|&Help",
        ".contents|&Contents|F1",
        ".-",
        ".about|&About QRVX...|",
    };
    EXPECT_EQ(got, expected);
}

TEST(CommandTable, RightButtonMenuIsOutsideTheMenuBar)
{
    QMainWindow window;
    CommandTable table(&window);
    table.buildMenuBar(window.menuBar());
    ASSERT_NE(table.popupMenu(), nullptr);
    EXPECT_EQ(table.popupMenu()->objectName(), "fp");
    EXPECT_EQ(table.popupMenu()->title(), "Fileprops");
    for (QAction* top : window.menuBar()->actions())
        EXPECT_NE(top->menu(), table.popupMenu());
    QStringList got;
    describe(table.popupMenu(), 0, got);
    const QStringList expected = {
        "mnuFileopen|&Open|",
        "RmView|&View|",
        ".RmViewList|&List|",
        ".RmViewDetails|&Details|",
        "-",
        "adsf|&Add|",
        ".addfile|&File(s)...|",
        ".icom2|&Comment|",
        "-",
        "filecut|Cu&t|",
        "filecop|&Copy|",
        "fpaste|&Paste|",
        ".filepaste|&Behind Current File|",
        ".behall|Behind &All Files|",
        "filedelete|Re&move|",
        "-",
        "dc|&Direct Copy|",
        "dm|Direct &Move|",
        "-",
        "ExDesc|&Extract Description|",
        "Sortsel|&Sort...|",
        "udate|&Update|",
        "-",
        "prop|P&roperties|",
    };
    EXPECT_EQ(got, expected);
    // Items whose work comes later exist, disabled; the paste submenu waits for something to paste.
    EXPECT_FALSE(table.action("fpaste")->isEnabled());
    EXPECT_FALSE(table.action("filepaste")->isEnabled());
}

TEST(CommandTable, ToolbarHasElevenItemsAndOneSortKeyPressed)
{
    QMainWindow window;
    CommandTable table(&window);
    QToolBar bar;
    table.buildToolBar(&bar);
    QStringList got;
    for (QAction* a : bar.actions())
        got << (a->isSeparator() ? QString("-") : a->objectName() + "|" + a->iconText() + "|" + a->toolTip());
    const QStringList expected = {
        "insert|New|Insert New File",
        "props| Properties |Properties",
        "del| Remove |Remove File",
        "-",
        "findfile|Find|Find Files",
        "namesort|Sort A-Z|Sort Area's by name",
        "numsort|Sort 1-9|Sort Area's by number",
        "-",
        "reread|Refresh|Refresh Area",
        "-",
        "explore|Explore|Explore Area's Path",
    };
    EXPECT_EQ(got, expected);

    QAction* byName = table.toolAction("namesort");
    QAction* byNumber = table.toolAction("numsort");
    byName->setChecked(true);
    byNumber->setChecked(true);
    EXPECT_FALSE(byName->isChecked());
    byName->trigger();
    EXPECT_TRUE(byName->isChecked());
    EXPECT_FALSE(byNumber->isChecked());
    // A toolbar key runs the menu command it stands for, and stays inert while that is disabled.
    int refreshes = 0;
    QObject::connect(table.action("refr"), &QAction::triggered, [&] { ++refreshes; });
    table.toolAction("reread")->trigger();
    EXPECT_EQ(refreshes, 1);
    WindowState copying;
    copying.transferRunning = true;
    table.applyState(copying);
    table.toolAction("reread")->trigger();
    EXPECT_EQ(refreshes, 1);
}

} // namespace
