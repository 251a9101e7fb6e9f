#include "storage/Encoding.h"
#include "tests/cli/ToolRun.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

namespace {

using qv::test::BoardBuilder;
using qv::test::Entry;

class FindExportTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = QString::fromStdString(tmp.path());
        board = std::make_unique<BoardBuilder>(tmp.path());
        board->writeConfig("Board");
        QDir(root).mkpath("files/a");
        QDir(root).mkpath("files/b");
        board->writeAreas({ { "Alpha", tmp.path() + "/files/a", 1 }, { "Beta", tmp.path() + "/files/b", 1 } });
        const int32_t date = qv::enc::encodeDate({ 1998, 11, 5 });
        board->writeEntries(1,
            { { .name = "TEST.ZIP",
                  .size = 12345,
                  .fileDate = date,
                  .downloads = 3,
                  .description = "First line\nSecond line",
                  .longName = "Test Archive.ZIP" },
                { .name = "", .description = "-- comment --" } });
        board->writeEntries(2, { { .name = "OTHER.TXT", .size = 1, .fileDate = date, .description = "second" } });
        run = { { "--board", root + "/ra" }, root + "/config" };
    }
    qv::test::TempDir tmp;
    QString root;
    std::unique_ptr<BoardBuilder> board;
    qv::test::BoundTool run;
};

TEST_F(FindExportTool, FindByKeywordOrNameOverARange)
{
    const QJsonArray hits = run.ok({ "find", "SECOND", "--json" }).json().array();
    ASSERT_GE(hits.size(), 1);
    EXPECT_EQ(hits[0].toObject()["area"].toInt(), 1);
    EXPECT_EQ(hits[0].toObject()["position"].toInt(), 1);
    EXPECT_EQ(hits[0].toObject()["entry"].toObject()["size"].toInt(), 12345);

    // What each search finds, by the names of its hits.
    const std::pair<QStringList, QStringList> cases[] = {
        { { "find", "SECOND" }, { "Test.zip", "Other.txt" } },
        { { "find", "--from", "2", "--keyword", "second" }, { "Other.txt" } },
        { { "find", "--name", "*.zip" }, { "Test Archive.ZIP" } },
        { { "find", "*.zip", "--name", "--short-names" }, { "Test.zip" } },
    };
    for (const auto& [args, expected] : cases) {
        QStringList names;
        for (const QJsonValue& hit : run.ok(args + QStringList { "--json" }).json().array())
            names << hit.toObject()["name"].toString();
        EXPECT_EQ(names, expected) << args.join(' ').toStdString();
    }

    const QString upToOne = run.ok({ "find", "second", "--to", "1" }).out;
    EXPECT_TRUE(upToOne.contains("1 - Alpha") && !upToOne.contains("Other.txt")) << upToOne.toStdString();
    run.fails({ "find", "x", "--from", "2", "--to", "1" }, 1, "qvtool: Invalid range specified!\n");
}

TEST_F(FindExportTool, ExportWritesListsOrPrintsOne)
{
    EXPECT_EQ(run.ok({ "export", "--stdout", "1", "--counters", "--comments" }).out.toStdString(),
        "TEST.ZIP        12345 11/05/98 0003  First line\r\n" + std::string(36, ' ')
            + "| Second line\r\n-- comment --\r\n");

    EXPECT_EQ(run.ok({ "export", "--all", "--short", "--json" }).json().array().size(), 2);
    EXPECT_EQ(qv::test::readFile(tmp.path() + "/files/a/files.bbs"),
        qv::test::bytesOf("TEST.ZIP        12345 11/05/98  First line\r\n"));
    EXPECT_EQ(qv::test::readFile(tmp.path() + "/files/b/files.bbs"),
        qv::test::bytesOf("OTHER.TXT           1 11/05/98  second\r\n"));

    QDir(root + "/files/b").removeRecursively();
    const qv::test::ToolRun r = run({ "export", "1", "2" });
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qvtool: Could not open: " + root + "/files/b\\Files.bbs!\n");
    EXPECT_TRUE(r.out.startsWith("1: ")) << r.out.toStdString();
}

} // namespace
