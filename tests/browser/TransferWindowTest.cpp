// The window's side of cut, copy, paste, Direct Copy and Direct Move: which rows end where in
// the list without a reload, the texts shown, and the overwrite question as the user sees it.

#include "platform/widgets/QtDialogs.h"
#include "tests/browser/TwoAreaWindow.h"
#include "tests/support/ArchiveBuilder.h"
#include "transfer/widgets/ClipboardViewer.h"

#include <QClipboard>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSemaphore>
#include <QUrl>

using namespace qv;
using test::Entry;
using test::shoot;
using test::whenModalOpens;

namespace {

using TransferWindowTest = test::TwoAreaWindow;

TEST_F(TransferWindowTest, CutTwoRowsAndPasteBehindTheThirdMovesThemInPlaceAndEmptiesTheClipboard)
{
    EXPECT_FALSE(act("fpaste")->isEnabled());
    select({ 1, 4 }, 1);
    act("filecut")->trigger();
    EXPECT_TRUE(act("fpaste")->isEnabled());
    EXPECT_TRUE(act("paste")->isEnabled());
    act("intclip")->trigger();
    ClipboardViewer* viewer = window->transfers().viewer();
    ASSERT_NE(viewer, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->windowTitle(), "Internal Clipboard [Cut]");
    EXPECT_EQ(viewer->findChild<QListWidget*>("List1")->count(), 2);
    EXPECT_EQ(viewer->findChild<QLabel*>("Label1")->text(), "Area: 00001: Alpha");
    shoot(viewer, "window-clipboard-viewer");

    select({ 2 }, 2);
    act("paste")->trigger();
    EXPECT_EQ(names(), (QStringList { "F1.zip", "F3.zip", "F2.zip", "F5.zip", "F4.zip", " (Comment)" }));
    EXPECT_EQ(board->store().load(1, true).rows[2].name, "F2.zip");
    EXPECT_FALSE(act("fpaste")->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer->windowTitle(), "Internal Clipboard [Copy]");
    EXPECT_EQ(viewer->findChild<QListWidget*>("List1")->count(), 0);
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(TransferWindowTest, ACopyPastedIntoAnotherAreaWithoutACurrentRowGoesBehindTheLastAndCanBePastedAgain)
{
    select({ 0, 5 }, 0);
    act("filecop")->trigger();
    window->areas().readArea(2);
    window->fileList()->selectionModel()->clearSelection();
    dialogs.choices.push_back("&No");
    for (int k = 0; k < 2; ++k)
        act("behall")->trigger();
    EXPECT_EQ(names(), (QStringList { "B1.zip", "B2.zip", "F1.zip", " (Comment)", "F1.zip", " (Comment)" }));
    EXPECT_EQ(objects(), "6 Object(s)");
    EXPECT_EQ(test::readFile(t.file(2, "F1.ZIP")), test::bytesOf("F1.ZIP"));
    EXPECT_TRUE(test::fileExists(t.file(1, "F1.ZIP")));
    // The second copy found the file there and was asked about.
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "Copy...");
    EXPECT_EQ(dialogs.calls[0].text,
        "File already exists:\n\n" + QString::fromStdString(t.file(2, "F1.ZIP"))
            + "\n\nDo you want to overwrite?\n\nNo keeps the file that is there; the entry is copied all the same.");
    EXPECT_EQ(dialogs.calls[0].buttonTexts, QStringList({ "&Yes", "Yes to &all", "&No", "No to a&ll" }));
    EXPECT_EQ(dialogs.calls[0].defaultButton, 2);
    EXPECT_TRUE(act("fpaste")->isEnabled());
    EXPECT_EQ(window->messagePanel()->text(), "2 entries copied to area 2");
}

TEST_F(TransferWindowTest, DirectMoveWithoutSelectionWarnsAndWithOneTakesTheRowsOutOfTheList)
{
    window->fileList()->selectionModel()->clearSelection();
    act("dmove")->trigger();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(
        dialogs.calls[0].title + "|" + dialogs.calls[0].text, "Error!|No files selected! Select some files first...");

    select({ 1, 3 }, 1);
    test::inModal(act("dm"), [](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Move...");
        QTest::keyClicks(test::child<QLineEdit>(w, "Text1"), "2");
        test::child<QPushButton>(w, "Command3")->click();
    });
    EXPECT_EQ(names(), (QStringList { "F1.zip", "F3.zip", "F5.zip", " (Comment)" }));
    EXPECT_EQ(objects(), "4 Object(s)");
    EXPECT_FALSE(test::fileExists(t.file(1, "F2.ZIP")));
    EXPECT_EQ(test::readFile(t.file(2, "F4.ZIP")), test::bytesOf("F4.ZIP"));
    EXPECT_EQ(board->store().count(2).value(), 4u);
}

TEST_F(TransferWindowTest, YesToAllAndNoToAllAnswerForTheRestOfTheTransfer)
{
    struct Case {
        std::deque<QString> choices;
        std::vector<bool> replaced; // F1, F2, F3
    };
    const Case cases[] = {
        { { "No to a&ll" }, { false, false, false } },
        { { "Yes to &all" }, { true, true, true } },
        { { "&Yes", "&No", "&Yes" }, { true, false, true } },
        { { "&No", "Yes to &all" }, { false, true, true } },
    };
    const char* const files[] = { "F1.ZIP", "F2.ZIP", "F3.ZIP" };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choices.front().toStdString());
        for (const char* f : files)
            t.putFile(2, f, "old");
        dialogs.calls.clear();
        dialogs.choices = c.choices;
        select({ 0, 1, 2 }, 0);
        window->transfers().direct(false, 2);
        EXPECT_EQ(dialogs.calls.size(), qsizetype(c.choices.size()));
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(test::readFile(t.file(2, files[i])), test::bytesOf(c.replaced[i] ? files[i] : "old")) << files[i];
    }
}

