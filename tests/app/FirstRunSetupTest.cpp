#include "platform/ProfileFile.h"
#include "app/FirstRunSetup.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace qv {
namespace {

using Answer = Dialogs::Answer;

class FirstRunSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(boardDir);
        QFile f(boardDir + "/files.ra"); // lower case on purpose
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QDir().mkpath(bin);
        QFile arj(bin + "/arj");
        ASSERT_TRUE(arj.open(QIODevice::WriteOnly));
        arj.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    std::unique_ptr<FirstRunSetup> makeSetup(const QString& ra = {})
    {
        auto setup
            = std::make_unique<FirstRunSetup>(profile, dialogs, FirstRunSetup::Environment { ra, bin, "/home/sysop" });
        setup->start();
        return setup;
    }
    // QV_SCREENSHOT_DIR=dir saves each page as the test sees it, for looking at.
    QDialog* page(FirstRunSetup& s)
    {
        if (s.currentPage())
            test::shoot(s.currentPage(), "setup-" + s.currentPage()->objectName());
        return s.currentPage();
    }
    void click(FirstRunSetup& s, const char* button)
    {
        auto* b = s.currentPage()->findChild<QPushButton*>(button);
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    QLineEdit* location(FirstRunSetup& s) { return s.currentPage()->findChild<QLineEdit*>("location"); }
    QByteArray contents()
    {
        QFile f(profile.path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    test::TempDir tmp;
    QString boardDir = QString::fromStdString(tmp.path()) + "/Board";
    QString bin = QString::fromStdString(tmp.path()) + "/bin";
    ProfileFile profile { QString::fromStdString(tmp.path()) + "/QV.INI" };
    test::ScriptedDialogs dialogs;
};

TEST_F(FirstRunSetupTest, WalksThePagesAndWritesTheBoardAndArchivers)
{
    auto setup = makeSetup();
    ASSERT_EQ(page(*setup)->windowTitle(), "Welcome to Veltrano FE");
    EXPECT_FALSE(page(*setup)->findChild<QLabel*>()->text().isEmpty());
    click(*setup, "back"); // nothing before the first page
    EXPECT_EQ(page(*setup)->objectName(), "welcomePage");
    click(*setup, "next");

    ASSERT_EQ(page(*setup)->objectName(), "locationPage");
    EXPECT_EQ(page(*setup)->windowTitle(), "Veltrano FE setup...");
    EXPECT_EQ(location(*setup)->text(), "/home/sysop");
    EXPECT_EQ(location(*setup)->selectedText(), "/home/sysop");

    // A directory without FILES.RA keeps the page up.
    location(*setup)->selectAll();
    QTest::keyClicks(location(*setup), QString::fromStdString(tmp.path()));
    click(*setup, "next");
    EXPECT_EQ(dialogs.messages(), QStringList({ "Location|This path does not contain the file FILES.RA" }));
    EXPECT_EQ(page(*setup)->objectName(), "locationPage");
    EXPECT_TRUE(contents().isEmpty());

    location(*setup)->clear();
    QTest::keyClicks(location(*setup), "  " + boardDir + "  ");
    click(*setup, "next");
    ASSERT_EQ(page(*setup)->objectName(), "archiverPage");
    EXPECT_EQ(contents(), "[Veltrano FE]\nRaDir=" + boardDir.toUtf8() + "/\nOriginalOrder=False\n");

    auto* finish = page(*setup)->findChild<QPushButton*>("finish");
    QTRY_VERIFY(finish->isEnabled());
    EXPECT_EQ(page(*setup)->findChild<QLabel*>("archiverText")->text(),
        "Quorvex has found the following archivers:\n" + bin
            + "/arj (ARJ)\n\nPlease check settings of additional archivers in the 'File' -> 'Preferences' menu when "
              "Quorvex is started.");
    page(*setup);
    click(*setup, "finish");
    ASSERT_EQ(setup->outcome(), FirstRunSetup::Outcome::Finished);
    for (int slot = 1; slot <= 8; ++slot)
        EXPECT_FALSE(profile.read("Archiver" + QString::number(slot), "Extension").isEmpty()) << slot;
    EXPECT_EQ(profile.read("Archiver2", "Path"), bin + "/arj");
    EXPECT_EQ(profile.read("Archiver2", "Options"), "e -y");
    EXPECT_EQ(profile.read("Archiver5", "Path"), "");
    EXPECT_EQ(profile.read("Archiver3", "Extension"), "LZH");
    dialogs.verifyAllAnswersUsed();
}

TEST_F(FirstRunSetupTest, BackKeepsTheTypedLocationBrowseReplacesItAndCancelAsks)
{
    auto setup = makeSetup(boardDir + "/");
    click(*setup, "next");
    EXPECT_EQ(location(*setup)->text(), boardDir) << "RA without its trailing separator";
    location(*setup)->setText("/typed/by/hand");
    click(*setup, "back");
    click(*setup, "next");
    EXPECT_EQ(location(*setup)->text(), "/typed/by/hand");

    dialogs.folders.push_back(QString()); // cancelled picker
    click(*setup, "browse");
    EXPECT_EQ(location(*setup)->text(), "/typed/by/hand");
    dialogs.folders.push_back(boardDir);
    click(*setup, "browse");
    EXPECT_EQ(location(*setup)->text(), boardDir);
    ASSERT_EQ(dialogs.calls.size(), 2);
    EXPECT_EQ(dialogs.calls[0].title, "Select Destination Path");
    EXPECT_EQ(dialogs.calls[0].text, "/typed/by/hand");

    // Cancel asks, and No keeps the page as it was.
    location(*setup)->setText("/half/typed");
    dialogs.answers.push_back(Answer::No);
    click(*setup, "cancel");
    ASSERT_EQ(dialogs.calls.size(), 3);
    EXPECT_EQ(dialogs.calls[2].title, "Cancel");
    EXPECT_EQ(dialogs.calls[2].text, "Setup is not yet completed... Are you sure you want to quit?");
    EXPECT_EQ(dialogs.calls[2].icon, Dialogs::Icon::Warning);
    EXPECT_EQ(dialogs.calls[2].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(dialogs.calls[2].defaultAnswer, Answer::No);
    EXPECT_FALSE(setup->outcome().has_value());
    EXPECT_EQ(location(*setup)->text(), "/half/typed");

    // Escape asks the same question; Yes ends the assistant without writing anything.
    dialogs.answers.push_back(Answer::Yes);
    QTest::keyClick(page(*setup), Qt::Key_Escape);
    EXPECT_EQ(setup->outcome(), FirstRunSetup::Outcome::Cancelled);
    EXPECT_EQ(dialogs.calls.size(), 4);
    EXPECT_FALSE(QFile::exists(profile.path()));
}

TEST_F(FirstRunSetupTest, UnwritableSettingsEndTheAssistant)
{
    ProfileFile nowhere("/proc/quorvex-no-such-dir/QV.INI");
    FirstRunSetup setup(nowhere, dialogs, { boardDir, bin, "/" });
    setup.start();
    click(setup, "next");
    click(setup, "next");
    EXPECT_EQ(setup.outcome(), FirstRunSetup::Outcome::WriteFailed);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Location|Unable to write QV.INI!\n\nCheck your access rights to your "
                      "Windows directory, and try again." }));
}

} // namespace
} // namespace qv
