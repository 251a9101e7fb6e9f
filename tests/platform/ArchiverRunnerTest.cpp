#include "platform/ArchiverRunner.h"

#include "tests/support/ArchiveBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::writeBytes;

TEST(ArchiverRunner, OptionsSplitLikeShellWordsWithoutExpansion)
{
    const std::vector<std::pair<QString, QStringList>> cases {
        { "", {} },
        { "  e -y  -ssc-  ", { "e", "-y", "-ssc-" } },
        { "-x \"two words\" 'single $(x)' a\\ b", { "-x", "two words", "single $(x)", "a b" } },
        { "\"\" $HOME `id` ;rm", { "", "$HOME", "`id`", ";rm" } },
        { "\"a \\\" b\"", { "a \" b" } },
        // A backslash that ends the options inside an open quote is kept as it is.
        { "-p\"x\\", { "-px\\" } },
    };
    for (const auto& [options, words] : cases)
        EXPECT_EQ(ArchiverRunner::splitOptions(options), words) << options.toStdString();
}

struct Fixture {
    QTemporaryDir root;
    QString src() const { return root.filePath("src"); }
    QString tmp() const { return root.filePath("tmp"); }
    Fixture()
    {
        QDir().mkpath(src());
        QDir().mkpath(tmp());
    }
    // Members without data are zipped as they are in src(), a symbolic link as a link.
    bool zip(const QString& archive, const QList<std::pair<QString, QByteArray>>& members) const
    {
        QStringList names;
        for (const auto& [name, data] : members) {
            if (!data.isNull())
                writeBytes(src() + "/" + name, data);
            names << name;
        }
        QProcess p;
        p.setWorkingDirectory(src());
        p.start("zip", QStringList { "-q", "-y", archive } + names);
        return p.waitForFinished(60000) && p.exitCode() == 0;
    }
    // The private directory holds nothing after a run.
    bool tmpEmpty() const
    {
        return QDir(tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
    }
};

const QString kUnzip = QStandardPaths::findExecutable("unzip");

// The command line is the same for every program; which options extract each format is what
// the archiver search's own test checks. Here: what the runner makes of what comes out.
TEST(ArchiverRunner, TheDescriptionComesOutAsStoredWhateverTheArchiveHolds)
{
    if (kUnzip.isEmpty() || QStandardPaths::findExecutable("zip").isEmpty())
        GTEST_SKIP() << "no zip and unzip on this machine";
    Fixture f;
    const QByteArray diz = "Quick Beep 1.0\r\n\tBeeps \x01quickly.\r\n";
    ASSERT_TRUE(f.zip(f.src() + "/UPPER.ZIP", { { "FILE_ID.DIZ", diz }, { "README.TXT", "x" } }));
    ASSERT_TRUE(f.zip(f.src() + "/lower.zip", { { "file_id.diz", diz } }));
    ASSERT_TRUE(f.zip(f.src() + "/BIG.ZIP", { { "FILE_ID.DIZ", QByteArray(5000, 'x') } }));
    ASSERT_TRUE(f.zip(f.src() + "/NODIZ.ZIP", { { "README.TXT", "x" } }));
    std::vector<std::pair<QString, QByteArray>> cases { { "UPPER.ZIP", diz }, { "lower.zip", diz },
        { "BIG.ZIP", QByteArray(4096, 'x') }, { "NODIZ.ZIP", {} } };
    // Names an uploader chose: nothing in them runs, the description still comes out.
    for (const QString name : { "a b.zip", "it's \"q\".zip", "a;touch pwned.zip", "$(touch pwned).zip", "-rf.zip" }) {
        QFile::copy(f.src() + "/UPPER.ZIP", f.src() + "/" + name);
        cases.push_back({ name, diz });
    }
    // A member that is a symbolic link gives nothing, whatever it points at.
    writeBytes(f.src() + "/secret.txt", "not for the board");
    QFile::remove(f.src() + "/FILE_ID.DIZ");
    ASSERT_TRUE(QFile::link(f.src() + "/secret.txt", f.src() + "/FILE_ID.DIZ"));
    ASSERT_TRUE(f.zip(f.src() + "/LINK.ZIP", { { "FILE_ID.DIZ", {} } }));
    QFile::remove(f.src() + "/FILE_ID.DIZ");
    cases.push_back({ "LINK.ZIP", {} });
    ArchiverRunner runner(f.tmp());
    for (const auto& [name, description] : cases) {
        const auto r = runner.extract(kUnzip, "-o -C -j", f.src() + "/" + name);
        const auto expected
            = description.isNull() ? ArchiverRunner::Outcome::NoDescription : ArchiverRunner::Outcome::Extracted;
        EXPECT_EQ(r.outcome, expected) << name.toStdString() << "\n" << r.output.toStdString();
        EXPECT_EQ(r.description, description) << name.toStdString();
        EXPECT_TRUE(f.tmpEmpty()) << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists(f.src() + "/pwned"));
    EXPECT_FALSE(QFile::exists("pwned"));
}

TEST(ArchiverRunner, AnArchiverThatNeverEndsIsKilledAtTheLimitWhileEventsRun)
{
    Fixture f;
    const QString script = f.root.filePath("hang.sh");
    writeBytes(script, "#!/bin/sh\necho FILE_ID > FILE_ID.DIZ\nsleep 600\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ArchiverRunner runner(f.tmp(), std::chrono::milliseconds(700));
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    const auto r = runner.extract(script, "", f.src() + "/X.ZIP");
    EXPECT_EQ(r.outcome, ArchiverRunner::Outcome::TimedOut);
    EXPECT_TRUE(r.description.isEmpty()) << "a killed archiver's output is never used";
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_GE(ticks, 5) << "events ran while the archiver did";
    EXPECT_TRUE(f.tmpEmpty());

    const auto missing = runner.extract(f.root.filePath("no-such-program"), "", f.src() + "/X.ZIP");
    EXPECT_EQ(missing.outcome, ArchiverRunner::Outcome::NotStarted);
    EXPECT_EQ(
        ArchiverRunner(f.root.filePath("gone")).extract(script, "", "x").outcome, ArchiverRunner::Outcome::NotStarted);
}

} // namespace
} // namespace qv
