#include "tests/cli/ToolRun.h"
#include "tests/transfer/CleanTestBoard.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

using qv::test::CleanTestBoard;

class CleanTool : public ::testing::Test {
protected:
    CleanTestBoard t;
    qv::test::BoundTool run { { "--board", QString::fromStdString(t.builder.boardDir()), "--drive",
                                  "C=" + QString::fromStdString(t.tmp.path()) },
        QString::fromStdString(t.tmp.path() + "/config") };
};

// A dry run lists what would go and changes nothing; the clean then changes each area at once.
TEST_F(CleanTool, DryRunListsWhatWouldGoAndTheCleanLeavesEachAreaClean)
{
    const auto one = t.fill(1, QDate::currentDate());
    const auto four = t.fill(4, QDate::currentDate());
    const auto before = t.bytes(4);
    const auto files = t.filesIn(4);
    const auto r = run.ok({ "clean", "4", "--expired", "--missing", "--deleted", "--dry-run", "--json" });
    const QJsonArray entries = r.json().object()["areas"].toArray().at(0).toObject()["entries"].toArray();
    QStringList got;
    for (const auto& e : entries) {
        const QJsonObject o = e.toObject();
        got << QStringLiteral("%1 %2 %3 %4")
                   .arg(o["position"].toInt())
                   .arg(o["row_text"].toString(), o["reason"].toString(), o["action"].toString());
    }
    EXPECT_EQ(got.join('\n').toStdString(),
        "1 Olddl.zip expired remove, delete its file\n3 Never.zip expired remove, delete its file\n"
        "5 Oldfd.zip expired remove, delete its file\n8 Gone.zip missing remove\n"
        "9 Del.zip deleted remove, delete its file\n13 Shared.zip deleted remove, delete its file");
    EXPECT_EQ(entries.at(0).toObject()["detail"].toString(), "last downloaded 91 days ago");
    EXPECT_EQ(t.bytes(4), before);
    EXPECT_EQ(t.filesIn(4), files);

    EXPECT_EQ(run.ok({ "clean", "4", "--missing", "--dry-run" }).out.toStdString(),
        "4: 8 Gone.zip: missing (not in C:\\FILES\\D): remove\n");

    const QJsonArray areas
        = run.ok({ "clean", "1", "4", "--expired", "--deleted", "--json" }).json().object()["areas"].toArray();
    EXPECT_EQ(areas.at(0).toObject()["moved"].toInt(), 3);
    EXPECT_EQ(areas.at(0).toObject()["removed"].toInt(), 2);
    EXPECT_EQ(areas.at(1).toObject()["removed"].toInt(), 5);
    EXPECT_EQ(areas.at(1).toObject()["kept_shared"].toArray().size(), 1);
    EXPECT_TRUE(t.bytes(1).sameRecords(qv::test::areaBytesOf(one, { 1, 3, 5, 6, 7, 9, 10, 11, 13 })));
    EXPECT_TRUE(t.bytes(4).sameRecords(qv::test::areaBytesOf(four, { 1, 3, 5, 6, 7, 9, 10, 11, 13 })));
    EXPECT_EQ(t.filesIn(2), (std::vector<std::string> { "NEVER.ZIP", "OLDDL.ZIP", "OLDFD.ZIP" }));
    for (const char* area : { "1", "2", "4" })
        run.ok({ "check", area });
}

TEST_F(CleanTool, RefusesWhatItCannotDoAndNamesAreasLeftAlone)
{
    struct Case {
        QStringList args;
        int code;
        const char* err;
    };
    const Case cases[] = {
        { { "clean", "4" }, 2, "at least one of --expired, --missing and --deleted" },
        { { "clean", "4", "--all", "--deleted" }, 2, "area numbers or --all" },
        { { "clean", "--deleted" }, 2, "area numbers or --all" },
        { { "clean", "42", "--deleted" }, 1, "Area 42 does not exist" },
        { { "clean", "--all", "--missing" }, 1, "area 5 left alone: its directory C:\\NOWHERE cannot be reached" },
    };
    t.fill(4);
    const auto before = t.bytes(4);
    for (const Case& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
    }
    // The other areas were cleaned all the same.
    EXPECT_EQ(t.bytes(4).hdr.size(), before.hdr.size() - qv::HeaderRecord::kSize);
}

} // namespace