// The copy window names host paths in full, from the first file on.
TEST_F(TransferWindowTest, TheCopyWindowNamesTheHostPathAndACancelledMoveLeavesBothAreasAsTheyWere)
{
    const auto before1 = board->store().load(1, true).rows.size();
    QString first;
    bool fits = false;
    const bool cancelled = test::pollModal(
        [&](QWidget* w) {
            auto* label = w->findChild<QLabel*>("Label1");
            if (first.isEmpty()) {
                first = label->text();
                fits = label->width() >= label->sizeHint().width();
            }
            // Once the first file is copied, while the second is about to be.
            if (!label->text().contains("F2.ZIP"))
                return false;
            QTest::mouseClick(w->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
            return true;
        },
        [&] {
            select({ 0, 1, 2 }, 0);
            window->transfers().direct(true, 2);
        },
        "Form10");
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(first, "Copying file '" + QString::fromStdString(t.file(1, "F1.ZIP")) + "'...");
    EXPECT_TRUE(fits);
    EXPECT_EQ(names(), (QStringList { "F1.zip", "F2.zip", "F3.zip", "F4.zip", "F5.zip", " (Comment)" }));
    EXPECT_EQ(board->store().load(1, true).rows.size(), before1);
    EXPECT_EQ(board->store().count(2).value(), 2u);
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(window->messagePanel()->text().startsWith("Cancelled")) << window->messagePanel()->text().toStdString();
}

TEST_F(TransferWindowTest, WhileAFileIsCopiedTheWindowRepaintsOtherTransfersWaitAndClosingWaitsForTheEnd)
{
    const std::string large(size_t(20) << 20, 'x');
    t.putFile(1, "F1.ZIP", large);
    // The worker waits before the file's second piece until the test has looked.
    QSemaphore gate;
    io.beforeCopyRange([&gate](int n) {
        if (n == 2)
            (void)gate.tryAcquire(1, 10000); // a copy on this thread must not hang the test
    });
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    QWidget* viewport = window->fileList()->detailsView()->viewport();
    viewport->installEventFilter(&counter);
    const char* const transfers[] = { "paste", "filepaste", "behall", "dcopy", "dmove", "dc", "dm", "cut", "copy" };
    select({ 1 }, 1);
    act("filecop")->trigger();
    for (const char* id : transfers)
        EXPECT_TRUE(act(id)->isEnabled()) << id << " before";

    int paintsBefore = -1;
    const bool looked = test::pollModal(
        [&](QWidget* w) {
            auto* bar = w->findChild<QProgressBar*>("progress");
            if (!bar || !bar->isVisible() || bar->value() == 0)
                return false; // the first piece has not been reported yet
            if (paintsBefore < 0) {
                paintsBefore = counter.paints;
                viewport->update();
                return false;
            }
            if (counter.paints == paintsBefore)
                return false;
            for (const char* id : transfers)
                EXPECT_FALSE(act(id)->isEnabled()) << id << " during the copy";
            shoot(w, "copy-progress-large-file");
            EXPECT_FALSE(window->close());
            EXPECT_TRUE(window->isVisible());
            gate.release();
            return true;
        },
        [&] {
            select({ 0 }, 0);
            window->transfers().direct(false, 2);
        },
        nullptr, 5);
    EXPECT_TRUE(looked);
    EXPECT_EQ(test::readFile(t.file(2, "F1.ZIP")), test::bytesOf(large));
    EXPECT_EQ(board->store().count(2).value(), 3u);
    for (const char* id : transfers)
        EXPECT_TRUE(act(id)->isEnabled()) << id << " after";
    // The close asked for during the copy comes once the transfer has ended.
    for (int i = 0; i < 200 && window->isVisible(); ++i)
        QTest::qWait(5);
    EXPECT_FALSE(window->isVisible());
}

// A drag that enters `on` at `at` and drops there: whether it was taken.
bool drop(QWidget* on, QPoint at, const QMimeData& data, Qt::KeyboardModifiers modifiers = {})
{
    // A drop goes where the drag entered.
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(on, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(on, &move);
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(on, &dropped);
    return move.isAccepted();
}

// Rows dropped on an area of the tree are copied, with Shift moved; files dropped from a file
// manager on the list become entries of the area.
TEST_F(TransferWindowTest, RowsDroppedOnTheTreeAreTransferredAndFilesDroppedOnTheListAdded)
{
    auto onNode = [&](const char* key, Qt::KeyboardModifiers modifiers) {
        AreaTreeView* tree = window->tree();
        QTreeWidgetItem* node = tree->itemOfKey(key);
        for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
            up->setExpanded(true);
        tree->scrollToItem(node);
        QCoreApplication::processEvents();
        QMimeData data;
        data.setData(FileListModel::kEntriesMimeType, "0,1");
        return drop(tree->viewport(), tree->visualItemRect(node).center(), data, modifiers);
    };
    select({ 0, 1 }, 0);
    EXPECT_FALSE(onNode("r", {})) << "the board's node takes nothing";
    EXPECT_TRUE(onNode("Area2", {}));
    EXPECT_EQ(board->store().count(2).value(), 4u);
    EXPECT_EQ(names().size(), 6);
    EXPECT_EQ(window->messagePanel()->text(), "2 entries copied to area 2");
    // The same question as any transfer: the files are there now.
    dialogs.choices = { "No to a&ll" };
    select({ 0, 1 }, 0);
    EXPECT_TRUE(onNode("Area2", Qt::ShiftModifier));
    EXPECT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(names(), (QStringList { "F3.zip", "F4.zip", "F5.zip", " (Comment)" }));
    EXPECT_EQ(board->store().count(2).value(), 6u);

    const std::string outside = t.tmp.path() + "/outside";
    std::filesystem::create_directories(outside);
    QMimeData files;
    QList<QUrl> urls;
    for (const char* name : { "NEW1.TXT", "NEW2.TXT" }) {
        test::writeBytes(QString::fromStdString(outside + "/" + name), name);
        urls << QUrl::fromLocalFile(QString::fromStdString(outside + "/" + name));
    }
    files.setUrls(urls);
    window->fileList()->selectionModel()->clear();
    EXPECT_TRUE(drop(window->fileList()->currentView()->viewport(), QPoint(5, 5), files));
    EXPECT_EQ(names().mid(4), (QStringList { "New1.txt", "New2.txt" }));
    EXPECT_EQ(test::readFile(t.file(1, "NEW1.TXT")), test::bytesOf("NEW1.TXT"));
    EXPECT_TRUE(test::fileExists(outside + "/NEW1.TXT")) << "copied, not moved";
    EXPECT_EQ(window->messagePanel()->text(), "2 files added");
}

TEST_F(TransferWindowTest, EditCommandsActOnTheFocusedTextBox)
{
    auto* box = new QLineEdit(QStringLiteral("hello world"), window.get());
    box->show();
    box->setFocus();
    QApplication::setActiveWindow(window.get());
    QCoreApplication::processEvents();
    box->setSelection(0, 5);
    act("cut")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    EXPECT_EQ(box->text(), " world");
    EXPECT_FALSE(window->transfers().clipboard().canPaste()) << "the rows were taken";
    box->setCursorPosition(0);
    QApplication::clipboard()->setText(QStringLiteral("say"));
    select({ 0 }, 0);
    box->setFocus();
    act("filecop")->trigger(); // the right-button item always takes rows
    act("paste")->trigger();
    EXPECT_EQ(box->text(), "say world");
    EXPECT_EQ(window->model()->rows().size(), 6u);
}

TEST(TransferMessages, TheOverwriteQuestionAsTheUserSeesIt)
{
    QtDialogs dialogs;
    whenModalOpens([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Copy...");
        shoot(box, "overwrite-question");
        QTest::keyClick(box, Qt::Key_Escape);
    });
    const messages::Message m = messages::overwriteQuestion("/srv/bbs/files/games/TETRIS.ZIP");
    EXPECT_EQ(dialogs.question(
                  nullptr, m.title, m.text, Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::No),
        Dialogs::Answer::No);
}

} // namespace
