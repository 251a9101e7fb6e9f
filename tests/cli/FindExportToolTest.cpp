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
    qv::test::ToolRun r = run({ "find", "SECOND", "--json" });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QJsonArray hits = r.json().array();
    ASSERT_EQ(hits.size(), 2);
    EXPECT_EQ(hits[0].toObject()["area"].toInt(), 1);
    EXPECT_EQ(hits[0].toObject()["position"].toInt(), 1);
    EXPECT_EQ(hits[0].toObject()["name"].toString(), "Test.zip");
    EXPECT_EQ(hits[0].toObject()["entry"].toObject()["size"].toInt(), 12345);
    EXPECT_EQ(hits[1].toObject()["name"].toString(), "Other.txt");

    r = run({ "find", "--from", "2", "--keyword", "second", "--json" });
    EXPECT_EQ(r.json().array().size(), 1);

    r = run({ "find", "--name", "*.zip", "--json" });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    ASSERT_EQ(r.json().array().size(), 1);
    EXPECT_EQ(r.json().array()[0].toObject()["name"].toString(), "Test Archive.ZIP");
    r = run({ "find", "*.zip", "--name", "--short-names", "--json" });
    EXPECT_EQ(r.json().array()[0].toObject()["name"].toString(), "Test.zip");

    r = run({ "find", "second", "--to", "1" });
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains("1 - Alpha")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("Other.txt"));

    r = run({ "find", "x", "--from", "2", "--to", "1" });
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qvtool: Invalid range specified!\n");
}

TEST_F(FindExportTool, ExportWritesListsOrPrintsOne)
{
    qv::test::ToolRun r = run({ "export", "--stdout", "1", "--counters", "--comments" });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.toStdString(),
        "TEST.ZIP        12345 11/05/98 0003  First line\r\n" + std::string(36, ' ')
            + "| Second line\r\n-- comment --\r\n");

    r = run({ "export", "--all", "--short", "--json" });
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().array().size(), 2);
    EXPECT_EQ(qv::test::readFile(tmp.path() + "/files/a/files.bbs"),
        qv::test::bytesOf("TEST.ZIP        12345 11/05/98  First line\r\n"));
    EXPECT_EQ(qv::test::readFile(tmp.path() + "/files/b/files.bbs"),
        qv::test::bytesOf("OTHER.TXT           1 11/05/98  second\r\n"));

    QDir(root + "/files/b").removeRecursively();
    r = run({ "export", "1", "2" });
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qvtool: Could not open: " + root + "/files/b\\Files.bbs!\n");
    EXPECT_TRUE(r.out.startsWith("1: ")) << r.out.toStdString();
}

} // namespace
