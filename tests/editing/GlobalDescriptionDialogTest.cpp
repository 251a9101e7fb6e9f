#include "editing/widgets/GlobalDescriptionDialog.h"

#include "tests/editing/EditingTestBoard.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::shownAt;

TEST(GlobalDescriptionDialog, AsksFirstAndWritesEverySelectedEntryOnYes)
{
    test::EditingTestBoard t;
    test::ScriptedDialogs dialogs;
    int runs = 0;
    GlobalDescriptionDialog dialog(dialogs, QFont("Monospace", 10), [&](const QString& text) {
        ++runs;
        return Descriptions(*t.board, 1).giveAll(shownAt(*t.board, 1, { 2, 3 }), text);
    });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* box = dialog.findChild<QPlainTextEdit*>("txtDescription");
    EXPECT_TRUE(box->toPlainText().isEmpty());
    auto* ok = dialog.findChild<QPushButton*>("cmdOK");
    auto* apply = dialog.findChild<QPushButton*>("cmdApply");
    EXPECT_FALSE(apply->isEnabled());

    box->setFocus();
    QTest::keyClicks(box, "All the same");
    test::shoot(&dialog, "global-description");
    EXPECT_FALSE(apply->isEnabled());
    const auto before = t.bytes();
    dialogs.answers.push_back(Dialogs::Answer::No);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Quorvex|This action will permanently change the descriptions of all selected files!\n"
                      "Apply description to selected files?" }));
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Exclamation);
    EXPECT_EQ(dialogs.calls[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(t.bytes(), before);

    std::vector<DescriptionsResult> written;
    QObject::connect(
        &dialog, &GlobalDescriptionDialog::written, [&](const DescriptionsResult& r) { written.push_back(r); });
    dialogs.answers.push_back(Dialogs::Answer::Yes);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].appended, 2);
    auto txt = t.descriptionsPlus("All the same");
    txt.insert(txt.end(), { 'A', 'l', 'l', ' ', 't', 'h', 'e', ' ', 's', 'a', 'm', 'e', 0 });
    EXPECT_EQ(t.bytes().txt, txt);
    dialogs.verifyAllAnswersUsed();
}

} // namespace
} // namespace qv
