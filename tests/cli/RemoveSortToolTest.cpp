#include "tests/cli/ToolRun.h"
#include "tests/editing/RemoveSortTestBoard.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

using qv::test::Entry;
using qv::test::RemoveSortTestBoard;

class RemoveSortTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.builder.writeConfig("Board", "C:\\FDB");
        written = t.builder.writeEntries(1,
            { Entry { .name = "C.ZIP", .size = 3, .uploader = "Cy" }, Entry { .name = "A.ZIP", .size = 1 },
                Entry { .name = "BZULU~1.ZIP", .size = 2, .longName = "Bzulu.zip" },
                Entry { .name = "A.ZIP", .size = 9 } });
        for (const char* f : { "A.ZIP", "B.ZIP", "C.ZIP" })
            t.putFile(f);
    }
    // The board, as a second program sees it, for what happens while qvtool waits.
    QStringList boardArgs() const
    {
        return { "--board", QString::fromStdString(t.builder.boardDir()), "--drive",
            "C=" + QString::fromStdString(t.tmp.path()) };
    }
    RemoveSortTestBoard t;
    qv::test::AreaFiles written;
    qv::test::BoundTool run { boardArgs(), QString::fromStdString(t.tmp.path() + "/config") };
};

TEST_F(RemoveSortTool, RemoveDeletesOnlyFilesNoRemainingEntryNames)
{
    // Row 3 shows the long name Bzulu.zip, which no file has: nothing to delete for it.
    const QJsonObject o = run.ok({ "--json", "remove", "1", "1", "2", "3", "--delete-files", "--yes" }).json().object();
    EXPECT_EQ(o["removed"].toArray().size(), 3);
    EXPECT_EQ(o["deleted"].toArray(), QJsonArray({ QString::fromStdString(t.file("C.ZIP")) }));
    EXPECT_EQ(o["trashed"].toArray(), o["deleted"].toArray());
    EXPECT_TRUE(qv::test::fileExists(qgetenv("XDG_DATA_HOME").toStdString() + "/Trash/files/C.ZIP"));
    EXPECT_EQ(o["kept_shared"].toArray(), QJsonArray({ "A.zip" }));
    EXPECT_EQ(t.bytes(), qv::test::areaBytesOf(written, { 3 }));
    EXPECT_FALSE(qv::test::fileExists(t.file("C.ZIP")));

    // --no-trash unlinks the file.
    const QJsonObject unlinked
        = run.ok({ "--json", "--no-trash", "remove", "1", "1", "--delete-files", "--yes" }).json().object();
    EXPECT_EQ(unlinked["deleted"].toArray(), QJsonArray({ QString::fromStdString(t.file("A.ZIP")) }));
    EXPECT_EQ(unlinked["trashed"].toArray(), QJsonArray());
    EXPECT_FALSE(qv::test::fileExists(t.file("A.ZIP")));
}

// What qvtool read is what it changes: another program's change between its reading and its
// commit (here while it waits for an answer) refuses the change, and no file goes.
TEST_F(RemoveSortTool, AChangeBetweenReadingAndCommittingIsRefused)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", run.configHome);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QVTOOL_PATH), boardArgs() + QStringList { "remove", "1", "1", "--delete-files" });
    p.setReadChannel(QProcess::StandardError);
    QByteArray asked;
    while (!asked.contains("from your harddisk?") && p.waitForReadyRead(20000))
        asked += p.readAllStandardError();
    ASSERT_TRUE(asked.contains("C.zip")) << asked.toStdString();
    run.ok({ "comment", "1", "--text", "X", "--after", "0" });
    const qv::test::AreaBytes changed = t.bytes();
    p.write("y\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromUtf8(asked + p.readAllStandardError());
    EXPECT_TRUE(err.contains("The entries of area 1 were changed by another program since they were read; nothing was "
                             "changed."))
        << err.toStdString();
    EXPECT_EQ(t.bytes(), changed);
    EXPECT_TRUE(qv::test::fileExists(t.file("C.ZIP")));
}

