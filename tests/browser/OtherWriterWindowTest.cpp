// The window beside another program that writes the same area (the board, qvtool, a second
// window): commands act only on the entries the user saw, the clipboard finds its entries by
// their records, and the list follows the files without losing the user's place.

#include "browser/ListFollower.h"
#include "editing/Descriptions.h"
#include "tests/browser/TwoAreaWindow.h"

#include <QDialog>

using namespace qv;
using test::Entry;

namespace {

class OtherWriterWindowTest : public test::TwoAreaWindow {
protected:
    std::vector<std::string> descriptions(int area) const
    {
        std::vector<std::string> out;
        const auto n = board->store().count(area).value();
        for (uint64_t p = 0; p < n; ++p)
            out.push_back(board->store().readDescription(area, p));
        return out;
    }
    // What `qvtool comment AREA --after 0` does, from another process's point of view.
    void otherProgramInsertsCommentInFront(int area = 1)
    {
        ASSERT_EQ(Descriptions(*other, area).insertComment(0, "new", "").outcome, DescriptionsResult::Outcome::Written);
    }
    // The comment is cut or copied, then a new comment line goes in front of it (Shift+Insert
    // on the row before), then the paste runs behind the first row of `area`.
    void holdCommentInsertInFrontAndPasteInto(bool cut, int area)
    {
        select({ 5 }, 5);
        act(cut ? "filecut" : "filecop")->trigger();
        select({ 4 }, 4);
        act("icom")->trigger();
        ASSERT_EQ(names().size(), 7);
        if (area != 1)
            window->areas().readArea(area);
        select({ 0 }, 0);
        act("paste")->trigger();
        EXPECT_EQ(dialogs.messages(), QStringList());
        QStringList onDisk;
        for (const LoadedRow& r : board->store().load(area, true).rows)
            onDisk << QString::fromStdString(r.name.str());
        EXPECT_EQ(names(), onDisk);
    }
    QString status() const { return window->statusBar()->currentMessage(); }
};

// The paste takes the held comment, not the new line that now stands at its old place.
TEST_F(OtherWriterWindowTest, ACopyPastedAfterACommentWasInsertedInFrontOfItTakesTheHeldEntry)
{
    holdCommentInsertInFrontAndPasteInto(false, 1);
    EXPECT_EQ(descriptions(1),
        (std::vector<std::string> { "", "Editors and viewers", "", "", "", "", "", "Editors and viewers" }));
}

TEST_F(OtherWriterWindowTest, ACutPastedIntoAnotherAreaAfterACommentWasInsertedInFrontOfItMovesTheHeldEntry)
{
    holdCommentInsertInFrontAndPasteInto(true, 2);
    EXPECT_EQ(descriptions(2), (std::vector<std::string> { "", "Editors and viewers", "" }));
    EXPECT_EQ(descriptions(1), (std::vector<std::string>(6, "")));
}

// Long-name display changes the row texts, not the records: a cut is still pasted.
TEST_F(OtherWriterWindowTest, SwitchingLongNamesAfterACutDoesNotRefuseThePaste)
{
    select({ 0, 1 }, 0);
    act("filecut")->trigger();
    act("mnuDispLFN")->trigger();
    select({ 4 }, 4);
    act("paste")->trigger();
    EXPECT_EQ(dialogs.messages(), QStringList());
    EXPECT_EQ(names(), (QStringList { "F3.zip", "F4.zip", "F5.zip", "F1.zip", "F2.zip", " (Comment)" }));
}

// Another program inserts a line in front: the list follows with F3 still selected, says so,
// and the next Remove asks about F3, the entry the user saw.
TEST_F(OtherWriterWindowTest, AfterAChangeByAnotherProgramTheSelectionStaysOnTheSameEntries)
{
    select({ 2, 4 }, 2);
    otherProgramInsertsCommentInFront();
    ASSERT_TRUE(QTest::qWaitFor([&] { return names().size() == 7; }, 5000));
    EXPECT_EQ(status(), messages::areaReadAgain(1));
    EXPECT_EQ(window->fileList()->selectedRows(), (QList<int> { 3, 5 }));
    EXPECT_EQ(window->fileList()->currentRow(), 3);
    EXPECT_EQ(window->objectsPanel()->text(), "7 Object(s)");
    test::shoot(window.get(), "window-read-again");

    dialogs.choices = { "&Yes", "&No" };
    act("remov")->trigger();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_TRUE(dialogs.calls[0].text.contains("F3.zip")) << dialogs.calls[0].text.toStdString();
    EXPECT_TRUE(dialogs.calls[1].text.contains("F5.zip")) << dialogs.calls[1].text.toStdString();
    EXPECT_EQ(names(), (QStringList { " (Comment)", "F1.zip", "F2.zip", "F4.zip", " (Comment)" }));
    EXPECT_FALSE(test::fileExists(t.file(1, "F3.ZIP")));
    EXPECT_TRUE(test::fileExists(t.file(1, "F5.ZIP")));
    // The window's own change is no change by another program.
    window->statusBar()->clearMessage();
    QTest::qWait(2 * ListFollower::kSettleMs + 100);
    EXPECT_EQ(status(), QString());
}

// A change by another program while a dialog is open waits for the dialog; the dialog's own
// change then meets the check of the entry it was opened on and is refused.
TEST_F(OtherWriterWindowTest, TheListWaitsForAnOpenDialogWhoseChangeIsThenRefused)
{
    select({ 2 }, 2);
    const auto before = t.bytes(1);
    act("props")->trigger();
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    otherProgramInsertsCommentInFront();
    const auto changed = t.bytes(1);
    ASSERT_NE(changed, before);
    QTest::qWait(3 * ListFollower::kSettleMs + 2 * ListFollower::kRetryMs);
    EXPECT_EQ(names().size(), 6) << "read again under the open dialog";

    // A field must change: OK on an untouched dialog writes nothing and so checks nothing.
    QTest::keyClicks(test::child<QLineEdit>(dialog, "txtUploader"), "X");
    QTest::mouseClick(test::child<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(), QStringList { "Quorvex|" + messages::rowsChanged(1) });
    EXPECT_EQ(t.bytes(1), changed);
    ASSERT_TRUE(QTest::qWaitFor([&] { return names().size() == 7; }, 5000));
    EXPECT_EQ(window->fileList()->selectedRows(), QList<int> { 3 });
    EXPECT_EQ(names()[3], "F3.zip");
}

// Commands given rows that another program moved since the list showed them change nothing,
// say so and read the list again with the selection kept.
TEST_F(OtherWriterWindowTest, CommandsOnRowsThatMovedChangeNothingAndReadTheListAgain)
{
    struct Case {
        const char* command;
        QStringList choices;
    };
    for (const Case& c : { Case { "remov", { "&Yes" } }, Case { "update", {} }, Case { "icom", {} } }) {
        SCOPED_TRACE(c.command);
        window->areas().readArea(1);
        select({ 2 }, 2);
        // Each case leaves one more comment in front, so the entry is the one shown now.
        const QString shown = names()[2];
        // No event runs between the change and the command: the list still shows the old rows.
        otherProgramInsertsCommentInFront();
        const auto changed = t.bytes(1);
        dialogs.calls.clear();
        dialogs.choices = std::deque<QString>(c.choices.begin(), c.choices.end());
        act(c.command)->trigger();
        EXPECT_EQ(dialogs.calls.back().text, messages::rowsChanged(1));
        EXPECT_EQ(t.bytes(1), changed);
        EXPECT_EQ(window->fileList()->selectedRows(), QList<int> { 3 });
        EXPECT_EQ(names()[3], shown);
        EXPECT_TRUE(test::fileExists(t.file(1, shown.toUpper().toStdString())));
    }
}

// Rows are followed by their records: whatever moved them, the same entry is found; a bumped
// download count is still the same entry, any other change is not; of identical records the
// nearest is taken, each once.
TEST(ListFollower, FollowsRowsByTheirRecords)
{
    auto row = [](uint8_t id, int downloads = 0) {
        LoadedRow r;
        uint8_t* bytes = r.record.mutableData();
        bytes[0] = id;
        bytes[HeaderRecord::kDownloadsOffset] = uint8_t(downloads);
        bytes[HeaderRecord::kLastDownloadOffset] = uint8_t(downloads);
        return r;
    };
    struct Case {
        const char* label;
        LoadedRows before, now;
        std::vector<int> expected;
    };
    const Case cases[] = {
        { "a line in front", { row(1), row(2) }, { row(9), row(1), row(2) }, { 1, 2 } },
        { "one removed", { row(1), row(2), row(3) }, { row(1), row(3) }, { 0, -1, 1 } },
        { "sorted", { row(1), row(2), row(3) }, { row(3), row(1), row(2) }, { 1, 2, 0 } },
        { "downloads counted", { row(1), row(2) }, { row(1), row(2, 7) }, { 0, 1 } },
        { "another field changed", { row(1), row(2) }, { row(1), row(5) }, { 0, -1 } },
        { "identical ones, nearest first", { row(4), row(4) }, { row(4), row(8), row(4), row(4) }, { 0, 2 } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListFollower::follow(c.before, c.now), c.expected) << c.label;
}

} // namespace
