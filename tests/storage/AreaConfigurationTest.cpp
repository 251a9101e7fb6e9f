#include "storage/AreaConfiguration.h"
#include "storage/MemoryFileIo.h"
#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace qv {
namespace {

using test::AreaRecordSpec;
using test::BoardBuilder;
using test::TempDir;

struct Listed {
    int number;
    std::string name;
    int group;
    int record;
    friend bool operator==(const Listed&, const Listed&) = default;
};

std::vector<Listed> listed(const AreaConfiguration& c)
{
    std::vector<Listed> out;
    for (const AreaInfo& a : c.areas())
        out.push_back({ a.number, a.name, a.group, a.record });
    return out;
}

void PrintTo(const Listed& l, std::ostream* os)
{
    *os << l.number << ":" << l.name << "@" << l.record;
}

class AreaConfigurationTest : public testing::Test {
protected:
    TempDir tmp;
    BoardBuilder board { tmp.path() };
    AreaConfiguration read(bool sendTo = false)
    {
        return AreaConfiguration::read(systemFileIo(), board.boardDir(), sendTo);
    }
};

std::vector<uint8_t> recordsBytes(const std::vector<AreaRecordSpec>& areas, std::vector<uint8_t> tail = {})
{
    std::vector<uint8_t> bytes;
    for (const auto& a : areas) {
        const auto r = test::areaRecordBytes(a);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

struct NumberingCase {
    const char* label;
    std::vector<uint8_t> filesRa;
    std::optional<std::vector<uint8_t>> filesRdx;
    std::vector<Listed> listed;
};

const NumberingCase kNumbering[] = {
    { "rdx words map records to area numbers", recordsBytes({ { "One", "/a1" }, { "Two", "/a2" }, { "Three", "/a3" } }),
        test::wordBytes({ 3, 1, 2 }), { { 2, "One", 0, 1 }, { 3, "Two", 0, 2 }, { 1, "Three", 0, 3 } } },
    { "blank records are skipped but keep their number",
        recordsBytes({ { "  " }, { "Second", "/s" }, { "", "/x" }, { " Fourth ", "/f", 9 } }), std::nullopt,
        { { 2, "Second", 0, 2 }, { 4, " Fourth ", 9, 4 } } },
    // Three words and one stray byte: area 3 gets record 1.
    { "remainders are ignored", recordsBytes({ { "A", "/a" }, { "B", "/b" } }, { 1, 2, 3, 4 }),
        std::vector<uint8_t> { 2, 0, 9, 0, 1, 0, 7 }, { { 3, "A", 0, 1 }, { 1, "B", 0, 2 } } },
    { "a later duplicate area number wins", recordsBytes({ { "Old", "/old" }, { "New", "/new" } }),
        test::wordBytes({ 1, 2, 1 }), { { 3, "Old", 0, 1 }, { 2, "New", 0, 2 } } },
    // Record 2 is area 2 (no word names it), record 3 is area 2 as well: both listed, the later wins.
    { "an unnamed record and a later one share a number",
        recordsBytes({ { "Old", "/old" }, { "New", "/new" }, { "Later", "/later" } }), test::wordBytes({ 1, 3, 0 }),
        { { 1, "Old", 0, 1 }, { 2, "New", 0, 2 }, { 2, "Later", 0, 3 } } },
    // Words are plain unsigned: FF FF names record 65535 and 00 80 record 32768, neither of which
    // exists; zero names no record; a later word for the same record overrides an earlier one.
    { "rdx edge words", recordsBytes({ { "x" }, { "x" }, { "Third" } }),
        test::wordBytes({ 0xFFFF, 0x8000, 0, 3, 1, 3 }), { { 5, "x", 0, 1 }, { 2, "x", 0, 2 }, { 6, "Third", 0, 3 } } },
};

TEST_F(AreaConfigurationTest, RecordsGetTheirAreaNumbersAndTheLastRecordOfANumberWins)
{
    for (const NumberingCase& n : kNumbering) {
        board.writeBoardFile("FILES.RA", n.filesRa);
        std::filesystem::remove(board.boardDir() + "/FILES.RDX");
        if (n.filesRdx)
            board.writeBoardFile("FILES.RDX", *n.filesRdx);
        const auto c = read();
        EXPECT_EQ(listed(c), n.listed) << n.label;
        std::map<int, int> lastRecord;
        for (const Listed& l : n.listed)
            lastRecord[l.number] = l.record;
        for (int number = -1; number <= 8; ++number) {
            const auto found = lastRecord.find(number);
            EXPECT_EQ(c.areaExists(number), found != lastRecord.end()) << n.label << ", area " << number;
            if (found == lastRecord.end())
                continue;
            EXPECT_EQ(c.areaRecordOf(number), found->second) << n.label << ", area " << number;
            EXPECT_EQ(c.areaNumberOfRecord(found->second), number) << n.label;
            EXPECT_EQ(c.area(number)->record, found->second) << n.label;
            EXPECT_EQ(c.areaFilePath(number), enc::getText(n.filesRa.data() + size_t(found->second - 1) * 168 + 46, 40))
                << n.label;
        }
    }
    const auto c = read(); // the edge words, last: records 65535 and 32768 are named but missing
    EXPECT_EQ(c.areaNumberOfRecord(65535), 1);
    EXPECT_EQ(c.areaNumberOfRecord(32768), 2);
    EXPECT_FALSE(c.areaExists(70000));
}

TEST_F(AreaConfigurationTest, GroupsBoardNameAndSendToMode)
{
    board.writeConfig("The Board", "C:\\RA\\FDB\\");
    board.writeAreas({ { "A", "/a", 2 } });
    board.writeGroups({ { "First" }, { "" }, { "Third" } });
    board.writeBoardFile("FGROUPS.RDX", test::wordBytes({ 3, 1 }));
    const auto c = read();
    EXPECT_EQ(c.boardName(), "The Board");
    ASSERT_EQ(c.groups().size(), 2u);
    EXPECT_EQ(c.groups()[0].number, 2);
    EXPECT_EQ(c.groups()[0].name, "First");
    EXPECT_EQ(c.groups()[1].number, 1);
    EXPECT_EQ(c.groupNumberOfRecord(2), 2);
    EXPECT_EQ(c.areas()[0].group, 2);
    EXPECT_TRUE(read(true).groups().empty());
    EXPECT_EQ(read(true).areas().size(), 1u);
}

TEST_F(AreaConfigurationTest, FileBasePathTakesExactlyItsLengthByte)
{
    auto config = [](std::string_view path, size_t size = 4096, std::optional<uint8_t> length = {}) {
        auto bytes = test::configBytes("B", path);
        bytes[3090 + path.size()] = 'Z'; // the next field's bytes must not leak in
        if (length)
            bytes[3089] = *length;
        bytes.resize(size);
        return bytes;
    };
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        { config("D:\\FILES\\"), "D:\\FILES" },
        { config("D:\\FILES\\\\"), "D:\\FILES\\" }, // only one backslash goes
        { config(""), "" },
        { config("C:\\FDB"), "C:\\FDB" },
        // A length byte promising more than the file holds gives what is there.
        { config("C:\\X", 3094, 200), "C:\\X" },
        { config("C:\\X", 3089), "" },
        { {}, "" },
    };
    for (const auto& [bytes, expected] : cases) {
        board.writeBoardFile("CONFIG.RA", bytes);
        EXPECT_EQ(AreaConfiguration::readFileBasePath(systemFileIo(), board.boardDir()), expected) << expected;
    }
    std::filesystem::remove(board.boardDir() + "/CONFIG.RA");
    EXPECT_EQ(AreaConfiguration::readFileBasePath(systemFileIo(), board.boardDir()), "");
}

TEST_F(AreaConfigurationTest, MissingAndDamagedFiles)
{
    // No FILES.RA: nothing at all, even with the other files present.
    board.writeConfig("Name", "C:\\F");
    board.writeGroups({ { "G" } });
    auto c = read();
    EXPECT_FALSE(c.filesRaExists());
    EXPECT_TRUE(c.areas().empty());
    EXPECT_TRUE(c.groups().empty());
    EXPECT_EQ(c.boardName(), "");

    // Zero-length FILES.RA, truncated CONFIG.RA (board name cut off mid-field).
    board.writeAreas({});
    auto config = test::configBytes("A long board name", "");
    config.resize(1258 + 1 + 6);
    board.writeBoardFile("CONFIG.RA", config);
    c = read();
    EXPECT_TRUE(c.filesRaExists());
    EXPECT_TRUE(c.areas().empty());
    EXPECT_EQ(c.boardName(), "A long");
    EXPECT_EQ(c.groups().size(), 1u);

    // Missing CONFIG.RA and FGROUPS.RA; a path that fills its Text[40] field is read whole.
    std::filesystem::remove(board.boardDir() + "/CONFIG.RA");
    std::filesystem::remove(board.boardDir() + "/FGROUPS.RA");
    const std::string full = "/" + std::string(39, 'p');
    board.writeAreas({ { "A", full } });
    c = read();
    EXPECT_EQ(c.boardName(), "");
    EXPECT_TRUE(c.groups().empty());
    EXPECT_EQ(c.areas().size(), 1u);
    EXPECT_EQ(c.areaFilePath(1), full);

    // FILES.RA cut inside the record's path field after reading: the path, read afresh, is what
    // remains.
    auto rec = test::areaRecordBytes({ "A", "/abcdef" });
    rec.resize(46 + 1 + 4);
    const auto path = board.writeBoardFile("FILES.RA", rec);
    EXPECT_EQ(c.areaFilePath(1), "/abc");
    std::filesystem::remove(path);
    EXPECT_EQ(c.areaFilePath(1), "");
}

TEST_F(AreaConfigurationTest, UpkeepFieldsAreReadAfreshFromTheirOwnBytes)
{
    struct Case {
        const char* label;
        std::vector<std::pair<size_t, uint8_t>> raw;
        AreaUpkeep expected;
    };
    const std::vector<Case> cases = {
        { "nothing set", {}, {} },
        { "kill days by download and by file date", { { 87, 30 }, { 89, 0x6D }, { 90, 0x01 } }, { 30, 365, 0, false } },
        { "move area, a word", { { 107, 0x34 }, { 108, 0x12 } }, { 0, 0, 0x1234, false } },
        { "CD-ROM is bit 3 of byte 45 alone", { { 45, 0xF7 } }, { 0, 0, 0, false } },
        { "CD-ROM set", { { 45, 0x08 }, { 86, 0xFF }, { 91, 0xFF }, { 106, 0xFF }, { 109, 0xFF } }, { 0, 0, 0, true } },
    };
    for (const Case& c : cases) {
        board.writeAreas({ { "Other" }, { .name = "A", .path = "/a", .raw = c.raw } });
        const auto config = read();
        EXPECT_EQ(config.areaUpkeep(2), c.expected) << c.label;
        EXPECT_EQ(config.areaUpkeep(1), AreaUpkeep {}) << c.label;
    }
    const auto config = read();
    EXPECT_EQ(config.areaUpkeep(3), std::nullopt);
    board.writeAreas({ { .name = "A", .killDaysDownload = 9, .moveArea = 2, .attributes = 8 } });
    EXPECT_EQ(config.areaUpkeep(1), (AreaUpkeep { 9, 0, 2, true })) << "read afresh";
}

TEST_F(AreaConfigurationTest, NamesMatchWithoutCaseAndNothingIsWritten)
{
    board.writeConfig("Lower", "x", "config.ra");
    board.writeAreas({ { "A" }, { "B" } }, "Files.Ra");
    board.writeFilesRdx({ 2, 1 }, "files.rdx");
    board.writeGroups({ { "G" } }, "fgroups.ra");
    const auto c = read();
    EXPECT_EQ(c.boardName(), "Lower");
    EXPECT_EQ(listed(c), (std::vector<Listed> { { 2, "A", 0, 1 }, { 1, "B", 0, 2 } }));
    EXPECT_EQ(c.groups().size(), 1u);
    EXPECT_EQ(AreaConfiguration::readFileBasePath(systemFileIo(), board.boardDir()), "x");

    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(board.boardDir()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "Files.Ra", "config.ra", "fgroups.ra", "files.rdx" }));
    EXPECT_EQ(test::readFile(board.boardDir() + "/files.rdx"), test::wordBytes({ 2, 1 }));
}

TEST(AreaConfigurationLarge, ProgressAndRecordsBeyondTheTablesOnAHugeFile)
{
    // 70000 records: those past 65535 cannot carry an area number and would otherwise wrap onto
    // area 1..4465.
    MemoryFileIo io;
    std::vector<uint8_t> bytes(size_t(70000) * 168, 0);
    for (size_t i = 0; i < 70000; ++i)
        enc::putText(bytes.data() + i * 168 + 4, 40, "Area");
    io.setFile("/ra/FILES.RA", std::move(bytes));
    int calls = 0;
    int last = 0;
    const auto c = AreaConfiguration::read(io, "/ra", false, [&](int record) {
        ++calls;
        last = record;
    });
    EXPECT_EQ(c.areas().size(), 65535u);
    EXPECT_EQ(c.areaRecordOf(1), 1);
    EXPECT_EQ(c.areaRecordOf(65535), 65535);
    EXPECT_EQ(calls, 13107);
    EXPECT_EQ(last, 65535);
    EXPECT_EQ(io.openHandles(), 0u);
}

} // namespace
} // namespace qv
