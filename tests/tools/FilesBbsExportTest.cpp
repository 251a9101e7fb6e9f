#include "storage/Encoding.h"
#include "tests/support/FaultyFileIo.h"
#include "tests/tools/ToolsTestBoard.h"
#include "tools/FilesBbsExport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace qv {
namespace {

using test::Entry;

std::string str(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

const int32_t kNov5th1998 = enc::encodeDate({ 1998, 11, 5 });
const std::string kPad31(31, ' ');
const std::string kPad36(36, ' ');

std::string lines(const Entry& e, ExportOptions o)
{
    const std::string d = e.description.value_or("");
    return FilesBbsExport::entryLines(test::headerOf(e, e.description ? 0 : -1), d, o);
}

TEST(FilesBbsExport, LineLayoutOfEveryKindOfEntry)
{
    const Entry test { .name = "TEST.ZIP",
        .size = 12345,
        .fileDate = kNov5th1998,
        .downloads = 3,
        .description = "First line\r\nSecond line" };
    const std::string first = "TEST.ZIP        12345 11/05/98  ";
    ASSERT_EQ(first.size(), 32u);
    struct Case {
        const char* what;
        Entry entry;
        ExportOptions options;
        std::string expected;
    };
    Entry e;
    const Case cases[] = {
        { "plain", test, {}, first + "First line\r\n" + kPad31 + "| Second line\r\n" },
        { "counters", test, { .counters = true },
            "TEST.ZIP        12345 11/05/98 0003  First line\r\n" + kPad36 + "| Second line\r\n" },
        { "short", test, { .shortDescriptions = true }, first + "First line\r\n" },
        { "short with counters", test, { .counters = true, .shortDescriptions = true },
            "TEST.ZIP        12345 11/05/98 0003  First line\r\n" },
        { "trailing breaks dropped", (e = test, e.description = "One\r\n\r\n", e), {}, first + "One\r\n" },
        { "bare LF and CR start continuation lines", (e = test, e.description = "A\nB\rC\r\n\nD", e), {},
            first + "A\r\n" + kPad31 + "| B\r\n" + kPad31 + "| C\r\n" + kPad31 + "| \r\n" + kPad31 + "| D\r\n" },
        { "short cut at a bare LF", (e = test, e.description = "A\nB", e), { .shortDescriptions = true },
            first + "A\r\n" },
        { "empty description", (e = test, e.description = std::nullopt, e), {}, first + "\r\n" },
        { "invalid date", (e = test, e.fileDate = 0, e), {},
            "TEST.ZIP        12345 Invalid   First line\r\n" + kPad31 + "| Second line\r\n" },
        { "wide size and count written whole",
            (e = test, e.size = 123456789, e.downloads = 65534, e.description = "X\nY", e), { .counters = true },
            "TEST.ZIP     123456789 11/05/98 65534  X\r\n" + std::string(38, ' ') + "| Y\r\n" },
        { "comment left out", Entry { .name = "", .description = "-- new --" }, {}, "" },
        { "comment from column 1", Entry { .name = "   ", .description = "-- new --\nline two\r\n" },
            { .comments = true }, "-- new --\r\nline two\r\n" },
        { "description bytes as stored", (e = test, e.description = "\x81\xDB\x7F", e), {},
            first + "\x81\xDB\x7F\r\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(lines(c.entry, c.options), c.expected) << c.what;

    // Deleted, Unlisted, Not available and Missing entries are never listed, comments included;
    // the other bits do not matter.
    for (uint8_t bit = 0; bit < 8; ++bit) {
        Entry flagged = test;
        flagged.attributes = uint8_t(1 << bit);
        Entry comment { .name = "", .attributes = uint8_t(1 << bit), .description = "c" };
        const bool hidden = bit == 0 || bit == 1 || bit == 3 || bit == 5;
        EXPECT_EQ(lines(flagged, {}).empty(), hidden) << int(bit);
        EXPECT_EQ(lines(comment, { .comments = true }).empty(), hidden) << int(bit);
    }
}

class ExportArea : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(tb.areaDir("one"));
        tb.builder.writeAreas({ { "One", tb.areaDir("one") + "/", 1 }, { "Gone", "/nonexistent/dir", 1 },
            { "Empty", tb.areaDir("one"), 1 } });
        tb.builder.writeEntries(1,
            { { .name = "TEST.ZIP",
                  .size = 12345,
                  .fileDate = kNov5th1998,
                  .downloads = 3,
                  .description = "First line\r\nSecond line" },
                { .name = "", .description = "comment" }, { .name = "GONE.ZIP", .attributes = 1 },
                { .name = "B.TXT", .size = 7, .fileDate = kNov5th1998, .description = std::nullopt } });
    }
    std::string listPath() const { return tb.areaDir("one") + "/files.bbs"; }
    test::ToolsTestBoard tb;
    const std::string expected = "TEST.ZIP        12345 11/05/98  First line\r\n" + kPad31
        + "| Second line\r\nB.TXT               7 11/05/98  \r\n";
};

TEST_F(ExportArea, WritesTheListIntoTheAreaDirectoryAndReplacesAnOldOne)
{
    test::writeFile(tb.areaDir("one") + "/FILES.BBS", std::string("old list"));
    auto board = tb.open();
    FilesBbsExport exporter(*board);
    uint64_t count = 0;
    auto r = exporter.exportArea(1, {}, [&](uint64_t n) { count = n; });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(count, 4u);
    // The board's own spelling of the list is kept, no second list appears.
    EXPECT_EQ(str(test::readFile(tb.areaDir("one") + "/FILES.BBS")), expected);
    EXPECT_FALSE(test::fileExists(listPath()));
    EXPECT_FALSE(test::fileExists(tb.areaDir("one") + "/" + FilesBbsExport::kTemporaryName));

    // Area 3 shares the directory and has no header file: an empty list.
    EXPECT_TRUE(exporter.exportArea(3, {}).ok);
    EXPECT_EQ(test::readFile(tb.areaDir("one") + "/FILES.BBS").size(), 0u);
}

// The list is written anew and renamed over the old one, which keeps its mode and, where the
// process may give a file away (as root), its owner and group.
TEST_F(ExportArea, TheNewListKeepsTheOldOnesModeAndOwner)
{
    const std::string list = tb.areaDir("one") + "/FILES.BBS";
    const bool root = ::geteuid() == 0;
    for (const mode_t mode : { mode_t(0600), mode_t(0640), mode_t(0604) }) {
        test::writeFile(list, std::string("old list"));
        ASSERT_EQ(::chmod(list.c_str(), mode), 0);
        if (root) {
            ASSERT_EQ(::chown(list.c_str(), 65534, 65534), 0);
        }
        auto board = tb.open();
        ASSERT_TRUE(FilesBbsExport(*board).exportArea(1, {}).ok);
        struct stat st { };
        ASSERT_EQ(::stat(list.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        if (root) {
            EXPECT_EQ(st.st_uid, 65534u);
            EXPECT_EQ(st.st_gid, 65534u);
        }
        EXPECT_EQ(str(test::readFile(list)), expected);
    }
}

TEST_F(ExportArea, AFailureNamesTheListAndLeavesNoHalfList)
{
    auto board = tb.open();
    EXPECT_FALSE(FilesBbsExport(*board).exportArea(2, {}).ok);

    test::writeFile(listPath(), std::string("old list"));
    using Op = test::FaultyFileIo::Op;
    for (Op op : { Op::Open, Op::Read, Op::Write, Op::Sync, Op::Close, Op::Rename }) {
        // Reads: the header and description reads come after the temporary file is opened.
        for (int n : { 1, 2, 3 }) {
            test::FaultyFileIo io(systemFileIo());
            auto faulty = tb.open(io);
            io.resetCounts();
            io.failAt(op, n, EIO);
            const auto result = FilesBbsExport(*faulty).exportArea(1, {});
            const std::string now = str(test::readFile(listPath()));
            if (result.ok)
                EXPECT_EQ(now, expected) << test::FaultyFileIo::name(op) << n;
            else
                EXPECT_EQ(now, "old list") << test::FaultyFileIo::name(op) << n;
            EXPECT_FALSE(test::fileExists(tb.areaDir("one") + "/" + FilesBbsExport::kTemporaryName));
            test::writeFile(listPath(), std::string("old list"));
        }
    }
}

TEST(FilesBbsExport, AfterASortEachEntryKeepsItsLinesWhereverItsTextLies)
{
    test::ToolsTestBoard tb;
    std::filesystem::create_directories(tb.areaDir("s"));
    tb.builder.writeAreas({ { "Sorted", tb.areaDir("s"), 1 } });
    std::vector<test::Entry> entries;
    for (int i = 0; i < 300; ++i)
        entries.push_back({ .name = "F" + std::to_string(i) + ".ZIP",
            .description
            = std::string(size_t(1 + i * 37 % 4000), char('a' + i % 26)) + "\r\nline " + std::to_string(i) });
    tb.builder.writeEntries(1, entries);
    auto board = tb.open();
    const FilesBbsExport exporter(*board);
    auto list = [&] {
        std::string out;
        EXPECT_TRUE(exporter.writeList(1, { .counters = true }, [&](std::string_view b) {
            out += b;
            return true;
        }));
        return out;
    };
    const std::string before = list();
    // Reversed, and back again: the texts now lie in the opposite order of the records.
    std::vector<uint64_t> order;
    for (uint64_t i = 300; i-- > 0;)
        order.push_back(i);
    ASSERT_TRUE(board->store().rewrite(1, RewritePlan::permutation(order)));
    std::string expected;
    for (uint64_t i : order) {
        const HeaderRecord h = board->store().readHeader(1, 299 - i).value();
        expected += FilesBbsExport::entryLines(h, entries[i].description.value(), { .counters = true });
    }
    EXPECT_EQ(list(), expected);
    ASSERT_TRUE(board->store().rewrite(1, RewritePlan::permutation(order)));
    EXPECT_EQ(list(), before);
}

} // namespace
} // namespace qv
