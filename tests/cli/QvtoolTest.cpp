#include "storage/Encoding.h"
#include "tests/cli/ToolRun.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include <functional>

namespace {

using qv::test::BoardBuilder;
using qv::test::Entry;

using qv::test::qvtool;
using qv::test::ToolRun;

int32_t date(int y, int m, int d)
{
    return qv::enc::encodeDate({ y, m, d });
}

// A board that stores DOS paths, as real ones do: C:\RA\FDB resolves through the board dir
// <root>/ra, D: needs a mapping. FILES.RDX turns record 3 into area 1 and record 1 into area 2.
class SmallBoard : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = QString::fromStdString(tmp.path());
        board = std::make_unique<BoardBuilder>(tmp.path() + "/ra", tmp.path() + "/ra/FDB");
        board->setUpperCaseAreaFiles(true);
        board->writeConfig("Test Board", "C:\\RA\\FDB\\");
        board->writeAreas({ { "Utilities", "C:\\RA\\FILES\\UTIL", 1 }, { "" }, { "Downloads", "D:\\DL", 2 } });
        board->writeGroups({ { "Tools" }, { "Misc" } });
        board->writeFilesRdx({ 3, 1 });
        board->writeEntries(2,
            { Entry { .name = "MYFILE~1.ZIP",
                  .size = 1234,
                  .checksum = 77,
                  .uploader = "Ann",
                  .uploadDate = date(1998, 11, 5),
                  .fileDate = date(1996, 3, 14),
                  .lastDownloadDate = 0,
                  .downloads = 5,
                  .attributes = 5,
                  .password = "pw",
                  .keywords = { "one", "two", "", "", "five" },
                  .cost = 3,
                  .description = std::string("Hello \x81") + "ber",
                  .longName = "My File.ZIP" },
                Entry { .name = "", .description = "-- tools --" } });
        QDir(root).mkpath("ra/files/util");
        QDir(root).mkpath("dl");
        run = { { "--board", root + "/ra" }, root + "/config" };
    }

    qv::test::TempDir tmp;
    QString root;
    std::unique_ptr<BoardBuilder> board;
    qv::test::BoundTool run;
};

TEST_F(SmallBoard, InfoGroupsAreasAndListGiveExactFields)
{
    EXPECT_EQ(run.ok({ "info", "--json" }).json().object(),
        (QJsonObject { { "board_name", "Test Board" }, { "file_base_path", "C:\\RA\\FDB" },
            { "file_base_dir", root + "/ra/FDB" }, { "areas", 2 }, { "groups", 2 } }));

    EXPECT_EQ(run.ok({ "groups", "--json" }).json().array(),
        (QJsonArray { QJsonObject { { "number", 1 }, { "name", "Tools" } },
            QJsonObject { { "number", 2 }, { "name", "Misc" } } }));
    EXPECT_EQ(run.ok({ "--drive", "d=" + root, "areas", "--json" }).json().array(),
        (QJsonArray { QJsonObject { { "number", 2 }, { "record", 1 }, { "name", "Utilities" }, { "group", 1 },
                          { "path", "C:\\RA\\FILES\\UTIL" }, { "dir", root + "/ra/files/util" } },
            QJsonObject { { "number", 1 }, { "record", 3 }, { "name", "Downloads" }, { "group", 2 },
                { "path", "D:\\DL" }, { "dir", root + "/dl" } } }));
    // Without a mapping for D: the area is still listed, with no host directory.
    EXPECT_TRUE(run({ "areas", "--json" }).json().array()[1].toObject()["dir"].isNull());

    // List decodes every field through the code page; stat and check find the area sound.
    const QJsonObject o = run.ok({ "list", "2", "--json" }).json().object();
    EXPECT_EQ(o["area"].toInt(), 2);
    const QJsonArray entries = o["entries"].toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].toObject(),
        (QJsonObject { { "position", 1 }, { "name", "MYFILE~1.ZIP" }, { "long_name", "My File.ZIP" },
            { "row_text", "My file.zip" }, { "comment", false }, { "size", 1234 }, { "checksum", 77 },
            { "uploader", "Ann" }, { "upload_date", "05-11-1998" }, { "file_date", "14-03-1996" },
            { "last_download", "Invalid" }, { "downloads", 5 }, { "attributes", 5 }, { "password", "pw" },
            { "keywords", QJsonArray { "one", "two", "", "", "five" } }, { "cost", 3 }, { "description_pointer", 0 },
            { "description",
                QString::fromUtf8("Hello \xC3\xBC"
                                  "ber") } }));
    const QJsonObject comment = entries[1].toObject();
    EXPECT_EQ(comment["row_text"].toString(), " (Comment)");
    EXPECT_TRUE(comment["comment"].toBool());
    EXPECT_EQ(comment["description_pointer"].toInt(), 11);
    EXPECT_EQ(comment["description"].toString(), "-- tools --");
    EXPECT_TRUE(run.ok({ "list", "2" }).out.contains("My file.zip"));
    EXPECT_EQ(
        run.ok({ "stat", "2" }).out, "2 Object(s)\n0 MB\n23 bytes of descriptions, 0 of them reclaimable by pack\n");
    EXPECT_TRUE(run.ok({ "check", "2" }).out.startsWith("OK"));
}

