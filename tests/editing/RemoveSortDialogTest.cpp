#include "board/Messages.h"
#include "editing/widgets/DeletionQuestion.h"
#include "editing/widgets/SortDialog.h"
#include "editing/widgets/SortProgressWindow.h"
#include "platform/widgets/QtDialogs.h"

#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/support/WindowTestTools.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::shoot;
using test::whenModalOpens;

TEST(ConfirmDeletion, FiveButtonsInOrderAndClosingIsCancel)
{
    QtDialogs dialogs;
    QStringList shown;
    whenModalOpens([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Confirm Deletion");
        EXPECT_EQ(box->text(),
            "Do you want to remove the file\n\nReadme.txt\n\nfrom your harddisk?\n\nThe entry is removed from the area "
            "either way.");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
        buttons.removeIf([](QPushButton* b) { return !b->isVisible(); });
        std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
        for (QPushButton* b : buttons)
            shown << b->text();
        shoot(box, "confirm-deletion");
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(askDeletion(dialogs, nullptr, "Readme.txt"), DeletionAnswer::Cancel);
    EXPECT_EQ(shown, messages::confirmDeletionButtons());
    // Enter keeps the file.
    whenModalOpens([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
    EXPECT_EQ(askDeletion(dialogs, nullptr, "Readme.txt"), DeletionAnswer::No);

    for (int pressed = 0; pressed < 5; ++pressed) {
        whenModalOpens([&](QWidget* w) {
            for (QPushButton* b : w->findChildren<QPushButton*>())
                if (b->text() == messages::confirmDeletionButtons()[pressed])
                    b->click();
        });
        static constexpr DeletionAnswer kAnswers[] = { DeletionAnswer::Yes, DeletionAnswer::YesToAll,
            DeletionAnswer::No, DeletionAnswer::NoToAll, DeletionAnswer::Cancel };
        EXPECT_EQ(askDeletion(dialogs, nullptr, "A.zip"), kAnswers[pressed]) << pressed;
    }
}

TEST(SortDialog, TitlePreselectionAndAnswers)
{
    struct Case {
        SortDialog::Scope scope;
        SortKey preselected;
        const char* title;
        std::function<void(QWidget*)> act;
        std::optional<SortDialog::Choice> expected;
    };
    const Case cases[] = {
        { SortDialog::Scope::All, SortKey::LastDownload, "Sort All...",
            [](QWidget* d) {
                shoot(d, "sort-dialog");
                QTest::mouseClick(d->findChild<QPushButton*>("OK"), Qt::LeftButton);
            },
            SortDialog::Choice { SortKey::LastDownload, false } },
        { SortDialog::Scope::Selection, SortKey::Name, "Sort Selection...",
            [](QWidget* d) {
                d->findChild<QRadioButton*>("SortOrder6")->click();
                d->findChild<QRadioButton*>("Order0")->click();
                QTest::mouseClick(d->findChild<QPushButton*>("OK"), Qt::LeftButton);
            },
            SortDialog::Choice { SortKey::Uploader, true } },
        { SortDialog::Scope::Selection, SortKey::Name, "Sort Selection...",
            [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }, std::nullopt },
        { SortDialog::Scope::All, SortKey::Size, "Sort All...",
            [](QWidget* d) { QTest::mouseClick(d->findChild<QPushButton*>("Cancel"), Qt::LeftButton); }, std::nullopt },
    };
    for (const Case& c : cases) {
        QString title;
        bool preselected = false, ascending = false;
        whenModalOpens([&](QWidget* d) {
            title = d->windowTitle();
            preselected
                = d->findChild<QRadioButton*>(QStringLiteral("SortOrder%1").arg(int(c.preselected)))->isChecked();
            ascending = d->findChild<QRadioButton*>("Order1")->isChecked();
            c.act(d);
        });
        const auto choice = SortDialog::ask(nullptr, c.scope, c.preselected);
        EXPECT_EQ(title, c.title);
        EXPECT_TRUE(preselected) << c.title;
        EXPECT_TRUE(ascending) << c.title;
        ASSERT_EQ(choice.has_value(), c.expected.has_value()) << c.title;
        if (choice) {
            EXPECT_EQ(choice->key, c.expected->key);
            EXPECT_EQ(choice->descending, c.expected->descending);
        }
    }
}

TEST(SortProgressWindow, ValuesAsCountsAndPercent)
{
    SortProgressWindow w;
    w.setProgress(33333, 100000);
    EXPECT_EQ(w.values(), "100000\n33333\n33%");
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    shoot(&w, "sort-progress");
    w.setProgress(0, 0);
    EXPECT_EQ(w.values(), "0\n0\n0%");
}

} // namespace
} // namespace qv
