#include "tests/editing/DialogProbe.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/tools/ToolsTestBoard.h"
#include "tools/widgets/AreaNumberField.h"
#include "tools/widgets/DuplicatesWindow.h"
#include "tools/widgets/FileListDialog.h"
#include "tools/widgets/ExportDialog.h"
#include "tools/widgets/FindWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QStyle>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSet>
#include <QTest>
#include <QTreeView>

#include "storage/HeaderRecord.h"

#include <filesystem>

namespace qv {
namespace {

using test::cell;
using test::child;
using test::Entry;
using test::shoot;

class ToolWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(tb.areaDir("a"));
        tb.builder.writeAreas(
            { { "Alpha", tb.areaDir("a"), 1 }, { "Beta", "/nonexistent", 1 }, { "Gamma", tb.areaDir("a"), 1 } });
        tb.builder.writeFilesRdx({ 1, 2, 0, 0, 0, 0, 3 }); // areas 1, 2 and 7
        tb.builder.writeEntries(1,
            { { .name = "ONE.ZIP", .size = 5, .description = "apple" },
                { .name = "", .description = "apple comment" } });
        tb.builder.writeEntries(7,
            { { .name = "SEVEN.TXT", .description = "Apple pie" },
                { .name = "ONE.ZIP", .size = 3, .uploader = "Ann" } });
        test::writeFile(tb.areaDir("a") + "/ONE.ZIP", std::string("one"));
        board = tb.open();
    }
    std::unique_ptr<FindWindow> window()
    {
        ResultRowLook look;
        look.areaIcon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
        look.icon = [](const QString&, bool) { return QApplication::style()->standardIcon(QStyle::SP_FileIcon); };
        auto w = std::make_unique<FindWindow>(*board, dialogs, true, look);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->show();
        return w;
    }
    static QStringList names(const FindWindow& w)
    {
        QStringList out;
        for (int r = 0; r < w.results()->rowCount(); ++r)
            out << cell(w.results(), r);
        return out;
    }
    test::ToolsTestBoard tb;
    std::unique_ptr<Board> board;
    test::ScriptedDialogs dialogs;
};