// Pack and repair from the command line: what they print, and a check that is clean afterwards.
TEST_F(SmallBoard, PackAndRepairLeaveACleanArea)
{
    const std::string txt = board->descriptionPath(2);
    auto bytes = qv::test::readFile(txt);
    bytes.insert(bytes.begin(), 100, 'x'); // 100 bytes no entry points at, in front
    bytes.insert(bytes.begin() + 100, 0);
    auto hdr = qv::test::readFile(board->headerPath(2));
    for (size_t r = 0; r < 2; ++r)
        qv::enc::putLong(hdr.data() + r * 194 + 170, qv::enc::getLong(hdr.data() + r * 194 + 170) + 101);
    qv::test::writeFile(board->headerPath(2), hdr);
    qv::test::writeFile(txt, bytes);
    // The index still has the old pointers: repair rebuilds it from the header first.
    const ToolRun dry = run.ok({ "repair", "2", "--dry-run" });
    EXPECT_TRUE(dry.out.startsWith("Area 2: record 1: index description pointer 0 differs from the header's 101: the "
                                   "index record is rebuilt from the header\n"))
        << dry.out.toStdString();
    EXPECT_TRUE(dry.out.endsWith("2 repair(s) to make in 1 of 1 area(s).\n")) << dry.out.toStdString();
    const ToolRun damaged = run({ "check", "--json" });
    EXPECT_EQ(damaged.code, 1);
    EXPECT_FALSE(damaged.json().object()["problems"].toArray().isEmpty());
    EXPECT_EQ(run.ok({ "repair", "--all", "--json" }).json().object()["areas"].toArray().size(), 2);
    run.ok({ "check", "2" });

    EXPECT_EQ(
        run({ "stat", "2" }).out, "2 Object(s)\n0 MB\n124 bytes of descriptions, 101 of them reclaimable by pack\n");
    const QJsonObject o = run.ok({ "pack", "2", "--json" }).json().array()[0].toObject();
    EXPECT_EQ(o["bytes_reclaimed"].toInt(), 101);
    EXPECT_TRUE(o["written"].toBool());
    EXPECT_EQ(qv::test::readFile(txt).size(), 23u);
    EXPECT_TRUE(run.ok({ "show", "2", "1", "--json" }).out.contains("Hello"));
    EXPECT_EQ(run({ "pack", "--all" }).out,
        "1: nothing to reclaim\n2: nothing to reclaim\n0 area(s) packed, 0 bytes reclaimed.\n");
    run.ok({ "check", "2" });
}

// Damage the check finds, as the command prints it; each case on the sound area.
TEST_F(SmallBoard, CheckReportsDamageAndFails)
{
    struct Case {
        std::string file;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* reported;
    };
    const Case cases[] = {
        { board->indexPath(2), [](auto& b) { b.resize(41); }, "Area 2: index file holds 1 record, header file 2" },
        { board->indexPath(2), [](auto& b) { b[37] = 11; },
            "record 1: index description pointer 11 differs from the header's 0" },
        { board->longNamePath(2), [](auto& b) { b.resize(3 * 256); }, "long-name file holds 3 records, header file 2" },
    };
    for (const Case& c : cases) {
        const auto sound = qv::test::readFile(c.file);
        auto bytes = sound;
        c.damage(bytes);
        qv::test::writeFile(c.file, bytes);
        const ToolRun check = run({ "check", "2" });
        EXPECT_EQ(check.code, 1) << c.reported;
        EXPECT_TRUE(check.out.contains(c.reported)) << check.out.toStdString();
        qv::test::writeFile(c.file, sound);
    }
}

