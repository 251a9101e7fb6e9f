#include "storage/KeywordChecksum.h"
#include "tests/cli/ToolRun.h"
#include "tests/support/BoardBuilder.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

using qv::test::BoardBuilder;
using qv::test::Entry;
using qv::test::ToolRun;

// Area 1: FOO.ZIP ("foo text", 9 bytes stored), a comment line, BAR.ARJ without a description.
class EditCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = QString::fromStdString(tmp.path());
        board = std::make_unique<BoardBuilder>(tmp.path());
        board->writeConfig("Edit Board");
        board->writeAreas({ { "Files", tmp.path() + "/files", 1 } });
        original = board->writeEntries(1,
            { Entry { .name = "FOO.ZIP", .uploader = "Ann", .downloads = 5, .description = std::string("foo text") },
                Entry { .name = "", .description = std::string("-- tools --") },
                Entry { .name = "BAR.ARJ", .description = std::nullopt } });
        run = { { "--board", QString::fromStdString(board->boardDir()) }, root + "/config" };
    }
    qv::HeaderRecord header(size_t i) const
    {
        const auto bytes = qv::test::readFile(board->headerPath(1));
        return qv::HeaderRecord::decode(std::span<const uint8_t, qv::HeaderRecord::kSize>(
            bytes.data() + i * qv::HeaderRecord::kSize, qv::HeaderRecord::kSize));
    }
    qv::IndexRecord index(size_t i) const
    {
        const auto bytes = qv::test::readFile(board->indexPath(1));
        return qv::IndexRecord::decode(std::span<const uint8_t, qv::IndexRecord::kSize>(
            bytes.data() + i * qv::IndexRecord::kSize, qv::IndexRecord::kSize));
    }
    void expectClean() const { run.ok({ "check", "1" }); }

    qv::test::TempDir tmp;
    QString root;
    std::unique_ptr<BoardBuilder> board;
    qv::test::AreaFiles original;
    qv::test::BoundTool run;
};

TEST_F(EditCommands, SetWritesExactlyTheNamedFields)
{
    EXPECT_EQ(run.ok({ "set", "1", "3", "--downloads", "64000", "--upload-date", "31-04-2003", "--attributes",
                         "free,no-time", "--keywords", "Alpha,,beta", "--uploader=  Zed  " })
                  .out,
        "Area 1, entry 3: wrote uploader, upload date, downloads, attributes, keywords\n");
    qv::HeaderRecord h = original.headers[2];
    h.setUploader("Zed");
    h.setUploadDate(qv::enc::encodeDate({ 2003, 5, 1 }));
    h.setDownloads(64000);
    h.setAttributes(0x44);
    qv::IndexRecord x = original.indexes[2];
    const char* keywords[] = { "Alpha", "", "beta", "", "" };
    for (size_t k = 0; k < 5; ++k) {
        h.setKeyword(k, keywords[k]);
        x.setKeywordChecksum(k, qv::keywordChecksum(keywords[k]));
    }
    EXPECT_EQ(header(2), h);
    EXPECT_EQ(index(2), x);
    EXPECT_EQ(header(0), original.headers[0]);
    EXPECT_EQ(index(0), original.indexes[0]);
    expectClean();

    const auto before = qv::test::readFile(board->headerPath(1));
    struct Refusal {
        QStringList args;
        QString err;
    };
    const Refusal refusals[] = {
        { { "set", "1", "1", "--downloads", "70000" }, "qvtool: Value out of range (0 - 64000)\n" },
        { { "set", "1", "1", "--cost", "-1" }, "qvtool: Value out of range (0 - 64000)\n" },
        { { "set", "1", "1", "--last-download", "01-13-2000" }, "qvtool: Value out of range (1-12)\n" },
        { { "set", "1", "1", "--upload-date", "01-01-2200" }, "qvtool: Value out of range (1980-2107)\n" },
        { { "set", "1", "2", "--downloads", "1" },
            "qvtool: Entry 2 is a comment line: only its description can be changed.\n" },
        { { "set", "1", "9", "--cost", "1" }, "qvtool: Area 1 has no entry 9\n" },
        { { "set", "1", "1", "--uploader", QString(36, 'x') },
            "qvtool: The uploader can hold at most 35 characters.\n" },
    };
    for (const Refusal& r : refusals)
        run.fails(r.args, 1, r.err);
    EXPECT_EQ(qv::test::readFile(board->headerPath(1)), before);
}

