#include "browser/RemoveSortController.h"
#include "editing/widgets/SortDialog.h"
#include "tests/browser/MainWindowFixture.h"
#include "tests/editing/RemoveSortTestBoard.h"

#include <QHeaderView>
#include <QRadioButton>

#include <sys/stat.h>

using namespace qv;
using test::Entry;

namespace {

const std::vector<std::string> kFiles = { "A.ZIP", "B.ZIP", "C.ZIP", "D.ZIP", "E.ZIP" };

// Five entries of area 1 with their files, in the window.
class RemoveSortWindowTest : public test::MappedWindow<test::RemoveSortTestBoard> {
protected:
    void SetUp() override
    {
        t.builder.writeConfig("Board", "C:\\FDB");
        t.builder.writeGroups({ { "General" } });
        t.builder.writeFilesRdx({ 1 });
        written = t.builder.writeEntries(1,
            { Entry { .name = "C.ZIP", .size = 30, .description = "c" },
                Entry { .name = "A.ZIP", .size = 10, .description = "a" },
                Entry { .name = "E.ZIP", .size = 50, .description = "e" },
                Entry { .name = "B.ZIP", .size = 20, .description = "b" },
                Entry { .name = "D.ZIP", .size = 40, .description = "d" } });
        for (const std::string& f : kFiles)
            t.putFile(f);
        startOn();
    }

    std::vector<std::string> filesOnDisk() const
    {
        std::vector<std::string> out;
        for (const std::string& f : kFiles)
            if (test::fileExists(t.file(f)))
                out.push_back(f);
        return out;
    }
    // Answers the sort dialog that `open` brings up: records its title and preselected key, then acts.
    void sortVia(const std::function<void()>& open, const std::function<void(SortDialog*)>& answer)
    {
        EXPECT_TRUE(test::pollModal(
            [&](QWidget* w) {
                auto* dialog = qobject_cast<SortDialog*>(w);
                if (dialog) {
                    sortTitle = dialog->windowTitle();
                    preselected = int(dialog->key());
                    answer(dialog);
                }
                return dialog != nullptr;
            },
            open, nullptr, 10));
    }
    void sortVia(const char* command, const std::function<void(SortDialog*)>& answer)
    {
        sortVia([this, command] { act(command)->trigger(); }, answer);
    }
    static void choose(SortDialog* d, const char* radio) { d->findChild<QRadioButton*>(radio)->click(); }
    static void ok(SortDialog* d) { QTest::mouseClick(d->findChild<QPushButton*>("OK"), Qt::LeftButton); }

    test::AreaFiles written;
    QString sortTitle;
    int preselected = -1;
};

TEST_F(RemoveSortWindowTest, RemoveRowsTwoAndFourAsksInListOrderAndDropsThemInPlace)
{
    select({ 3, 1 });
    window->files().describeRow(1);
    dialogs.choices = { "&Yes", "&No" };
    act("remov")->trigger();

    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[0].kind, "choice");
    EXPECT_EQ(dialogs.calls[0].title, "Confirm Deletion");
    EXPECT_EQ(dialogs.calls[0].text,
        "Do you want to remove the file\n\nA.zip\n\nfrom your harddisk?\n\nThe entry is removed from the area "
        "either way.");
    EXPECT_EQ(dialogs.calls[0].defaultButton, 2) << "Enter keeps the file";
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Question);
    EXPECT_EQ(dialogs.calls[0].buttonTexts, QStringList({ "&Yes", "&Yes to All", "&No", "&No to All", "&Cancel" }));
    EXPECT_EQ(dialogs.calls[1].text,
        "Do you want to remove the file\n\nB.zip\n\nfrom your harddisk?\n\nThe entry is removed from the area "
        "either way.");

    EXPECT_EQ(names(), QStringList({ "C.zip", "E.zip", "D.zip" }));
    EXPECT_EQ(objects(), "3 Object(s)");
    EXPECT_TRUE(window->descriptionPane()->toPlainText().isEmpty());
    EXPECT_EQ(t.bytes(), test::areaBytesOf(written, { 0, 2, 4 }));
    EXPECT_EQ(filesOnDisk(), (std::vector<std::string> { "B.ZIP", "C.ZIP", "D.ZIP", "E.ZIP" }));
    EXPECT_EQ(window->messagePanel()->text(), "2 entries removed, 1 file deleted");
}