TEST_F(RemoveSortTool, RemoveAsksOnStandardInputAndCancelChangesNothing)
{
    const qv::test::AreaBytes before = t.bytes();
    auto r = run({ "remove", "1", "2", "4", "--delete-files" }, "y\nc\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count("Do you want to remove the file\n\nA.zip\n\nfrom your harddisk?"), 2) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("cancelled; nothing was changed"));
    EXPECT_EQ(t.bytes(), before);
    EXPECT_TRUE(qv::test::fileExists(t.file("A.ZIP")));

    EXPECT_EQ(
        run.ok({ "remove", "1", "2", "4", "--delete-files" }, "x\nl\n").out, "removed 2 A.zip\nremoved 4 A.zip\n");
    EXPECT_TRUE(qv::test::fileExists(t.file("A.ZIP")));
    EXPECT_EQ(t.bytes(), qv::test::areaBytesOf(written, { 0, 2 }));
}

TEST_F(RemoveSortTool, UpdateReportsChangedAndMissingEntries)
{
    // Row 3 is reached through its long name or its alias: neither Bzulu.zip nor BZULU~1.ZIP exists.
    const QStringList lines = run.ok({ "update", "1" }).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[2].startsWith("missing 3 Bzulu.zip 0 01-01-1980")) << lines[2].toStdString();
    EXPECT_TRUE(lines[0].startsWith("updated 1 C.zip 4 ")) << lines[0].toStdString();
}

TEST_F(RemoveSortTool, SortByAKeyOrOnlySomeEntries)
{
    EXPECT_EQ(run.ok({ "sort", "1", "--by", "size", "--descending" }).out, "sorted 4 entries of area 1 by size\n");
    EXPECT_EQ(t.bytes(), qv::test::areaBytesOf(written, { 3, 0, 2, 1 }));

    // Positions 2 and 3 now hold C.ZIP and BZULU~1.ZIP: by short name B before C.
    run.ok({ "sort", "1", "name", "--only", "2", "3", "--short-names" });
    EXPECT_EQ(t.bytes(), qv::test::areaBytesOf(written, { 3, 2, 0, 1 }));
    EXPECT_EQ(run.ok({ "sort", "1", "name", "--only", "2", "3", "--short-names" }).out,
        "already in that order; nothing written\n");
    run.fails({ "remove", "1", "9" }, 1);
}

} // namespace

// Progress is drawn on a terminal only; pipes and logs get the result alone, --quiet not even that.
TEST_F(RemoveSortTool, ProgressOnlyOnATerminal)
{
    auto onTerminal = [&](const QStringList& args) {
        QString line;
        for (const QString& w : QStringList { QStringLiteral(QVTOOL_PATH) } + boardArgs() + args)
            line += " '" + w + "'";
        QProcess p;
        p.start("script", { "-qec", line, "/dev/null" });
        EXPECT_TRUE(p.waitForFinished(60000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    struct Case {
        QStringList args;
        QString shown;
        QString hidden;
    };
    const Case cases[] = {
        { { "sort", "1", "name" }, "sorting [", "" },
        { { "sort", "1", "size", "--quiet" }, "", "sort" },
        // The line is gone before the result is printed.
        { { "find", "*", "--name" }, "searching [####################] 1/1 area 1\r\x1b[KArea", "" },
        { { "update", "1" }, "updating [", "" },
        { { "dupes" }, "searching [####################] 1/1 area 1\r\x1b[K", "" },
        { { "filelist", QString::fromStdString(t.tmp.path()) + "/ALL.TXT", "1" },
            "listing [####################] 1/1 area 1", "" },
    };
    for (const Case& c : cases) {
        const QString out = onTerminal(c.args);
        EXPECT_TRUE(out.contains(c.shown)) << out.toStdString();
        EXPECT_TRUE(c.hidden.isEmpty() || !out.contains(c.hidden)) << out.toStdString();
    }
    EXPECT_EQ(run.ok({ "sort", "1", "downloads" }).err, "");
}
