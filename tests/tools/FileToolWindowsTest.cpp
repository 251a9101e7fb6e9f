#include "tests/support/ArchiveBuilder.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"
#include "tests/tools/ToolsTestBoard.h"
#include "tools/widgets/DuplicatesWindow.h"
#include "tools/widgets/FileListDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

using test::shoot;

struct Windows : ::testing::Test {
    void SetUp() override
    {
        std::filesystem::create_directories(tb.areaDir("a"));
        tb.builder.writeAreas({ { "Alpha", tb.areaDir("a"), 1 }, { "Beta", tb.areaDir("a"), 1 } });
        tb.builder.writeEntries(1, { { .name = "ONE.ZIP", .size = 3, .uploader = "Ann" } });
        tb.builder.writeEntries(2, { { .name = "", .description = "c" }, { .name = "ONE.ZIP", .size = 3 } });
        test::writeBytes(QString::fromStdString(tb.areaDir("a")) + "/ONE.ZIP", "one");
        board = tb.open();
    }
    test::ToolsTestBoard tb;
    std::unique_ptr<Board> board;
    test::ScriptedDialogs dialogs;
};

TEST_F(Windows, DuplicatesAreFoundOnAWorkerAndADoubleClickGoesToTheEntry)
{
    DuplicatesWindow w(*board);
    w.show();
    for (int by : { 0, 1 }) {
        w.byBox()->setCurrentIndex(by);
        QTest::mouseClick(w.findChild<QPushButton*>("Find"), Qt::LeftButton);
        w.waitForSearch();
        ASSERT_EQ(w.results()->rowCount(), 3) << "by " << by;
        EXPECT_EQ(w.results()->data(w.results()->index(0, 0), Qt::DisplayRole).toString(), "Group 1: 2 entries");
        EXPECT_EQ(w.results()->data(w.results()->index(2, 0), Qt::DisplayRole).toString(), "2 - Beta");
        EXPECT_EQ(
            w.results()->data(w.results()->index(1, DuplicatesModel::Uploader), Qt::DisplayRole).toString(), "Ann");
        EXPECT_EQ(w.statusLabel()->text(), "1 group(s), 2 entries");
    }
    shoot(&w, "find-duplicates");
    QSignalSpy goTo(&w, &DuplicatesWindow::goTo);
    const QModelIndex entry = w.results()->index(2, 0);
    w.resultsView()->scrollTo(entry);
    const QPoint at = w.resultsView()->visualRect(entry).center();
    QTest::mouseClick(w.resultsView()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w.resultsView()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(goTo.size(), 1);
    EXPECT_EQ(goTo[0], QVariantList({ 2, 2 }));
}

TEST_F(Windows, FileListDialogWritesTheListOrSaysWhatIsMissing)
{
    FileListDialog d(*board, dialogs, board->numberedAreaItems());
    d.show();
    QPushButton* make = d.findChild<QPushButton*>("Make");
    QTest::mouseClick(make, Qt::LeftButton);
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].text, "Give the file the list is written to.");
    const QString out = QString::fromStdString(tb.tmp.path()) + "/list.html";
    d.outputBox()->setText(out);
    d.htmlBox()->setChecked(true);
    shoot(&d, "make-file-list");
    QTest::mouseClick(make, Qt::LeftButton);
    EXPECT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(d.statusLabel()->text(), "2 files, 6 bytes in 2 areas");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("<!DOCTYPE html>"));
}

} // namespace
} // namespace qv