// Cancel or closing the question changes nothing; No to All on the first keeps every file and
// removes every entry.
TEST_F(RemoveSortWindowTest, CancelChangesNothingAndNoToAllFromTheToolbarKeepsEveryFile)
{
    const test::AreaBytes before = t.bytes();
    for (const QString& last : { QStringLiteral("&Cancel"), QString() }) {
        select({ 0, 2, 4 });
        dialogs.choices = { "&Yes", last };
        act("filedelete")->trigger();
        EXPECT_EQ(t.bytes(), before);
        EXPECT_EQ(filesOnDisk(), kFiles);
        EXPECT_EQ(window->model()->rowCount(), 5);
    }
    dialogs.calls.clear();
    select({ 0, 1, 2, 3, 4 });
    dialogs.choices = { "&No to All" };
    window->commands().toolAction("del")->trigger();
    EXPECT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(window->model()->rowCount(), 0);
    EXPECT_EQ(objects(), "0 Object(s)");
    EXPECT_EQ(window->sizePanel()->text(), "0 MB");
    EXPECT_FALSE(act("remov")->isEnabled());
    EXPECT_FALSE(window->commands().toolAction("del")->isEnabled());
    EXPECT_TRUE(t.bytes().hdr.empty());
    EXPECT_EQ(filesOnDisk(), kFiles);
}

TEST_F(RemoveSortWindowTest, UpdateMarksAMissingFileAndKeepsTheMarkWhenItIsBack)
{
    std::filesystem::remove(t.file("E.ZIP"));
    select({ 2 });
    act("update")->trigger();
    EXPECT_EQ(cell(2, FileListModel::Size), "0");
    EXPECT_EQ(cell(2, FileListModel::FileDate), FileListModel::dateText(enc::encodeDate({ 1980, 1, 1 })));
    EXPECT_EQ(window->sizePanel()->text(), messages::megabytes(100));

    t.putFile("E.ZIP", "back again");
    act("udate")->trigger();
    EXPECT_EQ(cell(2, FileListModel::Size), "10");
    EXPECT_TRUE(board->store().readHeader(1, 2)->hasAttribute(Attribute::MissingOffline));
    EXPECT_TRUE(dialogs.calls.isEmpty());
}

TEST_F(RemoveSortWindowTest, ASortOfALargeAreaCanBeCancelledBeforeAnythingIsWritten)
{
    std::vector<test::Entry> many;
    for (int i = 0; i < RemoveSortController::kProgressRows; ++i)
        many.push_back({ .name = "F" + std::to_string(RemoveSortController::kProgressRows - i) + ".ZIP" });
    t.builder.writeEntries(1, many);
    window->areas().readArea(1);
    const auto before = test::readFile(t.builder.headerPath(1));
    window->fileList()->currentView()->selectAll();
    // Polled at every turn of events: the sort lets them run only twice.
    EXPECT_TRUE(test::pollModal(
        [](QWidget* w) {
            QTest::mouseClick(test::child<QPushButton>(w, "cmdCancel"), Qt::LeftButton);
            return true;
        },
        [&] { sortVia("SelSort", ok); }, "frmSortStat"));
    EXPECT_EQ(test::readFile(t.builder.headerPath(1)), before);
    EXPECT_EQ(window->messagePanel()->text(), "Sort cancelled: the area keeps its order");
}

