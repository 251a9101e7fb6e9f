#include "tests/support/FaultyFileIo.h"
#include "tests/tools/ToolsTestBoard.h"
#include "tools/CaseFold.h"
#include "tools/FileSearch.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Entry;

struct Found {
    int area;
    uint64_t position;
    bool first;
    std::string name;
    friend bool operator==(const Found&, const Found&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Found& f)
    {
        return os << f.area << ":" << f.position << (f.first ? "*" : "") << ":" << f.name;
    }
};

struct SearchRun {
    SearchOutcome outcome;
    std::vector<Found> hits;
    std::vector<int> areas;
    size_t rows;
};

SearchRun search(const Board& board, SearchQuery::Mode mode, const QString& text, size_t limit = 0, int first = 1,
    int last = 65535, bool longNames = true)
{
    FileSearch s(board);
    SearchRun r;
    std::atomic<bool> stop { false };
    r.outcome = s.run({ mode, text, first, last, longNames, limit }, stop,
        { [&](int area) { r.areas.push_back(area); },
            [&](const SearchHit& h) {
                r.hits.push_back({ h.area, h.position, h.firstOfArea, h.row.name.str() });
            } });
    r.rows = s.rows();
    return r;
}

SearchRun keyword(const Board& b, const QString& t, size_t limit = 0)
{
    return search(b, SearchQuery::Mode::Keyword, t, limit);
}
SearchRun names(const Board& b, const QString& t, bool longNames = true)
{
    return search(b, SearchQuery::Mode::FileName, t, 0, 1, 65535, longNames);
}