// What every command shares: a failure goes to stderr after the tool's name, with exit code 1
// for what the board refused and 2 with the command's usage for what the arguments lack, and
// changes nothing. The texts given are the whole message, or its start where a usage follows.
TEST_F(SmallBoard, FailuresNameTheProblemAndChangeNothing)
{
    struct Case {
        QStringList args;
        int code;
        QString err;
    };
    const Case cases[] = {
        { { "list", "9" }, 1, "qvtool: Area 9 does not exist\n" },
        { { "stat", "9" }, 1, "qvtool: Area 9 does not exist\n" },
        // Area 1 has no files at all.
        { { "list", "1" }, 1, "qvtool: File database path C:\\RA\\FDB not found!\n" },
        { { "stat", "1" }, 1, "qvtool: File database path C:\\RA\\FDB not found!\n" },
        { { "info", "--board", "/nonexistent/board" }, 1,
            "qvtool: Unable to read RA configuration files (FILES.RA) in /nonexistent/board\n" },
        { { "make-demo", "/proc/version" }, 1, "qvtool: Cannot write the demo board: /proc/version" },
        { {}, 2, "qvtool: no command given\nusage: qvtool [OPTIONS] COMMAND" },
        { { "frobnicate" }, 2, "qvtool: unknown command frobnicate\nusage: qvtool [OPTIONS] COMMAND" },
        { { "--bogus", "info" }, 2, "qvtool: Unknown option 'bogus'.\nusage: qvtool [OPTIONS] COMMAND" },
        { { "--colour", "info" }, 2, "qvtool: Unknown option 'colour'.\nusage: qvtool [OPTIONS] COMMAND" },
        { { "--drive", "D", "info" }, 2, "qvtool: --drive wants X=PATH, got \"D\"\n" },
        { { "help", "frobnicate" }, 2, "qvtool: unknown command frobnicate\nusage: qvtool [OPTIONS] help" },
        { { "info", "extra" }, 2, "qvtool: info takes no arguments\nusage: qvtool [OPTIONS] info\n" },
        { { "info", "--json=yes" }, 2, "qvtool: Unexpected value after '--json'.\nusage: qvtool [OPTIONS] info\n" },
        { { "list" }, 2, "qvtool: list wants AREA\nusage: qvtool [OPTIONS] list AREA\n" },
        { { "stat", "1", "2" }, 2, "qvtool: stat wants " },
        { { "check", "1", "2" }, 2, "qvtool: check wants [AREA]\n" },
        { { "set", "1", "1", "--bogus", "1" }, 2, "qvtool: Unknown option 'bogus'.\nusage: qvtool [OPTIONS] set" },
        { { "sort", "1", "--bogus" }, 2, "qvtool: Unknown option 'bogus'.\nusage: qvtool [OPTIONS] sort AREA" },
        { { "pending", "1", "--mask" }, 2, "qvtool: Missing value after '--mask'.\nusage: qvtool [OPTIONS] pending" },
        { { "copy", "1" }, 2, "qvtool: copy wants AREA POS...\n" },
        { { "find", "x", "--bogus" }, 2, "qvtool: Unknown option 'bogus'.\nusage: qvtool [OPTIONS] find" },
    };
    // Usage errors held to the common form alone.
    const QStringList usage[] = { { "--drive", "1=/x", "info" }, { "list", "abc" }, { "show", "1", "0" },
        { "set", "1", "1" }, { "set", "1", "1", "--downloads", "many" }, { "set", "1", "1", "--attributes", "shiny" },
        { "set", "1", "1", "--upload-date", "2003-01-01" }, { "describe", "1", "1" },
        { "describe", "1", "1", "--text", "a", "--stdin" }, { "describe", "1", "3", "--text", "a", "--raw" },
        { "describe", "1", "3", "--stdin", "--raw" }, { "comment", "1" }, { "sort", "1", "colour" }, { "remove", "1" },
        { "remove", "1", "1", "--yes" }, { "update", "1", "2", "--all" }, { "copy", "1", "1" },
        { "copy", "1", "1", "--to", "2", "--to-dir", "/tmp" }, { "find" }, { "export" },
        { "export", "1", "2", "--stdout" }, { "dupes", "--by", "size" }, { "pack" }, { "repair", "2", "--all" },
        { "make-demo" } };
    const auto before = qv::test::snapshot(tmp.path());
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const QStringList& args : usage)
        all.push_back({ args, 2, "qvtool: " });
    for (const Case& c : all) {
        const std::string label = c.args.join(' ').toStdString();
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.code, c.code) << label;
        EXPECT_TRUE(r.err.startsWith(c.err)) << label << ": " << r.err.toStdString();
        if (c.code == 2) {
            EXPECT_TRUE(r.err.contains("\nusage: qvtool [OPTIONS] ")) << label << ": " << r.err.toStdString();
        }
        EXPECT_TRUE(r.out.isEmpty()) << label << ": " << r.out.toStdString();
    }
    EXPECT_EQ(qv::test::snapshot(tmp.path()), before);
    EXPECT_EQ(qvtool({ "info" }, root + "/config").code, 2) << "no board given, none in QV.INI";
}

