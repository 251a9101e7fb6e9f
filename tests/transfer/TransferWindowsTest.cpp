#include "board/Board.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDialogs.h"
#include "transfer/Clipboard.h"
#include "transfer/widgets/ClipboardViewer.h"
#include "transfer/widgets/CopyProgressWindow.h"
#include "transfer/widgets/DirectTransferDialog.h"
#include "transfer/widgets/SendToWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/editing/DialogProbe.h"

#include <filesystem>
#include <memory>

namespace qv {
namespace {

using Answer = Dialogs::Answer;
using test::child;
using test::clickInModal;
using test::itemTexts;
using test::shoot;

QString str(const std::string& s)
{
    return QString::fromStdString(s);
}

// Areas 1 "Old Games", 2 "Utilities", 7 "Games": one name inside another, numbers with a gap.
class TransferWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        builder.writeConfig("Board");
        std::filesystem::create_directories(tmp.path() + "/files");
        builder.writeAreas({ { "Old Games", tmp.path() + "/files", 1 }, { "Utilities", tmp.path() + "/files", 1 },
            { "Games", tmp.path() + "/files", 1 } });
        builder.writeFilesRdx({ 1, 2, 0, 0, 0, 0, 3 });
        Board::Options o;
        o.boardDirectory = str(builder.boardDir());
        o.drives.insert(QLatin1Char('D'), str(tmp.path() + "/files"));
        board = std::make_unique<Board>(o);
    }
    std::unique_ptr<DirectTransferDialog> dialog(DirectTransferDialog::Setup setup)
    {
        auto d = std::make_unique<DirectTransferDialog>(*board, dialogs, setup);
        d->show();
        return d;
    }

    test::TempDir tmp;
    test::BoardBuilder builder { tmp.path() };
    std::unique_ptr<Board> board;
    test::ScriptedDialogs dialogs;
};

TEST_F(TransferWindows, AreaNumberBoxShowsTheAreaOrThatItDoesNotExist)
{
    const char* const none = "[Area does not exist]";
    struct Case {
        const char* typed;
        const char* byNumber;
        const char* byName;
    };
    std::vector<Case> cases { { "7", "00007: Games", "Games" }, { " 2 ", "00002: Utilities", "Utilities" } };
    // 65537 would be area 1 if cut to 16 bits.
    for (const char* typed : { "0", "", "abc", "3", "65537", "70000", "99999999999999999999" })
        cases.push_back({ typed, none, none });
    for (bool byNumber : { true, false }) {
        auto d = dialog({ .move = false, .currentArea = 1, .currentIsComment = false, .itemsByNumber = byNumber });
        auto* combo = child<QComboBox>(d.get(), "Combo1");
        EXPECT_EQ(child<QLineEdit>(d.get(), "Text1")->text(), "");
        EXPECT_EQ(combo->currentIndex(), 0);
        for (const Case& c : cases) {
            child<QLineEdit>(d.get(), "Text1")->setText(c.typed);
            EXPECT_EQ(d->pickerText(), byNumber ? c.byNumber : c.byName) << c.typed;
            if (QByteArray(c.typed) == "70000" && !byNumber)
                shoot(d.get(), "direct-copy-no-area");
            // The missing area is shown, never offered as an item.
            for (int i = 0; i < combo->count(); ++i)
                EXPECT_NE(combo->itemText(i), DirectTransferDialog::kNoArea);
        }
    }
}

