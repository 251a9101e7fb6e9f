// qvtool where it meets what it does not control: board bytes on a terminal, directories that
// hold someone's real board.
#include "demo/DemoBoard.h"
#include "tests/cli/ToolRun.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>
#include <QRegularExpression>
#include <QJsonObject>

#include <filesystem>
#include <functional>

namespace {

using qv::test::BoardBuilder;
using qv::test::Entry;
using qv::test::qvtool;
using qv::test::ToolRun;

TEST(ToolOutput, ControlCharactersFromTheBoardAreShownEscaped)
{
    qv::test::TempDir tmp;
    const QString root = QString::fromStdString(tmp.path());
    BoardBuilder board(tmp.path() + "/ra", tmp.path() + "/ra/fdb");
    board.writeConfig("Evil\x1b[2J Board", board.fileBaseDir());
    board.writeGroups({ { "Ring\x07Group" } });
    board.writeAreas({ { "Tab\tand\x1b]0;title\x07", tmp.path() + "/files", 1 } });
    board.writeEntries(1, { { .name = "A\x1b.ZIP", .uploader = "Bad\x1b[31mGuy", .description = "x\x1b[2Jy" } });
    const qv::test::BoundTool run { { "--board", root + "/ra" }, root + "/config" };

    struct Case {
        QStringList args;
        QString expected; // appears in stdout
    };
    const Case cases[] = {
        { { "info" }, "Evil\\x1b[2J Board" },
        { { "groups" }, "Ring\\x07Group" },
        { { "areas" }, "Tab\tand\\x1b]0;title\\x07" },
        { { "list", "1" }, "A\\x1b.zip" },
        { { "list", "1" }, "Bad\\x1b[31mGuy" },
    };
    for (const Case& c : cases) {
        const QString out = run.ok(c.args).out;
        EXPECT_TRUE(out.contains(c.expected)) << out.toStdString();
        EXPECT_FALSE(out.contains(QChar(0x1b)) || out.contains(QChar(0x07))) << out.toStdString();
    }
    // JSON keeps the text as it is; the encoder escapes it.
    const ToolRun json = run({ "info", "--json" });
    EXPECT_EQ(json.json().object()["board_name"].toString(), QString("Evil\x1b[2J Board"));
    EXPECT_FALSE(json.out.contains(QChar(0x1b)));

    // Errors name what they could not read, escaped as well, after the tool's name.
    const QString odd = root + "/no\x1b[2Jboard";
    qv::test::BoundTool { { "--board", odd }, run.configHome }.fails(
        { "info" }, 1, "qvtool: Unable to read RA configuration files (FILES.RA) in " + root + "/no\\x1b[2Jboard\n");
}

// What a directory holds before make-demo is pointed at it.
struct Before {
    const char* label;
    std::function<void(const std::string& dir)> prepare;
    bool accepted;
    const char* reason; // part of the refusal
};

class MakeDemoTarget : public ::testing::TestWithParam<Before> { };

TEST_P(MakeDemoTarget, RefusesAnythingButAnEarlierDemoBoard)
{
    qv::test::TempDir tmp;
    const std::string dir = tmp.path() + "/demo";
    GetParam().prepare(dir);
    const auto before = qv::test::snapshot(tmp.path());
    const QString config = QString::fromStdString(tmp.path()) + "/cfg";
    const ToolRun r = qvtool({ "make-demo", QString::fromStdString(dir) }, config);
    if (GetParam().accepted) {
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        qv::test::BoundTool { { "--board", QString::fromStdString(dir) + "/RA" }, config }.ok({ "check" });
        return;
    }
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith("qvtool: Cannot write the demo board: " + QString::fromStdString(dir)))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(GetParam().reason)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("nothing was changed")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(qv::test::snapshot(tmp.path()), before);
}

void demo(const std::string& dir)
{
    std::string error;
    ASSERT_TRUE(qv::writeDemoBoard(dir, error)) << error;
}

