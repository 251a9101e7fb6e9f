#include "browser/CommandTable.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QSet>
#include <gtest/gtest.h>

using namespace qv;

namespace {

// Every action below a menu, submenus included.
void collect(const QMenu* menu, QList<QAction*>& out)
{
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        out << a;
        if (a->menu())
            collect(a->menu(), out);
    }
}

// The captions are the table's own; what the table cannot show by itself is checked here: each
// command once, no shortcut taken twice, Help in the bar's corner, the row menu outside the bar.
TEST(CommandTable, EveryCommandOnceNoSharedShortcutAndTheRowMenuOutsideTheBar)
{
    QMainWindow window;
    CommandTable table(&window);
    table.buildMenuBar(window.menuBar());
    auto* corner = qobject_cast<QMenuBar*>(window.menuBar()->cornerWidget(Qt::TopRightCorner));
    ASSERT_NE(corner, nullptr);
    ASSERT_EQ(corner->actions().size(), 1);
    EXPECT_EQ(corner->actions()[0]->objectName(), "hh");
    QList<QAction*> all;
    for (QMenuBar* bar : { window.menuBar(), corner })
        for (QAction* top : bar->actions()) {
            EXPECT_NE(top->menu(), table.popupMenu());
            all << top;
            collect(top->menu(), all);
        }
    ASSERT_NE(table.popupMenu(), nullptr);
    EXPECT_EQ(table.popupMenu()->title(), "Fileprops");
    collect(table.popupMenu(), all);
    QStringList order;
    for (QAction* a : all)
        order << a->objectName();
    EXPECT_EQ(order.join(' '),
        "file open dasf adopt icom remov update fbbs explore pref exit ee undo redo eddesc xdesc mnuGlobDesc cut copy "
        "paste "
        "selall dcopy dmove SelSort ffind vv intclip ViewList ViewDetails mnuDispLFN AExp ao alph num props df refr "
        "tools importbbs filelist dupes clean packdesc repair hh contents about mnuFileopen RmView RmViewList "
        "RmViewDetails adsf addfile icom2 filecut filecop fpaste filepaste behall filedelete dc dm ExDesc Sortsel "
        "udate prop");
    QSet<QString> ids, shortcuts;
    for (QAction* a : all) {
        EXPECT_FALSE(ids.contains(a->objectName())) << a->objectName().toStdString();
        ids << a->objectName();
        EXPECT_EQ(table.action(a->objectName()), a) << a->objectName().toStdString();
        const QString key = a->shortcut().toString();
        EXPECT_TRUE(key.isEmpty() || !shortcuts.contains(key)) << key.toStdString();
        shortcuts << key;
    }
    EXPECT_EQ(table.action("dmove")->shortcut().toString(), "Ctrl+Shift+J");
    for (const char* key : { "Ctrl+Shift+Z", "Ctrl+Y" })
        EXPECT_TRUE(table.action("redo")->shortcuts().contains(QKeySequence(key))) << key;
    // Items whose work comes later exist, disabled; the paste submenu waits for something to paste.
    EXPECT_FALSE(table.action("fpaste")->isEnabled());
    EXPECT_FALSE(table.action("filepaste")->isEnabled());
}

TEST(CommandTable, ToolbarHasElevenItemsThatRunTheirMenuCommands)
{
    QMainWindow window;
    CommandTable table(&window);
    QToolBar bar;
    table.buildToolBar(&bar);
    // Eight keys in four groups; their captions are the table's.
    QStringList got;
    for (QAction* a : bar.actions())
        got << (a->isSeparator() ? QString("-") : a->objectName());
    EXPECT_EQ(got.join(' '), "insert props del - findfile namesort numsort - reread - explore");
    // The sort keys are pressed by the window's order commands, tried there. A toolbar key runs the menu command it
    // stands for, and stays inert while that is disabled.
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