TEST_F(TransferWindows, AreaKindChecksInOrderAndKeepsTheDialogOpen)
{
    auto d = dialog({ .move = false, .currentArea = 7, .currentIsComment = false, .itemsByNumber = true });
    EXPECT_EQ(d->windowTitle(), "Copy...");
    EXPECT_EQ(child<QLabel>(d.get(), "Label1")->text(), "Copy selected file(s) to...");
    auto* text1 = child<QLineEdit>(d.get(), "Text1");
    auto* ok = child<QPushButton>(d.get(), "Command3");
    for (const char* missing : { "abc", "", "0", "5", "70000" }) {
        text1->setText(missing);
        QTest::mouseClick(ok, Qt::LeftButton);
    }
    text1->setText("7");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->target().has_value());
    QStringList expected(5, "Error!|Specified area does not exist!");
    expected << "Error!|Source and destination area are equal!";
    EXPECT_EQ(dialogs.messages(), expected);
    for (const auto& call : dialogs.calls)
        EXPECT_EQ(call.icon, Dialogs::Icon::Exclamation);

    // The picked item wins over the box, and its number is written back.
    child<QComboBox>(d.get(), "Combo1")->setCurrentIndex(1);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(text1->text(), "2");
    ASSERT_TRUE(d->target().has_value());
    EXPECT_TRUE(d->target()->toArea);
    EXPECT_EQ(d->target()->area, 2);
    EXPECT_EQ(d->result(), QDialog::Accepted);

    // By name: "Games" is contained in "Old Games", which comes first by number.
    d = dialog({ .move = true, .currentArea = 2, .currentIsComment = false, .itemsByNumber = false });
    EXPECT_EQ(d->windowTitle(), "Move...");
    EXPECT_EQ(child<QLabel>(d.get(), "Label1")->text(), "Move selected file(s) to...");
    EXPECT_EQ(itemTexts(child<QComboBox>(d.get(), "Combo1")), QStringList({ "Games", "Old Games", "Utilities" }));
    d->confirm();
    ASSERT_TRUE(d->target().has_value());
    EXPECT_EQ(d->target()->area, 7);
    EXPECT_EQ(child<QLineEdit>(d.get(), "Text1")->text(), "7");
    child<QRadioButton>(d.get(), "Option1_1")->setChecked(true);
    child<QLineEdit>(d.get(), "Text2")->setText("D:\\");
    shoot(d.get(), "direct-move-directory");
}

TEST_F(TransferWindows, KindsEnableTheirOwnControlsAndBrowseFillsThePath)
{
    auto d = dialog({ .move = false, .currentArea = 1, .currentIsComment = false, .itemsByNumber = true });
    const char* areaSide[] = { "Label3", "Text1", "Combo1" };
    const char* pathSide[] = { "Label2", "Text2", "Command2" };
    for (bool toArea : { false, true }) {
        child<QRadioButton>(d.get(), toArea ? "Option1_0" : "Option1_1")->setChecked(true);
        for (const char* name : areaSide)
            EXPECT_EQ(child<QWidget>(d.get(), name)->isEnabled(), toArea) << name;
        for (const char* name : pathSide)
            EXPECT_EQ(child<QWidget>(d.get(), name)->isEnabled(), !toArea) << name;
    }
    EXPECT_TRUE(child<QRadioButton>(d.get(), "Option1_1")->isEnabled());
    shoot(d.get(), "direct-copy-area");
    // Browse fills the path; a cancelled pick keeps it.
    child<QRadioButton>(d.get(), "Option1_1")->setChecked(true);
    auto* path = child<QLineEdit>(d.get(), "Text2");
    path->setText("D:\\");
    dialogs.folders = { str(tmp.path()), QString() };
    QTest::mouseClick(child<QPushButton>(d.get(), "Command2"), Qt::LeftButton);
    EXPECT_EQ(path->text(), str(tmp.path()));
    QTest::mouseClick(child<QPushButton>(d.get(), "Command2"), Qt::LeftButton);
    EXPECT_EQ(path->text(), str(tmp.path()));
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[0].kind, "folder");
    EXPECT_EQ(dialogs.calls[0].title, "Select Destination Path");
    EXPECT_EQ(dialogs.calls[0].text, QDir::cleanPath(str(tmp.path() + "/files"))); // starts at the mapped path
    // Comment rows stay in areas.
    d = dialog({ .move = true, .currentArea = 1, .currentIsComment = true, .itemsByNumber = true });
    EXPECT_FALSE(child<QRadioButton>(d.get(), "Option1_1")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(d.get(), "Option1_0")->isChecked());
}

