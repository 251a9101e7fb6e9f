#include "app/BrowserLaunch.h"
#include "app/DemoMode.h"
#include "demo/DemoBoard.h"
#include "platform/ProfileFile.h"
#include "app/ShutdownWriter.h"
#include "app/Startup.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace qv {
namespace {

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        board.writeConfig("Harbour Light", board.fileBaseDir());
        board.writeAreas({ { "Utilities", "/srv/u", 0 } });
        board.writeEntries(1, { { .name = "A.ZIP", .size = 10 } });
        env.insert("TMPDIR", QString::fromStdString(tmp.path()));
    }
    void TearDown() override { QDir::setCurrent(cwd); }

    // A setup that writes RaDir on its n-th run (never when 0) and counts its runs.
    Startup::FirstRunSetup setupWritingOnRun(int n, bool cancelOtherwise = false)
    {
        return [this, n, cancelOtherwise] {
            ++setupRuns;
            if (setupRuns == n)
                return profile.write(settingsfile::kSection, "RaDir", QString::fromStdString(board.boardDir()) + "/");
            if (!profile.exists())
                profile.write("Other", "Key", "1"); // a run that ends without RaDir still makes the file
            return !cancelOtherwise;
        };
    }

    test::TempDir tmp;
    test::BoardBuilder board { tmp.path() };
    QString cwd = QDir::currentPath();
    QString iniPath = QString::fromStdString(tmp.path()) + "/QV.INI";
    ProfileFile profile { iniPath };
    QProcessEnvironment env;
    int setupRuns = 0;
};

// The setup runs until RaDir is written, not at all when it is there, and once when cancelled,
// which ends the run without writing.
TEST_F(StartupTest, FirstRunSetupRunsUntilTheBoardIsKnown)
{
    Startup first(profile, env, setupWritingOnRun(3));
    StartupOutcome out = first.run({});
    ASSERT_TRUE(out.proceed);
    EXPECT_EQ(setupRuns, 3) << "the setup is run again while RaDir stays empty";
    EXPECT_EQ(out.settings.boardDirectory, board.boardDir());
    EXPECT_EQ(out.settings.fileBasePath, board.fileBaseDir());
    EXPECT_EQ(QDir::currentPath(), QDir(QString::fromStdString(board.boardDir())).canonicalPath());

    ASSERT_TRUE(profile.write(settingsfile::kSection, "ViewType", "True"));
    setupRuns = 0;
    Startup again(profile, env, setupWritingOnRun(0));
    out = again.run({});
    ASSERT_TRUE(out.proceed);
    EXPECT_EQ(setupRuns, 0);
    EXPECT_TRUE(out.settings.viewAsList);
    EXPECT_TRUE(out.settings.sendToFile.empty());

    ASSERT_TRUE(profile.write(settingsfile::kSection, "RaDir", ""));
    const QByteArray before = contentsOf(iniPath);
    setupRuns = 0;
    Startup cancelled(profile, env, setupWritingOnRun(0, true));
    EXPECT_FALSE(cancelled.run({}).proceed);
    EXPECT_EQ(setupRuns, 1);
    EXPECT_EQ(contentsOf(iniPath), before);
}

TEST_F(StartupTest, ABoardDirectoryWithoutABoardIsNamedAndTheSetupOfferedAgain)
{
    const QString moved = QString::fromStdString(tmp.path()) + "/moved";
    const QString empty = QString::fromStdString(tmp.path()) + "/empty";
    QDir().mkpath(empty);
    struct Case {
        QString directory;
        QString problem;
        bool again;
    };
    for (const Case& c : { Case { moved, "does not exist", true }, Case { empty, "holds no CONFIG.RA", false } }) {
        SCOPED_TRACE(c.directory.toStdString());
        setupRuns = 0;
        ASSERT_TRUE(profile.write(settingsfile::kSection, "RaDir", c.directory + "/"));
        QStringList asked;
        Startup startup(profile, env, setupWritingOnRun(1), [&](const QString& title, const QString& text) {
            asked << title + "|" + text;
            return c.again;
        });
        const StartupOutcome out = startup.run({});
        EXPECT_EQ(asked,
            QStringList({ "Quorvex|The board directory " + c.directory + " " + c.problem
                + ".\n\nWas it moved, or is its disk not mounted? Run the first-run setup again to choose the board "
                  "directory?" }));
        EXPECT_EQ(out.proceed, c.again);
        EXPECT_EQ(setupRuns, c.again ? 1 : 0);
        if (c.again)
            EXPECT_EQ(out.settings.boardDirectory, board.boardDir());
        else
            EXPECT_EQ(out.exitCode, 1);
    }
}