TEST_F(ToolWindows, FindWindowTextsSearchAndStatus)
{
    auto w = window();
    EXPECT_TRUE(child<QRadioButton>(w.get(), "search0")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(w.get(), "optBegin")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(w.get(), "optEnd")->isChecked());
    EXPECT_EQ(child<AreaNumberField>(w.get(), "txtFrom")->text(), "1");
    EXPECT_EQ(child<AreaNumberField>(w.get(), "txtTo")->text(), "7"); // the highest area
    EXPECT_FALSE(child<AreaNumberField>(w.get(), "txtTo")->isEnabled());
    QPushButton* find = child<QPushButton>(w.get(), "Command3");
    QPushButton* close = child<QPushButton>(w.get(), "Command2");

    // Empty text: nothing happens.
    QTest::mouseClick(find, Qt::LeftButton);
    EXPECT_FALSE(w->searching());
    child<QLineEdit>(w.get(), "Text1")->setText("  APPLE ");
    QTest::mouseClick(find, Qt::LeftButton);
    EXPECT_FALSE(find->isEnabled());
    EXPECT_EQ(close->text(), "&Stop");
    w->waitForSearch();
    EXPECT_EQ(names(*w), QStringList({ "1 - Alpha", "One.zip", " (Comment)", "7 - Gamma", "Seven.txt" }));
    EXPECT_EQ(cell(w->results(), 1, 1), "5");
    EXPECT_EQ(cell(w->results(), 1, 6), "(Unknown)");
    EXPECT_EQ(child<QLabel>(w.get(), "StatusPanel1")->text(), "5 Object(s) found");
    EXPECT_EQ(child<QLabel>(w.get(), "StatusPanel2")->text(), "Double-click on item to go to area");
    EXPECT_TRUE(find->isEnabled());
    EXPECT_EQ(close->text(), "&Close");
    w->resultsView()->setCurrentIndex(w->results()->index(1, 0));
    shoot(w.get(), "find-results");

    // Double-click: the area row goes to the area only, a hit row also to its entry.
    QSignalSpy goTo(w.get(), &FindWindow::goTo);
    QTreeView* view = w->resultsView();
    for (int row : { 3, 4 }) {
        const QPoint at = view->visualRect(w->results()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }
    ASSERT_EQ(goTo.size(), 2);
    EXPECT_EQ(goTo[0].mid(0, 2), QVariantList({ 7, 0 }));
    EXPECT_EQ(goTo[1].mid(0, 2), QVariantList({ 7, 1 }));
    // The hit carries its record, by which the list finds it if the area changed since.
    EXPECT_TRUE(goTo[0][2].toByteArray().isEmpty());
    EXPECT_EQ(goTo[1][2].toByteArray().size(), qsizetype(HeaderRecord::kSize));

    // Nothing found: no hint.
    child<QLineEdit>(w.get(), "Text1")->setText("banana");
    w->find();
    w->waitForSearch();
    EXPECT_EQ(child<QLabel>(w.get(), "StatusPanel1")->text(), "0 Object(s) found");
    EXPECT_EQ(child<QLabel>(w.get(), "StatusPanel2")->text(), "");
    EXPECT_TRUE(dialogs.calls.isEmpty());

    QSignalSpy closed(w.get(), &FindWindow::closed);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_EQ(closed.size(), 1);
}

TEST_F(ToolWindows, KeyboardAloneSearchesAndClosesAndNoTwoControlsShareAKey)
{
    auto w = window();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QStringList keys;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        const qsizetype amp = b->text().indexOf('&');
        if (amp >= 0)
            keys << b->text().mid(amp + 1, 1).toUpper();
    }
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size()) << keys.join(' ').toStdString();

    auto* text = child<QLineEdit>(w.get(), "Text1");
    text->setText("apple");
    QTest::keyClick(text, Qt::Key_Return);
    w->waitForSearch();
    EXPECT_EQ(w->results()->rowCount(), 5);
    QSignalSpy closed(w.get(), &FindWindow::closed);
    QTest::keyClick(w->resultsView(), Qt::Key_Escape);
    EXPECT_EQ(closed.size(), 1);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(ToolWindows, RangeFieldsAndTheirMessages)
{
    auto w = window();
    auto* from = child<AreaNumberField>(w.get(), "txtFrom");
    auto* to = child<AreaNumberField>(w.get(), "txtTo");
    child<QRadioButton>(w.get(), "optFrom")->setChecked(true);
    child<QRadioButton>(w.get(), "optTo")->setChecked(true);
    EXPECT_TRUE(from->isEnabled());
    EXPECT_TRUE(to->isEnabled());

    // Leaving a field rewrites what was typed as a number, or warns and keeps the focus.
    from->findChild<QLineEdit*>()->setText("007");
    emit from->editingFinished();
    EXPECT_EQ(from->text(), "7");
    to->findChild<QLineEdit*>()->setText("65535");
    emit to->editingFinished();
    from->findChild<QLineEdit*>()->setText("0");
    emit from->editingFinished();
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Error!|Value out of range (1 - 65534)", "Error!|Value out of range (1 - 65534)" }));
    dialogs.calls.clear();

    // A range of 5 to 3 is refused.
    from->setValue(5);
    to->setValue(3);
    child<QLineEdit>(w.get(), "Text1")->setText("apple");
    w->find();
    EXPECT_FALSE(w->searching());
    EXPECT_EQ(dialogs.messages(), QStringList({ "Error!|Invalid range specified!" }));
    dialogs.calls.clear();
    // A last area above the highest is lowered silently; 2 to 9000 finds area 7 only.
    from->setValue(2);
    to->setValue(9000);
    w->find();
    w->waitForSearch();
    EXPECT_EQ(names(*w), QStringList({ "7 - Gamma", "Seven.txt" }));
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // Spinner rules: three items in the selector, so neither field steps up past 2.
    from->setValue(2);
    to->setValue(3);
    EXPECT_EQ(from->stepEnabled(), QAbstractSpinBox::StepNone);
    EXPECT_EQ(to->stepEnabled(), QAbstractSpinBox::StepDownEnabled);
    to->setValue(2);
    EXPECT_EQ(to->stepEnabled(), QAbstractSpinBox::StepNone);
}