TEST_F(TransferWindows, MissingDirectoryIsCreatedOnlyAfterYes)
{
    const QString files = str(tmp.path() + "/files");
    struct Case {
        QString typed;
        Answer answer;
        bool accepted;
        QString created; // host directory that must exist afterwards ("" = none)
        bool cannotCreate;
    };
    const Case cases[] = {
        { files, Answer::Ok, true, files, false }, // exists: no question
        { "D:\\", Answer::Ok, true, files, false }, // a drive of the board
        { "D:\\NEW", Answer::No, false, "", false },
        { "D:\\NEW\\", Answer::Yes, true, files + "/NEW", false },
        { files + "/a/b", Answer::Yes, false, "", true }, // one level only
        { "Q:\\NOWHERE", Answer::Yes, false, "", true }, // a drive nobody mapped
        { "", Answer::Yes, false, "", true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        dialogs.calls.clear();
        auto d = dialog({ .move = false, .currentArea = 1, .currentIsComment = false, .itemsByNumber = true });
        child<QRadioButton>(d.get(), "Option1_1")->setChecked(true);
        auto* path = child<QLineEdit>(d.get(), "Text2");
        path->setText(c.typed);
        child<QPushButton>(d.get(), "Command1")->setFocus();
        if (c.answer != Answer::Ok)
            dialogs.answers.push_back(c.answer);
        QTest::mouseClick(child<QPushButton>(d.get(), "Command3"), Qt::LeftButton);
        dialogs.verifyAllAnswersUsed();
        EXPECT_EQ(d->target().has_value(), c.accepted);
        EXPECT_EQ(d->isVisible(), !c.accepted);
        QStringList expected;
        if (c.answer != Answer::Ok)
            expected << "Direct...|Path does not exist! Create?";
        if (c.cannotCreate)
            expected << "Direct...|Directory could not be created!";
        EXPECT_EQ(dialogs.messages(), expected);
        if (c.answer != Answer::Ok) {
            EXPECT_EQ(dialogs.calls[0].buttons, Dialogs::Buttons::YesNo);
            EXPECT_EQ(dialogs.calls[0].defaultAnswer, Answer::No);
        }
        if (c.cannotCreate) {
            EXPECT_EQ(dialogs.calls[1].icon, Dialogs::Icon::Warning);
            EXPECT_EQ(d->focusWidget(), path);
        }
        if (c.accepted) {
            EXPECT_FALSE(d->target()->toArea);
            EXPECT_EQ(d->target()->directory, c.created);
            EXPECT_EQ(d->target()->typedDirectory, c.typed);
            EXPECT_TRUE(QFileInfo(c.created).isDir());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(files + "/a"));
}

TEST_F(TransferWindows, ViewerFollowsTheClipboardOncePerTurn)
{
    Clipboard clipboard;
    ClipboardViewer viewer(clipboard, *board);
    viewer.show();
    auto* list = child<QListWidget>(&viewer, "List1");
    auto* label = child<QLabel>(&viewer, "Label1");
    EXPECT_EQ(viewer.windowTitle(), "Internal Clipboard [Copy]");
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(label->text(), "Area: ");

    std::vector<Clipboard::Item> items(3);
    const char* names[] = { "Doom.zip", " (Comment)", "Quake \x84.zip" }; // board bytes, not UTF-8
    for (int i = 0; i < 3; ++i) {
        items[size_t(i)].position = uint64_t(i * 2);
        items[size_t(i)].row.name = names[i];
        items[size_t(i)].row.record.mutableData()[0] = uint8_t(i + 1);
    }
    auto record = [&](size_t i) {
        return QByteArray(
            reinterpret_cast<const char*>(items[i].row.record.data()), qsizetype(items[i].row.record.size()));
    };
    const int before = viewer.redrawCount();
    clipboard.take(Clipboard::Mode::Cut, 7, items);
    clipboard.entriesRemoved(7, { record(1) });
    EXPECT_EQ(viewer.redrawCount(), before); // nothing drawn inside the command
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.windowTitle() == "Internal Clipboard [Cut]"; }));
    QApplication::processEvents();
    EXPECT_EQ(viewer.redrawCount(), before + 1);
    EXPECT_EQ(itemTexts(list), QStringList({ "Doom.zip", board->text(names[2]) }));
    EXPECT_EQ(label->text(), "Area: 00007: Games");
    shoot(&viewer, "clipboard-viewer");
    // Only a removal of a held entry is news: records it does not hold (again) change nothing.
    QSignalSpy changed(&clipboard, &Clipboard::changed);
    clipboard.entriesRemoved(7, { record(1) });
    clipboard.entriesRemoved(2, { record(0) });
    EXPECT_EQ(changed.count(), 0);
    clipboard.entriesRemoved(7, { record(1), record(0) });
    EXPECT_EQ(changed.count(), 1);

    clipboard.pasteCompleted();
    EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.windowTitle() == "Internal Clipboard [Copy]"; }));
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(label->text(), "Area: 00007: Games");
    // Taken in the order the rows were picked, held in the order of the area.
    clipboard.take(Clipboard::Mode::Copy, 2, { items.rbegin(), items.rend() });
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() == 3; }));
    EXPECT_EQ(itemTexts(list), QStringList({ "Doom.zip", " (Comment)", board->text(names[2]) }));
    EXPECT_EQ(label->text(), "Area: 00002: Utilities");
    shoot(&viewer, "clipboard-viewer-copy");
}