// Escape on the sort dialog leaves the header file as it was, not even rewritten; OK sorts.
TEST_F(RemoveSortWindowTest, SelectionSortOrdersTheSelectedRowsAmongTheirPlacesUnlessCancelled)
{
    struct stat before { };
    ASSERT_EQ(::stat(t.builder.headerPath(1).c_str(), &before), 0);
    select({ 0, 1, 3 });
    sortVia("SelSort", [](SortDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
    EXPECT_EQ(sortTitle, "Sort Selection...");
    struct stat after { };
    ASSERT_EQ(::stat(t.builder.headerPath(1).c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(window->fileList()->selectedRows(), QList<int>({ 0, 1, 3 }));

    sortTitle.clear();
    sortVia("Sortsel", ok);
    EXPECT_EQ(sortTitle, "Sort Selection...");
    EXPECT_EQ(preselected, int(SortKey::Name));
    EXPECT_EQ(t.bytes(), test::areaBytesOf(written, { 1, 3, 2, 0, 4 }));
    EXPECT_EQ(names(), QStringList({ "A.zip", "B.zip", "E.zip", "C.zip", "D.zip" }));
}

} // namespace

// A click on a column header sorts the whole area by that column; Edit undoes and redoes it and a
// remove, each by name.
TEST_F(RemoveSortWindowTest, EditMenuUndoesAndRedoesTheHeaderSortAndARemoveByName)
{
    QAction* undo = act("undo");
    QAction* redo = act("redo");
    EXPECT_EQ(undo->text(), "&Undo");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(undo->shortcuts().contains(QKeySequence("Ctrl+Z")));

    QHeaderView* header = window->fileList()->detailsView()->header();
    sortVia(
        [header] {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(FileListModel::Size) + 5, header->height() / 2));
            QCoreApplication::processEvents();
        },
        [](SortDialog* d) {
            choose(d, "Order0");
            ok(d);
        });
    EXPECT_EQ(sortTitle, "Sort All...");
    EXPECT_EQ(preselected, int(SortKey::Size));
    const auto sorted = t.bytes();
    EXPECT_EQ(sorted, test::areaBytesOf(written, { 2, 4, 0, 3, 1 }));
    EXPECT_EQ(names(), QStringList({ "E.zip", "D.zip", "C.zip", "B.zip", "A.zip" }));
    EXPECT_TRUE(window->messagePanel()->text().startsWith("Area sorted by size"))
        << window->messagePanel()->text().toStdString();
    EXPECT_EQ(undo->text(), "&Undo Sort");
    EXPECT_TRUE(undo->isEnabled());

    select({ 3, 1 });
    dialogs.choices = { "&No", "&No" };
    act("remov")->trigger();
    EXPECT_EQ(names(), QStringList({ "E.zip", "C.zip", "A.zip" }));
    EXPECT_EQ(undo->text(), "&Undo Remove of 2 entries");

    undo->trigger();
    EXPECT_EQ(t.bytes(), sorted);
    EXPECT_EQ(names(), QStringList({ "E.zip", "D.zip", "C.zip", "B.zip", "A.zip" }));
    EXPECT_EQ(undo->text(), "&Undo Sort");
    EXPECT_EQ(redo->text(), "&Redo Remove of 2 entries");
    EXPECT_TRUE(redo->isEnabled());
    undo->trigger();
    EXPECT_EQ(t.bytes().hdr, test::areaBytesOf(written, { 0, 1, 2, 3, 4 }).hdr);
    EXPECT_EQ(names(), QStringList({ "C.zip", "A.zip", "E.zip", "B.zip", "D.zip" }));
    EXPECT_FALSE(undo->isEnabled());
    redo->trigger();
    redo->trigger();
    EXPECT_EQ(names(), QStringList({ "E.zip", "C.zip", "A.zip" }));
    EXPECT_EQ(redo->text(), "&Redo");
    EXPECT_EQ(filesOnDisk(), kFiles);
}