TEST_F(StartupTest, OneExistingFileArgumentIsSendToModeAndARunHasItsOwnTemporaryDirectory)
{
    ASSERT_TRUE(profile.write(settingsfile::kSection, "RaDir", QString::fromStdString(board.boardDir())));
    ASSERT_TRUE(profile.write(settingsfile::kSection, "ViewType", "True"));
    const std::string file = tmp.path() + "/upload.zip";
    test::writeFile(file, "PK");
    Startup startup(profile, env, setupWritingOnRun(0));
    const StartupOutcome sendTo = startup.run({ QString::fromStdString(file) });
    EXPECT_EQ(sendTo.settings.sendToFile, file);
    EXPECT_FALSE(sendTo.settings.viewAsList) << "the view is not read in send-to mode";

    for (const QStringList& args : { QStringList { QString::fromStdString(tmp.path()) },
             QStringList { QString::fromStdString(file), QString::fromStdString(file) },
             QStringList { QString::fromStdString(tmp.path() + "/missing.zip") } })
        EXPECT_EQ(Startup::sendToFileOf(args), QString()) << args.join(' ').toStdString();

    // Each run has a private temporary directory, gone at its end.
    QString made;
    {
        Startup startup(profile, env, setupWritingOnRun(0));
        const StartupOutcome out = startup.run({});
        made = QString::fromStdString(out.settings.tempDir);
        ASSERT_TRUE(made.startsWith(QString::fromStdString(tmp.path()) + "/quorvex-")) << made.toStdString();
        EXPECT_TRUE(made.endsWith('/'));
        struct stat st { };
        ASSERT_EQ(::stat(made.toLocal8Bit().constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(out.settings.commandInterpreter, "/bin/sh");
    }
    EXPECT_FALSE(QFileInfo::exists(made)) << "removed at the end of the run";

    QProcessEnvironment other;
    other.insert("TEMP", "/Mixed/Case/That/Does/Not/Exist");
    EXPECT_EQ(Startup::sharedTempDirectory(other), "/tmp");
    other.insert("TEMP", QString::fromStdString(tmp.path()));
    EXPECT_EQ(Startup::sharedTempDirectory(other), QString::fromStdString(tmp.path())) << "case kept";
}

// The settings the first-run setup would have written, once, beside a demo board (its marker
// stands for it: the board itself is make-demo's to test).
TEST_F(StartupTest, DemoModeWritesItsSettingsOnce)
{
    const QString dir = QString::fromStdString(tmp.path()) + "/demo";
    test::writeFile(dir.toStdString() + "/" + kDemoMarkerName, "");
    QString error;
    const QString ini = prepareDemo(dir, QString::fromStdString(tmp.path()), error);
    ASSERT_EQ(ini, dir + "/QV.INI") << error.toStdString();
    ProfileFile demo(ini);
    EXPECT_EQ(demo.read(settingsfile::kSection, "RaDir"), dir + "/RA/");
    EXPECT_EQ(demo.read(settingsfile::kSection, "OriginalOrder"), "False");
    EXPECT_EQ(demo.read("Archiver3", "Extension"), "LZH");
    ASSERT_TRUE(demo.write(settingsfile::kSection, "OriginalOrder", "True"));
    EXPECT_EQ(prepareDemo(dir, QString::fromStdString(tmp.path()), error), ini);
    EXPECT_EQ(demo.read(settingsfile::kSection, "OriginalOrder"), "True") << "a second start keeps the user's";
    EXPECT_TRUE(prepareDemo("/proc/version", QString(), error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(StartupTest, FatalLoadEndsWithoutWritingSettings)
{
    // CONFIG.RA names a file base that is not there: the first load ends the program.
    board.writeConfig("Harbour Light", tmp.path() + "/gone");
    ASSERT_TRUE(profile.write(settingsfile::kSection, "RaDir", QString::fromStdString(board.boardDir())));
    const QByteArray before = contentsOf(iniPath);
    Startup startup(profile, env, setupWritingOnRun(0));
    StartupOutcome out = startup.run({});
    ASSERT_TRUE(out.proceed);

    test::ScriptedDialogs dialogs;
    test::ScriptedDesktop desktop;
    bool wrote = false;
    BrowserLaunch launch { out.settings, dialogs, desktop, QString(), [&](const Settings& s, bool normal) {
                              wrote = true;
                              return settingsfile::writeAtShutdown(profile, s, normal, dialogs);
                          } };
    EXPECT_EQ(runBrowserWindow(launch), 1);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Fatal Error|File database path " + QString::fromStdString(tmp.path()) + "/gone not found!" }));
    EXPECT_FALSE(wrote);
    EXPECT_EQ(contentsOf(iniPath), before);
}

} // namespace
} // namespace qv

#include "app/SplashWindow.h"

#include <QElapsedTimer>
#include <QLabel>

namespace qv {
namespace {

TEST(SplashWindow, ShowsTheVersionAndWaitsOnlyWhileShown)
{
    SplashWindow splash("1.5");
    EXPECT_EQ(splash.findChild<QLabel*>("version")->text(), "Version 1.5");
    splash.waitShown(24 * 3600 * 1000); // not shown: returns at once (or the test times out)
    QElapsedTimer t;
    t.start();
    splash.show();
    splash.waitShown(50);
    EXPECT_GE(t.elapsed(), 50);
    test::shoot(&splash, "splash");
}

} // namespace
} // namespace qv