TEST(CopyProgressWindow, LabelCapitalisationAndBarForLargeFiles)
{
    EXPECT_EQ(
        CopyProgressWindow::labelFor("C:\\FILES\\GAMES\\TEST.ZIP"), "Copying file 'C:\\files\\games\\test.zip'...");
    EXPECT_EQ(CopyProgressWindow::labelFor("/srv/Files/ÄBC.zip"), "Copying file '/srv/Files/ÄBC.zip'...");
    EXPECT_EQ(CopyProgressWindow::labelFor("c"), "Copying file 'C'...");
    EXPECT_EQ(CopyProgressWindow::labelFor(""), "Copying file ''...");

    CopyProgressWindow w;
    w.show();
    auto* label = child<QLabel>(&w, "Label1");
    auto* bar = child<QProgressBar>(&w, "progress");
    EXPECT_EQ(label->text(), "Wait...");
    w.setSourcePath("D:\\UPLOADS\\Big.Iso");
    EXPECT_EQ(label->text(), "Copying file 'D:\\uploads\\big.iso'...");
    w.setBytes(100, CopyProgressWindow::kBarThreshold - 1);
    EXPECT_FALSE(bar->isVisible());
    const qint64 total = qint64(6) << 30; // beyond int
    w.setBytes(total / 2, total);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), bar->maximum() / 2);
    shoot(&w, "copy-progress");
    w.setBytes(total, total);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(TransferWindows, SendToWindowShortensLongPathsAndCopiesByDefault)
{
    const QString long51 = "/srv/" + QString(40, 'a') + "/b.zip";
    ASSERT_EQ(long51.size(), 51);
    const QString exactly50 = long51.mid(1);
    EXPECT_EQ(SendToWindow::shownPath(exactly50), exactly50);
    EXPECT_EQ(SendToWindow::shownPath(long51), "/srv..." + long51.right(43));
    EXPECT_EQ(SendToWindow::shownPath(long51).size(), 50);
    EXPECT_EQ(SendToWindow::shownPath(""), "");

    SendToWindow w(*board, "/home/sysop/incoming/" + QString(30, 'x') + ".zip");
    w.show();
    auto* areas = child<QComboBox>(&w, "cmbAreaPick");
    EXPECT_EQ(itemTexts(areas), QStringList({ "00001: Old Games", "00002: Utilities", "00007: Games" }));
    EXPECT_EQ(areas->currentIndex(), 0);
    EXPECT_TRUE(child<QRadioButton>(&w, "optMoveSend_1")->isChecked());
    EXPECT_EQ(child<QLabel>(&w, "lblFile")->text(), "File: /hom...incoming/" + QString(30, 'x') + ".zip");
    shoot(&w, "send-to");
    areas->setCurrentIndex(2);
    child<QRadioButton>(&w, "optMoveSend_0")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(&w, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    ASSERT_TRUE(w.choice().has_value());
    EXPECT_EQ(w.choice()->area, 7);
    EXPECT_TRUE(w.choice()->move);
}

TEST_F(TransferWindows, ModalAsksAnswerOnlyAfterOk)
{
    const DirectTransferDialog::Setup setup {
        .move = false, .currentArea = 1, .currentIsComment = false, .itemsByNumber = true
    };
    clickInModal("Command1");
    EXPECT_FALSE(DirectTransferDialog::ask(nullptr, *board, dialogs, setup).has_value());
    // Area 1 is the first item and the current area: OK stays open, so cancel after it.
    test::whenModalOpens([](QWidget* w) {
        child<QPushButton>(w, "Command3")->click();
        child<QPushButton>(w, "Command1")->click();
    });
    EXPECT_FALSE(DirectTransferDialog::ask(nullptr, *board, dialogs, setup).has_value());
    EXPECT_EQ(dialogs.messages(), QStringList({ "Error!|Source and destination area are equal!" }));

    clickInModal("cmdCancel");
    EXPECT_FALSE(SendToWindow::ask(*board, "/tmp/a.zip").has_value());
    clickInModal("cmdOK");
    const auto choice = SendToWindow::ask(*board, "/tmp/a.zip");
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->area, 1);
    EXPECT_FALSE(choice->move);
}

} // namespace
} // namespace qv
