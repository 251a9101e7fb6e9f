#include "editing/CurrentUploader.h"
#include "editing/widgets/GlobalDescriptionDialog.h"
#include "editing/widgets/PropertiesDialog.h"
#include "tests/browser/MainWindowTest.h"

#include <QPlainTextEdit>
#include <QTabWidget>

using namespace qv;
using test::readFile;

namespace {

// The board of MainWindowTest, in a run whose uploader is "Run Uploader".
class EditingControllerTest : public test::MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        CurrentUploader::set("Run Uploader");
        ASSERT_TRUE(open());
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        CurrentUploader::set({});
    }
    PropertiesDialog* properties() const { return window->findChild<PropertiesDialog*>(); }
    void closeDialogs()
    {
        for (QDialog* d : window->findChildren<QDialog*>())
            d->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(EditingControllerTest, PropertiesApplyChangesTheRowInPlaceAndCommentLinesGoAfterTheSelectedRow)
{
    clickRow(3);
    for (const char* id : { "props", "prop" }) {
        act(id)->trigger();
        ASSERT_NE(properties(), nullptr) << id;
        EXPECT_EQ(properties()->windowTitle(), "Properties - [Picture.jpg]") << id;
        EXPECT_EQ(properties()->findChild<QTabWidget*>("tabProps")->currentIndex(), 0) << id;
        closeDialogs();
    }
    window->commands().toolAction("props")->trigger();
    PropertiesDialog* d = properties();
    ASSERT_NE(d, nullptr);
    auto* downloads = d->findChild<QLineEdit*>("txtDownloads");
    downloads->setFocus();
    downloads->selectAll();
    QTest::keyClicks(downloads, "42");
    auto* uploader = d->findChild<QLineEdit*>("txtUploader");
    uploader->setFocus();
    uploader->selectAll();
    QTest::keyClicks(uploader, "Cy");
    QTest::mouseClick(d->findChild<QPushButton*>("cmdApply"), Qt::LeftButton);
    EXPECT_EQ(cell(3, FileListModel::Downloads), "42");
    EXPECT_EQ(cell(3, FileListModel::Uploader), "Cy");
    // No reload: the row stays current and selected.
    EXPECT_EQ(window->fileList()->currentRow(), 3);
    EXPECT_EQ(window->fileList()->selectedRows(), QList<int>({ 3 }));
    // The entry had no description and its box was not touched: it still has none.
    EXPECT_EQ(window->descriptionPane()->toPlainText(), "");
    EXPECT_EQ(opened->store().readHeader(12, 3)->downloads(), 42);

    QTest::mouseClick(d->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(properties(), nullptr);
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // Comment lines go after the selected row, or at the end, even of an empty area.
    clickRow(0);
    act("icom")->trigger();
    EXPECT_EQ(cell(1, 0), " (Comment)");
    EXPECT_EQ(cell(2, 0), "My long name.txt");
    EXPECT_EQ(window->messagePanel()->text(), "Comment line inserted");
    EXPECT_EQ(window->objectsPanel()->text(), "5 Object(s)");
    EXPECT_EQ(readFile(board.headerPath(12)).size(), 5u * 194);
    // The uploader of the run, stored in the new record.
    const auto bytes = readFile(board.headerPath(12));
    EXPECT_EQ(enc::getText(bytes.data() + 194 + HeaderRecord::kUploaderOffset, 35), "Run Uploader");

    window->fileList()->selectionModel()->clearSelection();
    act("icom2")->trigger();
    EXPECT_EQ(window->model()->rowCount(), 6);
    EXPECT_EQ(cell(5, 0), " (Comment)");
    window->fileList()->currentView()->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(window->model()->rowCount(), 7);
    EXPECT_TRUE(dialogs.calls.isEmpty());

    // An empty area takes one too, and then has a row to edit.
    window->areas().readArea(3);
    act("icom")->trigger();
    EXPECT_EQ(window->model()->rowCount(), 1);
    EXPECT_TRUE(act("props")->isEnabled());
}

TEST_F(EditingControllerTest, EditDescriptionAndOpeningACommentRowOpenOnTheDescriptionPage)
{
    clickRow(0);
    window->fileList()->currentView()->setFocus();
    QTest::keyClick(window.get(), Qt::Key_F2);
    PropertiesDialog* d = properties();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->findChild<QTabWidget*>("tabProps")->currentIndex(), 2);
    auto* box = d->findChild<QPlainTextEdit*>("txtDescription");
    QApplication::setActiveWindow(d);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(box->font().family(), window->descriptionPane()->font().family());
    box->selectAll();
    QTest::keyClicks(box, "Foo");
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, "bar");
    QTest::mouseClick(d->findChild<QPushButton*>("cmdApply"), Qt::LeftButton);
    EXPECT_EQ(window->descriptionPane()->toPlainText(), "Foo\nbar");
    EXPECT_EQ(opened->store().readDescription(12, 0), "Foo\r\nbar");
    closeDialogs();

    // Opening a comment row, by a double click or Open, edits its description.
    for (int way = 0; way < 2; ++way) {
        clickRow(2, way == 0);
        if (way == 1)
            act("open")->trigger();
        PropertiesDialog* d = properties();
        ASSERT_NE(d, nullptr) << way;
        EXPECT_EQ(d->windowTitle(), "Properties - Comment line");
        EXPECT_EQ(d->findChild<QTabWidget*>("tabProps")->currentIndex(), 2);
        EXPECT_EQ(d->findChild<QPlainTextEdit*>("txtDescription")->toPlainText(), "-- a comment --");
        closeDialogs();
    }
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(EditingControllerTest, GlobalDescriptionWritesTheSelectedEntriesWithoutAReload)
{
    clickRow(0);
    QTest::mouseClick(window->fileList()->detailsView()->viewport(), Qt::LeftButton, Qt::ControlModifier,
        window->fileList()->detailsView()->visualRect(window->model()->index(3, 0)).center());
    ASSERT_EQ(window->fileList()->selectedRows(), QList<int>({ 0, 3 }));
    act("mnuGlobDesc")->trigger();
    auto* d = window->findChild<GlobalDescriptionDialog*>();
    ASSERT_NE(d, nullptr);
    auto* box = d->findChild<QPlainTextEdit*>("txtDescription");
    box->setFocus();
    QTest::keyClicks(box, "Shared");
    dialogs.answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(d->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->findChild<GlobalDescriptionDialog*>(), nullptr);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Quorvex|This action will permanently change the descriptions of all selected files!\n"
                      "Apply description to selected files?" }));
    EXPECT_EQ(window->fileList()->selectedRows(), QList<int>({ 0, 3 }));
    // Entry 1 in place over "Foo archive"; entry 4 had none and gets a copy at the end (42).
    const auto text = readFile(board.descriptionPath(12));
    EXPECT_EQ(std::string(text.begin(), text.begin() + 7), std::string("Shared\0", 7));
    EXPECT_EQ(std::string(text.end() - 7, text.end()), std::string("Shared\0", 7));
    EXPECT_EQ(text.size(), 49u);
}

} // namespace
