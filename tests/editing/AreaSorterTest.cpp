#include "editing/AreaSorter.h"
#include "platform/CodePage.h"
#include "storage/Text.h"
#include "tests/editing/EditingTestBoard.h"

#include <sys/stat.h>

namespace qv {
namespace {

using test::Entry;
using test::packedDate;

LoadedRow row(
    std::string name, int32_t size = 0, std::string uploader = "", int32_t fileDate = 0x1CA50000, int downloads = 0)
{
    LoadedRow r;
    r.comment = name.empty();
    r.name = r.comment ? std::string(text::kCommentRowText) : name;
    HeaderRecord h;
    h.setSize(size);
    h.setUploader(uploader);
    h.setFileDate(fileDate);
    h.setUploadDate(fileDate);
    h.setLastDownloadDate(fileDate);
    h.setDownloads(uint16_t(downloads));
    r.record = h.encode();
    return r;
}

struct OrderCase {
    const char* label;
    LoadedRows rows;
    SortRequest request;
    std::vector<uint64_t> order; // empty: no change
};

std::vector<OrderCase> orderCases()
{
    const LoadedRows names = { row("b.zip"), row(""), row("B.zip"), row("ab"), row("a"), row(""), row("Zz") };
    const LoadedRows uploaders = { row("x", 0, "Bo"), row(""), row("y", 0, ""), row("z", 0, "Ann") };
    // Equal keys: 1, 3 and 4 hold 7 bytes.
    const LoadedRows sizes = { row("a", 9), row("b", 7), row("c", 10), row("d", 7), row("e", 7) };
    const LoadedRows dates = { row("a", 0, "", packedDate(2005, 1, 1)), row("b", 0, "", packedDate(1999, 12, 31)),
        row("c", 0, "", 0 /* Invalid */), row(""), row("d", 0, "", packedDate(1980, 1, 1)),
        row("e", 0, "", int32_t(0x1C5E0000) /* 30 February 1994 */), row("f", 0, "", packedDate(1979, 1, 1)) };
    LoadedRows columns = { row("a", 0, "", packedDate(1990, 1, 1), 30), row("b", 0, "", packedDate(1991, 1, 1), 5) };
    enc::putLong(columns[0].record.mutableData() + HeaderRecord::kUploadDateOffset, packedDate(2000, 1, 1));
    enc::putLong(columns[1].record.mutableData() + HeaderRecord::kLastDownloadOffset, packedDate(2020, 1, 1));
    return {
        // Comment lines (" (Comment)") first, then code unit order: upper case before lower.
        { "names ascending", names, { SortKey::Name, false, {} }, { 1, 5, 2, 6, 4, 3, 0 } },
        { "names descending reads the ascending result backwards", names, { SortKey::Name, true, {} },
            { 0, 3, 4, 6, 2, 5, 1 } },
        // By the characters the code page shows, not by its bytes: z, U-umlaut, sharp s, u-umlaut;
        // the page shows byte 7F as control code 1A and byte 1C as 7F.
        { "names through the code page",
            { row("\x81"), row("z"), row("\xE1"), row("\x9A"), row("a\x1C"), row("a\x7F"), row("a~") },
            { SortKey::Name, false, {} }, { 5, 6, 4, 1, 3, 2, 0 } },
        // A long start all share, names equal for more than eight characters beyond it, one a
        // start of another, and two the same.
        { "names sharing their start",
            { row("Series of parts 10 a.zip, disk 2"), row("Series of parts 10 a.zip, disk 1"),
                row("Series of parts 1"), row("Series of parts 10 a.zip, disk 1"), row("Series of parts 10 a.zip"),
                row("Series of parts 10 a.zip, disk 10") },
            { SortKey::Name, false, {} }, { 2, 4, 1, 3, 5, 0 } },
        { "uploader: comment lines first ascending, (Unknown) by its cell text", uploaders,
            { SortKey::Uploader, false, {} }, { 1, 2, 3, 0 } },
        { "uploader: comment lines last descending", uploaders, { SortKey::Uploader, true, {} }, { 0, 3, 2, 1 } },
        { "sizes by value, equal keys keep their order", sizes, { SortKey::Size, false, {} }, { 1, 3, 4, 0, 2 } },
        { "equal keys reversed descending", sizes, { SortKey::Size, true, {} }, { 2, 0, 4, 3, 1 } },
        // Comment first; 1979 cannot be stored and reads as 1980 like every day that is no
        // calendar day; the rest keep their order among the 01-01-1980s.
        { "stored dates, across centuries", dates, { SortKey::FileDate, false, {} }, { 3, 2, 4, 5, 6, 1, 0 } },
        { "selection keeps the other rows in place", sizes, { SortKey::Size, true, std::vector<int> { 4, 1, 0 } },
            { 0, 4, 2, 3, 1 } },
        { "already in order", sizes, { SortKey::Name, false, {} }, {} },
        { "downloads", columns, { SortKey::Downloads, false, {} }, { 1, 0 } },
        { "upload dates", columns, { SortKey::UploadDate, false, {} }, { 1, 0 } },
        { "last downloads", columns, { SortKey::LastDownload, false, {} }, {} },
        { "empty selection", sizes, { SortKey::Size, false, std::vector<int> {} }, {} },
    };
}

TEST(AreaSorter, OrderIsStableByTheShownTextsNumbersAndStoredDates)
{
    const CodePage codePage(CodePage::kDefaultName);
    for (const OrderCase& c : orderCases())
        EXPECT_EQ(AreaSorter::order(c.rows, c.request, codePage), c.order) << c.label;
    for (int k = 0; k < kSortKeyCount; ++k)
        EXPECT_EQ(AreaSorter::keyOf(AreaSorter::keyName(SortKey(k))), SortKey(k));
    EXPECT_FALSE(AreaSorter::keyOf("Name"));
}

TEST(AreaSorter, SortRewritesTheThreeRecordFilesInTheNewOrderAndLeavesDescriptions)
{
    test::FilesTestBoard t;
    const test::AreaFiles written = t.builder.writeEntries(1,
        { Entry { .name = "C.ZIP", .description = "c" },
            Entry { .name = "BA~1.ZIP", .description = "a", .longName = "Ba long.zip" },
            Entry { .name = "", .description = "comment" }, Entry { .name = "BAB.ZIP", .description = "b" } });
    auto board = t.open();
    std::vector<uint64_t> progress;
    const auto outcome = AreaSorter(*board).sort(
        1, board->store().load(1, true).rows, { SortKey::Name, false, {} }, [&](uint64_t settled, uint64_t count) {
            progress.push_back(settled);
            EXPECT_EQ(count, 4u);
        });
    ASSERT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(progress, (std::vector<uint64_t> { 0, 4 }));
    EXPECT_EQ(t.bytes(), test::areaBytesOf(written, { 2, 1, 3, 0 }));
    EXPECT_EQ(t.check(), std::vector<std::string>());

    // With short names "BA~1.ZIP" follows "BAB.ZIP": the long name no longer decides.
    const auto again = AreaSorter(*board).sort(1, board->store().load(1, false).rows, { SortKey::Name, false, {} });
    ASSERT_FALSE(again.error);
    EXPECT_EQ(t.bytes(), test::areaBytesOf(written, { 2, 3, 1, 0 }));

    // Nothing to change writes nothing: the header file is neither replaced nor touched.
    struct stat before {
    }, after {};
    ASSERT_EQ(::stat(t.builder.headerPath(1).c_str(), &before), 0);
    const auto rows = board->store().load(1, false).rows;
    for (const SortRequest& r :
        { SortRequest { SortKey::Name, false, {} }, SortRequest { SortKey::Name, true, std::vector<int> {} },
            SortRequest { SortKey::Name, true, std::vector<int> { 1 } } }) {
        const auto outcome = AreaSorter(*board).sort(1, rows, r);
        EXPECT_FALSE(outcome.error);
        EXPECT_FALSE(outcome.changed);
    }
    ASSERT_EQ(::stat(t.builder.headerPath(1).c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

} // namespace
} // namespace qv