TEST_F(EditCommands, DescribeOneOrSeveralEntries)
{
    EXPECT_EQ(run.ok({ "describe", "1", "1", "--text", "short" }).out,
        "Area 1, entry 1: description overwritten in place at offset 0\n");
    EXPECT_EQ(run.ok({ "describe", "1", "3", "--stdin" }, "line one\nline two\n").out,
        "Area 1, entry 3: description appended at offset 21\n");
    auto txt = qv::test::readFile(board->descriptionPath(1));
    const std::string expected = std::string("short\0xt\0-- tools --\0line one\r\nline two\r\n\0", 42);
    EXPECT_EQ(std::string(txt.begin(), txt.end()), expected);
    EXPECT_EQ(header(2).descriptionPointer(), 21);
    EXPECT_EQ(index(2).descriptionPointer(), 21);

    EXPECT_EQ(run.ok({ "describe", "1", "1", "2", "3", "--text", "-- same text --" }).out,
        "Area 1: description given to 3 entries (1 overwritten in place, 2 appended)\n");
    expectClean();

    const auto before = qv::test::readFile(board->descriptionPath(1));
    run.fails({ "describe", "1", "1", "--text", QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC") }, 1,
        QString::fromUtf8("qvtool: The character \"\xE2\x82\xAC\" (U+20AC) cannot be stored in the board's code page "
                          "IBM437. Nothing was written.\n"));
    run.fails({ "describe", "1", "1", "--file", root + "/missing.txt" }, 1);
    EXPECT_EQ(qv::test::readFile(board->descriptionPath(1)), before);
}

// --raw reads a description file as the board's own bytes (a FILE_ID.DIZ in its code page), which
// the UTF-8 reading refuses.
TEST_F(EditCommands, DescribeRawTakesTheFilesBytesAsTheBoards)
{
    const QString file = root + "/file_id.diz";
    const std::string diz = "caf\x82 \xB0\xB1\xB2\r\nline two";
    qv::test::writeFile(file.toStdString(), diz);
    const auto before = qv::test::readFile(board->descriptionPath(1));
    run.fails({ "describe", "1", "3", "--file", file }, 1);
    EXPECT_EQ(qv::test::readFile(board->descriptionPath(1)), before);
    run.ok({ "describe", "1", "3", "--file", file, "--raw" });
    auto txt = qv::test::readFile(board->descriptionPath(1));
    EXPECT_EQ(std::string(txt.begin() + std::ptrdiff_t(before.size()), txt.end()), diz + '\0');
    EXPECT_EQ(run({ "describe", "1", "3", "--file", file, "--raw" }).out, "Area 1, entry 3: description unchanged\n");
}

// Show gives an entry as list does; comment inserts after the first entries or at the end.
TEST_F(EditCommands, ShowAndComment)
{
    EXPECT_EQ(run.ok({ "show", "1", "1", "--json" }).json().object()["entry"].toObject(),
        run.ok({ "list", "1", "--json" }).json().object()["entries"].toArray()[0].toObject());
    const ToolRun text = run.ok({ "show", "1", "2" });
    EXPECT_TRUE(text.out.contains(" (Comment)") && text.out.contains("-- tools --")) << text.out.toStdString();
    run.fails({ "show", "1", "4" }, 1, "qvtool: Area 1 has no entry 4\n");

    EXPECT_EQ(run.ok({ "comment", "1", "--text", "-- games --", "--after", "1", "--uploader", "Sysop" }).out,
        "Area 1: comment line inserted as entry 2\n");
    EXPECT_TRUE(header(1).isComment());
    EXPECT_EQ(header(1).uploader(), "Sysop");
    EXPECT_EQ(header(2), original.headers[1]);
    EXPECT_EQ(run.ok({ "comment", "1", "--text", "" }).out, "Area 1: comment line inserted as entry 5\n");
    expectClean();
    run.fails({ "comment", "1", "--text", "x", "--after", "9" }, 1);
}

} // namespace