TEST(Wildcard, PatternsMatchAsTheFindWindowPromises)
{
    struct Case {
        const char* name;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        { "FILE.ZIP", "*.ZIP", true }, { "FILE.ZI", "*.ZIP", false }, // leftover pattern characters must match
        { "FILE.ZIP", "*.*", true }, { "FILE", "*.*", true }, // also names without a period
        { "FILE", "*", true }, { "FILE.ZIP", "*", false }, // "*" alone: names without a period only
        { "FILE.ZIP", "FILE*", false }, { "FILE", "FILE.?", false }, { "FILE.Z", "FILE.?", true },
        { "FILE.ZIP", "FILE.?", false }, { "FILE.ZIP", "F?LE.ZIP", true }, { "F.ZIP", "?.ZIP", true },
        { "F.ZIP", "??.ZIP", true }, { "FILE.ZIP", "FILE?ZIP", false }, // "?" never takes the period
        // "?" and "*" left over where the name or its extension has ended match nothing; letters fail.
        { "FILE.ZI", "FILE.???", true }, { "FILE.Z", "*.???", true }, { "FILE.ZI", "*.ZI?", true },
        { "FILE.ZI", "*.ZI?*", true }, { "FILE", "FILE?", true }, { "FILE.ZI", "*.ZI?P", false },
        { "FILE.ZI", "*.??X", false }, { "FILE", "*.???", false }, { "FILE.Z", "FILE.Z?.", false },
        { "README", "README.*", true }, { "README", "*.TXT", false }, { "FILE", "FILE", true },
        { "FILE", "FILE*", true }, // only stars left over
        { "FILE", "FILEX", false }, { "FILEX", "FILE", false }, { "A.B.C", "*.B.*", true },
        { "ARCHIVE.TAR.GZ", "*.GZ", false }, // "*" stops at the first period
        { "FILE.ZIP", "FILE*.ZIX", false }, { "X.TXT", "?.TXT", true }, { "A.BC", "*.*X", true },
        { "A.B.CD", "*.*.*X", true }, // a star past every period ends the walk
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcardMatch(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
}

TEST(CaseFold, FoldsThroughTheCodePageAndRefusesWhatItCannotHold)
{
    CodePage cp437;
    CaseFold fold(cp437);
    EXPECT_EQ(fold.apply("abc\x81x"), "ABC\x9AX"); // u with diaeresis -> its capital in CP437
    // Sharp s (two capitals), y with diaeresis and f with hook (capitals outside CP437), a zero byte.
    EXPECT_EQ(fold.apply(std::string("\xE1\x98\x9F\0", 4)), std::string("\xE1\x98\x9F\0", 4));
    EXPECT_EQ(*fold.foldedBytes(QString::fromUtf8("\xC3\xBC"
                                                  "ber")),
        "\x9A"
        "BER");
    EXPECT_FALSE(fold.foldedBytes(QString::fromUtf8("\xE2\x82\xAC"))); // the euro sign is not in CP437
    // A long name in small letters outside ASCII, folded as the pattern walks it.
    EXPECT_TRUE(NamePattern("*.\x9A", &fold.table()).matches("caf\x82.\x81"));
    EXPECT_FALSE(NamePattern("*.\x9A", &fold.table()).matches("caf\x82.\x82"));
    FoldedFinder finder("ABA", fold.table());
    EXPECT_EQ(finder.find("xxabAbA", 0), 2u);
    EXPECT_EQ(finder.find("xxabAbA", 3), 4u);
    EXPECT_EQ(finder.find("xxabAb", 3), std::string_view::npos);
    // A table that folds more bytes together than any code page (all digits to 0) is scanned
    // byte by byte, and finds the same.
    std::array<uint8_t, 256> digits;
    for (int b = 0; b < 256; ++b)
        digits[size_t(b)] = b >= '0' && b <= '9' ? '0' : uint8_t(b);
    FoldedFinder anyDigit("A0", digits);
    EXPECT_EQ(anyDigit.find(std::string(100, 'x') + "A7A", 0), 100u);
    EXPECT_EQ(anyDigit.find(std::string(100, 'x') + "A", 0), std::string_view::npos);
}

TEST(FoldedFinder, FindsTheNeedleAtEveryPlaceOfEveryLengthOfText)
{
    // Every place in texts around the scan's 16- and 64-byte steps, for a rare byte with its
    // small letter, one outside ASCII (CP437 u-umlaut and its capital), and a needle of one byte.
    CodePage cp437;
    CaseFold fold(cp437);
    struct Case {
        std::string needle; // folded
        std::string asWritten;
    };
    const Case cases[] = { { "QUORVEX", "QuorVex" },
        { "\x9A"
          "BER",
            "\x81"
            "ber" },
        { "X", "x" } };
    for (const Case& c : cases) {
        FoldedFinder finder(c.needle, fold.table());
        for (size_t length = c.needle.size(); length <= 140; ++length)
            for (size_t at = 0; at + c.needle.size() <= length; ++at) {
                // Filler that holds the needle's other bytes, so only the whole needle matches.
                std::string text(length, c.asWritten.front() == 'x' ? 'a' : 'r');
                text.replace(at, c.asWritten.size(), c.asWritten);
                ASSERT_EQ(finder.find(text, 0), at) << c.asWritten << " " << length << " " << at;
                ASSERT_EQ(finder.find(text, at + 1), std::string_view::npos) << length << " " << at;
                // The text cut before the needle's last byte holds no match, whatever lies behind.
                ASSERT_EQ(
                    finder.find(std::string_view(text).substr(0, at + c.needle.size() - 1), 0), std::string_view::npos)
                    << length << " " << at;
            }
    }
}

TEST(FileSearch, KeywordFindsEachEntryWhoseDescriptionHoldsTheTextOnce)
{
    test::ToolsTestBoard tb;
    tb.builder.writeAreas({ { "One", "/x", 1 }, { "" }, { "Three", "/y", 1 } });
    // 8190 bytes of filler, then a description that starts before the 8192-byte mark and holds the
    // word across it; a 20,000-byte description with the word at its end; one description with the
    // word twice; two entries sharing one description (pointers set by hand); and a last one
    // ending the file without its zero byte.
    std::string filler(8190, 'x');
    std::string cross = "ab"
                        "NEEDLE"
                        "cd"; // starts at 8191, the word covers 8193..8198
    std::string longOne = std::string(19994, 'y') + "needle";
    std::string twice = "a needle and a NeEdLe";
    std::string shared = "the shared Needle";
    std::string none = "nothing here";
    std::string txt
        = filler + '\0' + cross + '\0' + longOne + '\0' + twice + '\0' + shared + '\0' + none + '\0' + "ends in NEEDLE";
    const int32_t pCross = 8191;
    const int32_t pLong = pCross + int32_t(cross.size()) + 1;
    const int32_t pTwice = pLong + int32_t(longOne.size()) + 1;
    const int32_t pShared = pTwice + int32_t(twice.size()) + 1;
    const int32_t pNone = pShared + int32_t(shared.size()) + 1;
    const int32_t pMiddle = pShared + 4; // "shared Needle": still holds the word
    const int32_t pAfter = pShared + 12; // "eedle": does not
    const int32_t pEnd = pNone + int32_t(none.size()) + 1;
    std::vector<Entry> entries = { { .name = "FILLER.TXT" }, { .name = "CROSS.ZIP" }, { .name = "LONG.ZIP" },
        { .name = "TWICE.ZIP" }, { .name = "" }, { .name = "SHARED2.ZIP" }, { .name = "NONE.ZIP" },
        { .name = "MIDDLE.ZIP" }, { .name = "AFTER.ZIP" }, { .name = "NODESC.ZIP" }, { .name = "END.ZIP" } };
    const int32_t pointers[] = { 0, pCross, pLong, pTwice, pShared, pShared, pNone, pMiddle, pAfter, -1, pEnd };
    std::vector<HeaderRecord> headers;
    std::vector<IndexRecord> indexes;
    for (size_t i = 0; i < entries.size(); ++i) {
        headers.push_back(test::headerOf(entries[i], pointers[i]));
        indexes.push_back(test::indexOf(entries[i], pointers[i]));
    }
    tb.builder.writeAreaFiles(1, headers, indexes, std::nullopt, test::bytesOf(txt));
    tb.builder.writeEntries(3, { { .name = "B.ZIP", .description = "Needle in area 3" } });
    auto board = tb.open();

    const SearchRun r = keyword(*board, "  needle ");
    EXPECT_EQ(r.outcome, SearchOutcome::Finished);
    EXPECT_EQ(r.areas, std::vector<int>({ 1, 3 })); // area 2 has no name
    const std::vector<Found> expected = { { 1, 1, true, "Cross.zip" }, { 1, 2, false, "Long.zip" },
        { 1, 3, false, "Twice.zip" }, { 1, 4, false, " (Comment)" }, { 1, 5, false, "Shared2.zip" },
        { 1, 7, false, "Middle.zip" }, { 1, 10, false, "End.zip" }, { 3, 0, true, "B.zip" } };
    EXPECT_EQ(r.hits, expected);
    EXPECT_EQ(r.rows, 10u);
    EXPECT_TRUE(keyword(*board, "   ").hits.empty());
}

TEST(FileSearch, KeywordFoldsCaseThroughTheCodePageAndCrossesLargeBlocks)
{
    test::ToolsTestBoard tb;
    tb.builder.writeAreas({ { "One", "/x", 1 } });
    // A 1 MiB + description whose word crosses the 1 MiB mark, and one in CP437 capitals.
    std::string big = std::string((1 << 20) - 3, 'z') + "umbrella";
    tb.builder.writeEntries(1,
        { { .name = "BIG.ZIP", .description = big },
            { .name = "UML.ZIP",
                .description = "\x9A"
                               "BER ALLES" } });
    auto board = tb.open();
    EXPECT_EQ(keyword(*board, "UMBRELLA").hits, std::vector<Found>({ { 1, 0, true, "Big.zip" } }));
    EXPECT_EQ(keyword(*board,
                  QString::fromUtf8("\xC3\xBC"
                                    "ber"))
                  .hits,
        std::vector<Found>({ { 1, 1, true, "Uml.zip" } }));
    EXPECT_TRUE(keyword(*board, QString::fromUtf8("\xE2\x82\xAC")).hits.empty());
}

TEST(FileSearch, NamesMatchShortOrLongNamesAndShowTheLongNameAsStored)
{
    test::ToolsTestBoard tb;
    tb.builder.writeAreas({ { "One", "/x", 1 }, { "Two", "/y", 1 } });
    tb.builder.writeEntries(1,
        { { .name = "PIC1.JPG", .size = 10, .uploader = "Ann", .longName = "Holiday Photo.JPG" },
            { .name = "", .description = "a comment" }, { .name = "DOC.TXT" }, { .name = "PIC2.JPG" },
            { .name = "PIC3.JPG", .longName = "\t " } }); // blanks only: no long name
    tb.builder.writeEntries(2, { { .name = "LOGO.JPG" } }, false);
    auto board = tb.open();
    SearchRun r = names(*board, "*.jpg");
    EXPECT_EQ(r.hits,
        std::vector<Found>({ { 1, 0, true, "Holiday Photo.JPG" }, { 1, 3, false, "Pic2.jpg" },
            { 1, 4, false, "Pic3.jpg" }, { 2, 0, true, "Logo.jpg" } }));
    EXPECT_EQ(r.rows, 6u);
    EXPECT_EQ(names(*board, "holiday*.*").hits.size(), 1u);
    EXPECT_TRUE(names(*board, "holiday*").hits.empty()); // "*" stops at the period
    // Without long names the short name is shown and the long one is not tried.
    EXPECT_EQ(names(*board, "*.jpg", false).hits.front().name, "Pic1.jpg");
    EXPECT_TRUE(names(*board, "holiday*.*", false).hits.empty());
    // A range that leaves area 2 out.
    EXPECT_EQ(search(*board, SearchQuery::Mode::FileName, "*.JPG", 0, 1, 1).hits.size(), 3u);
}

TEST(FileSearch, RangeSkipsNumbersWithoutANamedAreaAndFindsTheHighest)
{
    test::ToolsTestBoard tb;
    // Record order 3, 1, 7 through FILES.RDX; record 4 has no name.
    tb.builder.writeAreas({ { "A", "/a", 1 }, { "B", "/b", 1 }, { "C", "/c", 1 }, { "" } });
    tb.builder.writeFilesRdx({ 2, 0, 1, 4, 0, 0, 3 });
    auto board = tb.open();
    FileSearch s(*board);
    EXPECT_EQ(s.areasInRange(1, 65535), std::vector<int>({ 1, 3, 7 }));
    EXPECT_EQ(s.areasInRange(2, 6), std::vector<int>({ 3 }));
    EXPECT_TRUE(s.areasInRange(5, 3).empty());
    EXPECT_EQ(s.highestArea(), 7);
}

TEST(FileSearch, RowLimitCountsAreaRowsAndStopsAtTheNextCandidate)
{
    test::ToolsTestBoard tb;
    tb.builder.writeAreas({ { "One", "/x", 1 }, { "Two", "/y", 1 } });
    std::vector<Entry> many(1499, Entry { .name = "F.ZIP", .description = "word" });
    tb.builder.writeEntries(1, many);
    tb.builder.writeEntries(2, { { .name = "G.ZIP", .description = "other" } });
    auto board = tb.open();
    // 1 area row + 1499 hits = 1500 rows; the next candidate in area 2 (even one that does not
    // match) ends the search.
    SearchRun r = search(*board, SearchQuery::Mode::FileName, "*.ZIP", 1500);
    EXPECT_EQ(r.rows, 1500u);
    EXPECT_EQ(r.outcome, SearchOutcome::RowLimit);
    r = search(*board, SearchQuery::Mode::FileName, "F.*", 1500);
    EXPECT_EQ(r.outcome, SearchOutcome::RowLimit);
    r = keyword(*board, "word", 1500);
    EXPECT_EQ(r.outcome, SearchOutcome::Finished); // no further candidate
    EXPECT_EQ(r.rows, 1500u);
    r = keyword(*board, "word", 1000);
    EXPECT_EQ(r.outcome, SearchOutcome::RowLimit);
    EXPECT_EQ(r.rows, 1000u);
}

// Stop is looked at between the blocks of one area's text, not only between areas: asked for as
// the first area starts, it ends the search before its text (sixteen blocks) is read.
TEST(FileSearch, StopEndsASearchWithinTheAreaBeingRead)
{
    test::ToolsTestBoard tb;
    tb.builder.writeAreas({ { "Big", "/x", 1 }, { "Next", "/y", 1 } });
    tb.builder.writeEntries(1, { { .name = "A.ZIP", .description = "a" } });
    tb.builder.writeEntries(2, { { .name = "B.ZIP", .description = "needle" } });
    tb.growDescriptions(1, 4);
    test::FaultyFileIo io(systemFileIo());
    auto board = tb.open(io);
    FileSearch s(*board);
    std::atomic<bool> stop { false };
    std::vector<int> areas;
    int readsBeforeStop = 0;
    const SearchOutcome outcome = s.run({ SearchQuery::Mode::Keyword, "needle" }, stop,
        { [&](int a) {
             areas.push_back(a);
             readsBeforeStop = io.calls(test::FaultyFileIo::Op::Read);
             stop = true;
         },
            {} });
    EXPECT_EQ(outcome, SearchOutcome::Stopped);
    EXPECT_EQ(areas, std::vector<int>({ 1 }));
    EXPECT_LE(io.calls(test::FaultyFileIo::Op::Read) - readsBeforeStop, 1);
}

} // namespace
} // namespace qv