// The board and its drives come from the settings file or the options; a drive mapped by neither
// is named.
TEST_F(SmallBoard, BoardAndDrivesComeFromTheSettingsFileOrTheOptionsAndAnUnmappedDriveIsNamed)
{
    QDir(root).mkpath("config/quorvex");
    qv::test::writeFile((root + "/config/quorvex/QV.INI").toStdString(),
        "[Veltrano FE]\r\nRaDir=" + (root + "/ra").toStdString() + "\r\n[Drives]\r\nD=" + root.toStdString() + "\r\n");
    const ToolRun areas = qv::test::BoundTool { {}, root + "/config" }.ok({ "areas", "--json" });
    EXPECT_EQ(areas.json().array()[1].toObject()["dir"].toString().toStdString(), (root + "/dl").toStdString());

    qv::test::writeFile(
        (root + "/other.ini").toStdString(), "[veltrano fe]\nradir=" + (root + "/ra").toStdString() + "\n");
    const ToolRun other = qvtool({ "--settings", root + "/other.ini", "info", "--json" }, root + "/none");
    EXPECT_EQ(other.json().object()["board_name"].toString(), "Test Board");

    board->writeConfig("Test Board", "E:\\FDB\\");
    run.fails({ "list", "2" }, 1,
        "qvtool: Drive E: is not mapped; add E=/path to the [Drives] section of QV.INI or pass --drive E=/path\n");
    EXPECT_TRUE(run({ "info", "--json" }).json().object()["file_base_dir"].isNull());
    // The mapping on the command line is all it takes.
    QDir(root).mkpath("e");
    QDir(root).rename("ra/FDB", "e/fdb");
    EXPECT_TRUE(run.ok({ "--drive", "E=" + root + "/e", "stat", "2" }).out.startsWith("2 Object(s)\n0 MB\n"));
}

TEST_F(SmallBoard, OptionsTakeTheirValueEitherWayAndStandAnywhere)
{
    const QString ra = root + "/ra";
    const QList<std::pair<QStringList, QStringList>> same = {
        { { "list", "2", "--json" }, { "--json", "list", "2" } },
        { { "pending", "2", "--mask", "*.txt" }, { "pending", "--mask=*.txt", "2" } },
        { { "find", "hello", "--from", "2", "--json" }, { "find", "--from=2", "hello", "--json" } },
        // The board named after the command wins over the one before it.
        { { "stat", "2" }, { "--board", root + "/nowhere", "stat", "2", "--board=" + ra } },
    };
    for (const auto& [left, right] : same)
        EXPECT_EQ(run.ok(left).out, run.ok(right).out) << right.join(' ').toStdString();
    EXPECT_EQ(run({ "find", "hello", "--from=2", "--json" }).json().array().size(), 1);
    run.fails({ "find", "hello", "--from=3", "--json" }, 1);
}

TEST(CommandLine, EveryCommandAnswersHelpAndTheVersionIsPrinted)
{
    const ToolRun usage = qvtool({ "--help" }, QString());
    ASSERT_EQ(usage.code, 0);
    const QString commandList = usage.out.section("commands:\n", 1);
    QStringList names;
    for (const QString& line : commandList.split('\n'))
        if (line.startsWith("  ") && !line.startsWith("   "))
            names << line.trimmed().section(' ', 0, 0);
    EXPECT_GE(names.size(), 22) << usage.out.toStdString();
    for (const QString& name : names) {
        const ToolRun help = qvtool({ name, "--help" }, QString());
        EXPECT_EQ(help.code, 0) << name.toStdString();
        EXPECT_TRUE(help.out.startsWith("usage: qvtool [OPTIONS] " + name)) << help.out.toStdString();
        EXPECT_EQ(qvtool({ "help", name }, QString()).out, help.out) << name.toStdString();
    }
    EXPECT_EQ(qvtool({ "help" }, QString()).out, usage.out);
    const ToolRun version = qvtool({ "--version" }, QString());
    EXPECT_EQ(QString::number(version.code) + " " + version.out, "0 qvtool 1.5\n");
}

TEST(DemoBoard, EveryCommandWorksOnIt)
{
    qv::test::TempDir tmp;
    const QString dir = QString::fromStdString(tmp.path()) + "/demo";
    const qv::test::BoundTool run { { "--board", dir + "/RA" }, QString::fromStdString(tmp.path()) + "/config" };
    ASSERT_EQ(qvtool({ "make-demo", dir }, run.configHome).code, 0);

    const QJsonObject o = run.ok({ "info", "--json" }).json().object();
    EXPECT_GT(o["groups"].toInt(), 0);
    EXPECT_FALSE(o["file_base_dir"].isNull());
    const QJsonArray areas = run.ok({ "areas", "--json" }).json().array();
    ASSERT_GT(areas.size(), 0);
    ASSERT_EQ(areas.size(), o["areas"].toInt());
    run.ok({ "groups" });
    for (const QJsonValue& a : areas) {
        const QString n = QString::number(a.toObject()["number"].toInt());
        EXPECT_EQ(run.ok({ "stat", n, "--json" }).json().object()["rows"].toInt(),
            run.ok({ "list", n, "--json" }).json().object()["entries"].toArray().size());
    }
    run.ok({ "check" });
}

} // namespace
