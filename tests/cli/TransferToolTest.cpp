#include "tests/cli/ToolRun.h"
#include "tests/transfer/TransferTestBoard.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

using qv::test::Entry;

class TransferTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.builder.writeConfig("Board", "C:\\FDB");
        t.builder.writeEntries(1,
            { Entry { .name = "A.ZIP", .description = "a" }, Entry { .name = "", .description = "note" },
                Entry { .name = "B.ZIP", .description = "b" } });
        t.builder.writeEntries(2, { Entry { .name = "B.ZIP", .description = "theirs" } });
        t.putFile(1, "A.ZIP", "alpha a");
        t.putFile(1, "B.ZIP", "alpha b");
        t.putFile(2, "B.ZIP", "beta b");
    }
    qv::test::TransferTestBoard t;
    qv::test::BoundTool run { { "--board", QString::fromStdString(t.builder.boardDir()), "--drive",
                                  "C=" + QString::fromStdString(t.tmp.path()) },
        QString::fromStdString(t.tmp.path() + "/config") };
};

TEST_F(TransferTool, CopyKeepsAnExistingFileUnlessToldAndMoveTakesTheEntriesAlong)
{
    const QJsonObject result = run.ok({ "copy", "1", "1", "3", "--to", "2", "--json" }).json().object();
    ASSERT_EQ(result["files"].toArray().size(), 2);
    EXPECT_EQ(result["files"].toArray()[1].toObject()["result"].toString(), "kept existing");
    EXPECT_EQ(result["entries"].toArray()[0].toObject()["position"].toInt(), 2);
    EXPECT_EQ(qv::test::readFile(t.file(2, "B.ZIP")), qv::test::bytesOf("beta b"));
    EXPECT_TRUE(qv::test::fileExists(t.file(2, "A.ZIP")));

    EXPECT_TRUE(
        run.ok({ "move", "1", "2", "3", "--to", "2", "--overwrite" }).out.contains("removed 3 B.zip from area 1"));
    EXPECT_EQ(qv::test::readFile(t.file(2, "B.ZIP")), qv::test::bytesOf("alpha b"));
    EXPECT_FALSE(qv::test::fileExists(t.file(1, "B.ZIP")));
    EXPECT_EQ(run({ "list", "1", "--json" }).json().object()["entries"].toArray().size(), 1);
    run.ok({ "check", "1" });
    run.ok({ "check", "2" });
}

TEST_F(TransferTool, ArgumentsAreCheckedBeforeAnythingChanges)
{
    const auto before = t.bytes(1);
    const QString nowhere = QString::fromStdString(t.tmp.path() + "/nowhere");
    run.fails({ "move", "1", "1", "--to", "1" }, 1, "qvtool: Source and destination area are equal!\n");
    run.fails({ "move", "1", "9", "--to", "2" }, 1, "qvtool: no entry 9: the area has 3\n");
    run.fails({ "move", "1", "1", "--to-dir", nowhere }, 1, "qvtool: no directory " + nowhere + "\n");
    EXPECT_EQ(t.bytes(1), before);
    const std::string out = t.tmp.path() + "/out";
    std::filesystem::create_directories(out);
    run.ok({ "move", "1", "1", "2", "--to-dir", QString::fromStdString(out) });
    EXPECT_EQ(qv::test::readFile(out + "/A.ZIP"), qv::test::bytesOf("alpha a"));
    EXPECT_EQ(run({ "list", "1", "--json" }).json().object()["entries"].toArray().size(), 1);
}

} // namespace