TEST_F(ToolWindows, RowLimitShowsItsMessageAndKeepsTheRows)
{
    tb.builder.writeEntries(1, std::vector<Entry>(1600, Entry { .name = "X.ZIP", .description = "apple" }));
    auto w = window();
    child<QLineEdit>(w.get(), "Text1")->setText("apple");
    w->find();
    w->waitForSearch();
    EXPECT_EQ(w->results()->rowCount(), 1500);
    EXPECT_EQ(dialogs.messages(), QStringList({ "Find file|Maximum of 1500 found files exeeded!" }));
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Warning);
    EXPECT_EQ(child<QLabel>(w.get(), "StatusPanel1")->text(), "1500 Object(s) found");
}

TEST_F(ToolWindows, StopEndsTheSearchAndTheWindowStaysOpen)
{
    tb.growDescriptions(1, 48);
    auto w = window();
    child<QLineEdit>(w.get(), "Text1")->setText("apple");
    w->find();
    QPushButton* close = child<QPushButton>(w.get(), "Command2");
    ASSERT_EQ(close->text(), "&Stop");
    QTRY_COMPARE(child<QLabel>(w.get(), "StatusPanel1")->text(), QString("Searching area 1"));
    shoot(w.get(), "find-searching");
    QTest::mouseClick(close, Qt::LeftButton);
    w->waitForSearch();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(close->text(), "&Close");
    EXPECT_LT(w->results()->rowCount(), 5);
}

TEST_F(ToolWindows, ExportDialogWritesEachSelectedAreaSaysWhereAndCloses)
{
    ExportDialog d(*board, dialogs, 7);
    d.show();
    QListWidget* list = d.areaList();
    EXPECT_EQ(test::itemTexts(list), QStringList({ "00001: Alpha", "00002: Beta", "00007: Gamma" }));
    EXPECT_EQ(list->currentRow(), 2); // the start-up area
    list->item(0)->setSelected(true);
    child<QCheckBox>(&d, "Check1")->setChecked(true);
    shoot(&d, "export");
    child<QCheckBox>(&d, "Check1")->setChecked(false);

    // Nothing selected: nothing written.
    list->clearSelection();
    QTest::mouseClick(child<QPushButton>(&d, "Command3"), Qt::LeftButton);
    EXPECT_FALSE(test::fileExists(tb.areaDir("a") + "/files.bbs"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // Areas 1 and 2 (whose directory is missing): area 2 is reported, area 1 is written.
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    child<QCheckBox>(&d, "Check3")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(&d, "Command3"), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Error!|Could not open: /nonexistent\\Files.bbs!",
            "Export FILES.BBS|1 of 2 lists written:\n\n" + QString::fromStdString(tb.areaDir("a")) + "/files.bbs" }));
    const std::vector<uint8_t> bytes = test::readFile(tb.areaDir("a") + "/files.bbs");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "ONE.ZIP             5 05/05/94  apple\r\napple comment\r\n");
    EXPECT_EQ(d.progressLabel()->text(), "");
    EXPECT_FALSE(d.isVisible());
    ExportDialog first(*board, dialogs, 0);
    EXPECT_EQ(first.areaList()->currentRow(), 0);
}

TEST_F(ToolWindows, DuplicatesAreFoundOnAWorkerAndADoubleClickGoesToTheEntry)
{
    DuplicatesWindow w(*board);
    w.show();
    for (int by : { 0, 1 }) {
        w.byBox()->setCurrentIndex(by);
        QTest::mouseClick(w.findChild<QPushButton*>("Find"), Qt::LeftButton);
        w.waitForSearch();
        ASSERT_EQ(w.results()->rowCount(), 3) << "by " << by;
        EXPECT_EQ(cell(w.results(), 0), "Group 1: 2 entries");
        EXPECT_EQ(cell(w.results(), 2), "7 - Gamma");
        EXPECT_EQ(cell(w.results(), 2, DuplicatesModel::Uploader), "Ann");
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
    EXPECT_EQ(goTo[0], QVariantList({ 7, 2 }));
}

TEST_F(ToolWindows, FileListDialogWritesTheListOrSaysWhatIsMissing)
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
    EXPECT_EQ(d.statusLabel()->text(), "3 files, 8 bytes in 3 areas");
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("<!DOCTYPE html>"));
}

} // namespace
} // namespace qv
