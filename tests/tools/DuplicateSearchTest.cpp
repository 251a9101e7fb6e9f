#include "tools/DuplicateSearch.h"

#include "tests/support/ArchiveBuilder.h"
#include "tests/tools/ToolsTestBoard.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

using test::Entry;

// Areas 1 and 2 share directory a; area 3 lies in b.
struct DupesBoard : test::ToolsTestBoard {
    DupesBoard()
    {
        std::filesystem::create_directories(areaDir("a"));
        std::filesystem::create_directories(areaDir("b"));
        builder.writeAreas({ { "One", areaDir("a"), 1 }, { "Two", areaDir("a"), 1 }, { "Three", areaDir("b"), 1 } });
        builder.writeEntries(1,
            { { .name = "X.ZIP", .size = 3, .uploader = "Ann" }, { .name = "", .description = "same" },
                { .name = "LONGNA~1.ZIP", .longName = "Long name.zip" }, { .name = "Z.ZIP" } });
        builder.writeEntries(
            2, { { .name = "", .description = "same" }, { .name = "Y.ZIP" }, { .name = "X.ZIP", .uploader = "Bob" } });
        builder.writeEntries(3, { { .name = "LONG~2.ZIP", .longName = "LONG NAME.ZIP" }, { .name = "W.ZIP" } });
        put("a", "X.ZIP", "abc");
        put("a", "Y.ZIP", "abc");
        put("a", "Z.ZIP", "abd");
        put("a", "Long name.zip", "12345");
        put("b", "W.ZIP", "abc");
        put("b", "LONG NAME.ZIP", "54321");
    }
    void put(const std::string& dir, const QString& name, const QByteArray& bytes) const
    {
        test::writeBytes(QString::fromStdString(areaDir(dir)) + "/" + name, bytes);
    }
};

// Each group as "area/position name size uploader" lines.
std::vector<std::vector<std::string>> groups(const DuplicateSearch::Outcome& o)
{
    std::vector<std::vector<std::string>> out;
    for (const auto& g : o.groups) {
        out.emplace_back();
        for (const auto& e : g.entries)
            out.back().push_back(std::to_string(e.area) + "/" + std::to_string(e.position + 1) + " " + e.name + " "
                + std::to_string(e.size) + " " + e.uploader);
    }
    return out;
}

TEST(DuplicateSearch, FindsGroupsByNameAndByContentAcrossAreasSharingADirectory)
{
    DupesBoard b;
    auto board = b.open();
    const DuplicateSearch search(*board);
    const auto byName = search.find({ 1, 2, 3 }, DuplicateSearch::By::Name);
    ASSERT_FALSE(byName.error);
    EXPECT_EQ(groups(byName),
        (std::vector<std::vector<std::string>> {
            { "1/1 X.zip 3 Ann", "2/3 X.zip 0 Bob" }, { "1/3 Long name.zip 0 ", "3/1 Long name.zip 0 " } }));

    const auto byContent = search.find({ 1, 2, 3 }, DuplicateSearch::By::Content);
    ASSERT_FALSE(byContent.error);
    // X.ZIP is listed in both areas of one directory; Y and W hold its bytes; Z has its size only.
    EXPECT_EQ(groups(byContent),
        (std::vector<std::vector<std::string>> {
            { "1/1 X.zip 3 Ann", "2/2 Y.zip 3 ", "2/3 X.zip 3 Bob", "3/2 W.zip 3 " } }));
    EXPECT_EQ(byContent.bytesRead, 4u * 3 + 2u * 5) << "each file of a colliding size read once";

    // Only the areas asked for, in the order asked.
    EXPECT_EQ(groups(search.find({ 3, 1 }, DuplicateSearch::By::Name)),
        (std::vector<std::vector<std::string>> { { "3/1 Long name.zip 0 ", "1/3 Long name.zip 0 " } }));
    std::atomic<bool> stop { true };
    const auto stopped = search.find({ 1, 2, 3 }, DuplicateSearch::By::Content, &stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.groups.empty());

    // An area without long names may have no long-name file; one that cannot be read is an error.
    std::filesystem::remove(b.builder.longNamePath(2));
    const auto withoutFile = search.find({ 1, 2, 3 }, DuplicateSearch::By::Name);
    EXPECT_FALSE(withoutFile.error);
    EXPECT_EQ(groups(withoutFile), groups(byName));
    std::filesystem::create_directory(b.builder.longNamePath(2));
    EXPECT_TRUE(search.find({ 1, 2, 3 }, DuplicateSearch::By::Name).error);
}

// Which entries meet by name: case through the code page, the long name over the 8.3 one, blanks
// around either, comments never, and the groups in area order whatever their hashes.
TEST(DuplicateSearch, GroupsNamesWithoutCaseThroughTheCodePage)
{
    test::ToolsTestBoard b;
    std::filesystem::create_directories(b.areaDir("a"));
    b.builder.writeAreas({ { "One", b.areaDir("a"), 1 }, { "Two", b.areaDir("a"), 1 } });
    const std::string umlaut = "\x81"
                               "ber.zip",
                      capital = "\x9A"
                                "BER.ZIP"; // u-umlaut, U-umlaut in IBM437
    b.builder.writeEntries(1,
        { { .name = "README.TXT" }, { .name = "", .description = "README.TXT" },
            { .name = "UBER~1.ZIP", .longName = umlaut }, { .name = "LONGNA~1.ZIP", .longName = "Long name.zip" },
            { .name = "A.ZIP" }, { .name = "  B.ZIP " }, { .name = "C.ZIP", .longName = "   " } });
    b.builder.writeEntries(2,
        { { .name = "readme.txt" }, { .name = "", .description = "README.TXT" }, { .name = capital },
            { .name = "LONGNA~1.ZIP" }, { .name = "a.zip" }, { .name = "A.ZIP" }, { .name = "B.ZIP" },
            { .name = "c.zip" } });
    auto board = b.open();
    const auto found = DuplicateSearch(*board).find({ 2, 1 }, DuplicateSearch::By::Name);
    ASSERT_FALSE(found.error);
    std::vector<std::vector<std::string>> got;
    for (const auto& g : found.groups) {
        got.emplace_back();
        for (const auto& e : g.entries)
            got.back().push_back(std::to_string(e.area) + "/" + std::to_string(e.position + 1));
    }
    EXPECT_EQ(got,
        (std::vector<std::vector<std::string>> {
            { "2/1", "1/1" }, { "2/3", "1/3" }, { "2/5", "2/6", "1/5" }, { "2/7", "1/6" }, { "2/8", "1/7" } }));
}

} // namespace
} // namespace qv
