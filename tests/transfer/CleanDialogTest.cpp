#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"
#include "tests/transfer/CleanTestBoard.h"
#include "transfer/widgets/CleanDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::CleanTestBoard;

QStringList shown(const QTreeWidget* plan)
{
    QStringList out;
    for (int i = 0; i < plan->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* area = plan->topLevelItem(i);
        out << area->text(0);
        for (int k = 0; k < area->childCount(); ++k)
            out << "  " + area->child(k)->text(0) + " | " + area->child(k)->text(1) + " | " + area->child(k)->text(2);
    }
    return out;
}

TEST(CleanDialog, PreviewsAreaByAreaThenCleansWhatItShowed)
{
    CleanTestBoard t;
    t.fill(1);
    t.fill(3);
    t.putFile(2, "oldfd.zip");
    auto board = t.open();
    test::ScriptedDialogs dialogs;
    CleanDialog d(*board, dialogs, board->numberedAreaItems(), 3);
    d.setToday(CleanTestBoard::kToday);
    EXPECT_EQ(d.windowTitle(), "Clean Areas");
    EXPECT_TRUE(d.areaList()->item(2)->isSelected()) << "the current area starts chosen";
    d.areaList()->item(0)->setSelected(true);
    d.missingBox()->setChecked(true);
    d.deletedBox()->setChecked(true);
    EXPECT_FALSE(d.cleanButton()->isEnabled()) << "nothing to clean before a preview";
    QTest::mouseClick(d.findChild<QPushButton*>("Preview"), Qt::LeftButton);
    EXPECT_EQ(shown(d.planView()).join('\n').toStdString(),
        "00001: Expire to 2: 5 entries\n"
        "  1  Olddl.zip | expired (last downloaded 91 days ago) | move to area 2\n"
        "  3  Never.zip | expired (never downloaded, uploaded 61 days ago) | move to area 2\n"
        "  5  Oldfd.zip | expired (file date 700 days old) | stays: area 2 already has a file Oldfd.zip\n"
        "  8  Gone.zip | missing (not in C:\\FILES\\A) | remove\n"
        "  9  Del.zip | deleted | remove, delete its file\n"
        "  13  Shared.zip | deleted | remove, delete its file\n"
        "00003: Disc: 3 entries; expired entries of a CD-ROM area stay\n"
        "  8  Gone.zip | missing (not in C:\\CD) | remove\n"
        "  9  Del.zip | deleted | remove, keep its file (CD-ROM)\n"
        "  13  Shared.zip | deleted | remove, keep its file (CD-ROM)");
    EXPECT_EQ(d.summaryLabel()->text(), "8 entries would go, 1 stay");
    test::shoot(&d, "clean-areas");

    // A changed choice wants a new preview.
    d.expiredBox()->setChecked(false);
    EXPECT_FALSE(d.cleanButton()->isEnabled());
    EXPECT_EQ(d.planView()->topLevelItemCount(), 0);
    d.expiredBox()->setChecked(true);
    d.preview();
    ASSERT_TRUE(d.cleanButton()->isEnabled());
    QTest::mouseClick(d.cleanButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(), QStringList { "Clean Areas|6 entries removed, 2 entries moved, 1 file(s) deleted." });
    EXPECT_EQ(d.changedAreas(), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(t.bytes(3).hdr.size(), 11 * HeaderRecord::kSize);
    EXPECT_EQ(t.filesIn(3), [] {
        auto f = CleanTestBoard::files();
        std::sort(f.begin(), f.end());
        return f;
    }());
    // What is left: the entry that stays.
    EXPECT_EQ(d.summaryLabel()->text(), "0 entries would go, 1 stay");
    EXPECT_FALSE(d.cleanButton()->isEnabled());
}

} // namespace
} // namespace qv