// The user's own board: its configuration files and an area in the place the demo writes to.
void ownBoard(const std::string& dir)
{
    BoardBuilder b(dir + "/RA", dir + "/RA/FDB");
    b.writeConfig("My Real Board", "C:\\RA\\FDB");
    b.writeAreas({ { "Mine", "C:\\RA\\FILES\\MINE", 1 } });
    b.writeEntries(1, { { .name = "PRECIOUS.ZIP", .description = "mine" } });
}

INSTANTIATE_TEST_SUITE_P(Directories, MakeDemoTarget,
    ::testing::Values(Before { "missing", [](const std::string&) {}, true, "" },
        Before { "empty", [](const std::string& d) { std::filesystem::create_directories(d); }, true, "" },
        Before { "earlierDemo", demo, true, "" },
        Before { "earlierDemoUsedByTheWindow",
            [](const std::string& d) {
                demo(d);
                qv::test::writeFile(d + "/QV.INI", "[Veltrano FE]\nRaDir=" + d + "/RA/\n");
                // A description the window appended to one of the areas.
                const std::string txt = std::filesystem::directory_iterator(d + "/RA/FDB/txt")->path().string();
                auto bytes = qv::test::readFile(txt);
                bytes.push_back('x');
                bytes.push_back(0);
                qv::test::writeFile(txt, bytes);
                std::filesystem::remove(d + "/RA/CONFIG.RA"); // a missing file is written again
            },
            true, "" },
        Before { "ownBoard", ownBoard, false, "holds no demo board" },
        Before { "ownBoardOverAnEarlierDemo",
            [](const std::string& d) {
                demo(d);
                ownBoard(d);
            },
            false, "which is not the demo's" },
        Before { "ownFilesRaOverAnEarlierDemo",
            [](const std::string& d) {
                demo(d);
                BoardBuilder(d + "/RA", d + "/RA/FDB").writeAreas({ { "Mine", "C:\\RA\\FILES\\MINE", 1 } });
            },
            false, "RA/FILES.RA, which is not the demo's" },
        Before { "foreignFileBesideAnEarlierDemo",
            [](const std::string& d) {
                demo(d);
                qv::test::writeFile(d + "/RA/FILES/notes.txt", "mine");
            },
            false, "RA/FILES/notes.txt, which is not part of a demo board" },
        Before { "foreignDirectoryInAnEarlierDemo",
            [](const std::string& d) {
                demo(d);
                std::filesystem::create_directories(d + "/RA/BACKUP");
            },
            false, "RA/BACKUP, which is not a directory of the demo board" },
        Before { "aFile", [](const std::string& d) { qv::test::writeFile(d, "not a directory"); }, false,
            "not a directory" }),
    [](const auto& info) { return std::string(info.param.label); });

QString sourceFile(const char* relative)
{
    QFile f(QStringLiteral(QV_SOURCE_DIR "/") + QLatin1String(relative));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << relative;
    return QString::fromUtf8(f.readAll());
}

// A new user runs scripts/run and then looks for qvtool where the README says it is.
TEST(Scripts, RunBuildsTheToolWhereTheReadmeSaysAndTheDesktopOpenerIsInstalled)
{
    const QString run = sourceFile("scripts/run");
    const QRegularExpression build(QStringLiteral("cmake --build (\\S+) --target ([^\\n]*)"));
    const QRegularExpressionMatch m = build.match(run);
    ASSERT_TRUE(m.hasMatch()) << run.toStdString();
    EXPECT_TRUE(m.captured(2).split(' ').contains("qvtool")) << m.captured(0).toStdString();
    EXPECT_TRUE(sourceFile("README.md").contains("`" + m.captured(1) + "/bin/qvtool`"));
    EXPECT_TRUE(sourceFile("scripts/install-deps").contains(QRegularExpression("\\bxdg-utils\\b")));
}

} // namespace
