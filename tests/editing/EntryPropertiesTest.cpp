#include "editing/EntryProperties.h"

#include "storage/KeywordChecksum.h"
#include "tests/editing/EditingTestBoard.h"

#include <gtest/gtest.h>

#include <functional>

namespace qv {
namespace {

using test::EditingTestBoard;
using test::packedDate;
using test::shownAt;
using Outcome = PropertiesResult::Outcome;

// Every field as read shows in PropertiesDialogTest.ShowsEveryStoredValueInItsBox; here what
// the dialog does not show: short names, comment lines, an entry without text, a missing one.
TEST(EntryProperties, ReadsTheEntryAtItsPosition)
{
    EditingTestBoard t;
    EntryProperties props(*t.board, 1);
    const auto f = props.read(shownAt(*t.board, 1, 0), true);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->fileDate, packedDate(1996, 3, 14));
    // The record's own dates: never parsed back from a list text in some locale's order.
    EXPECT_EQ(f->uploadDate, (DateBoxes { 11, 5, 1998 }));
    EXPECT_EQ(props.read(shownAt(*t.board, 1, 0), false)->name, "Fooarc~1.zip");
    EXPECT_TRUE(props.read(shownAt(*t.board, 1, 1), true)->comment);
    EXPECT_EQ(props.read(shownAt(*t.board, 1, 1), true)->name, " (Comment)");
    EXPECT_EQ(props.read(shownAt(*t.board, 1, 2), true)->description, "");
    QString error;
    EXPECT_FALSE(props.read(shownAt(*t.board, 1, 4), true, &error));
    EXPECT_FALSE(error.isEmpty());
}

// Stored dates that are no calendar day open as the first of 1980; typed days beyond their
// month roll over into the next.
TEST(EntryProperties, DatesBetweenRecordsAndBoxes)
{
    const std::vector<std::pair<int32_t, DateBoxes>> stored = {
        { packedDate(2001, 2, 28), { 2, 28, 2001 } },
        { 0, { 1, 1, 1980 } },
        { packedDate(2001, 2, 30), { 1, 1, 1980 } },
        { packedDate(2001, 13, 1), { 1, 1, 1980 } },
        { int32_t(uint32_t(packedDate(2107, 12, 31)) | 0xFFFF), { 12, 31, 2107 } },
    };
    for (const auto& [packed, boxes] : stored)
        EXPECT_EQ(EntryProperties::boxesOf(packed), boxes) << std::hex << packed;
    const std::vector<std::pair<DateBoxes, enc::CalendarDate>> typed = {
        { { 4, 31, 1999 }, { 1999, 5, 1 } },
        { { 2, 30, 2000 }, { 2000, 3, 1 } },
        { { 2, 29, 2000 }, { 2000, 2, 29 } },
        { { 12, 31, 2107 }, { 2107, 12, 31 } },
    };
    for (const auto& [boxes, date] : typed)
        EXPECT_EQ(EntryProperties::calendarDate(boxes), date) << boxes.month << "/" << boxes.day;
}

TEST(EntryProperties, ApplyWritesEveryFieldOfTheDialogIntoTheRecordsOwnBytes)
{
    EditingTestBoard t;
    PropertyChanges c;
    c.uploader = "  Bob Smith  ";
    c.uploadDate = DateBoxes { 4, 31, 2003 }; // saved as 1 May
    c.lastDownload = DateBoxes { 12, 24, 2107 };
    c.downloads = 64000; // above 32767: plain unsigned 16 bits, as the board reads it
    c.cost = 0;
    c.attributes = 0x81 | 0x40; // bit 7 is not kept
    c.password = " secret ";
    c.keywords = std::array<QString, 5> { "Alpha", " beta ", "", "", "ZETA" };
    const PropertiesResult r = EntryProperties(*t.board, 1).apply(shownAt(*t.board, 1, 2), c);
    ASSERT_EQ(r.outcome, Outcome::Written) << r.message.toStdString();
    EXPECT_EQ(r.written,
        QStringList(
            { "uploader", "upload date", "last download", "downloads", "attributes", "password", "keywords", "cost" }));

    HeaderRecord h = t.original.headers[2];
    h.setUploader("Bob Smith");
    h.setUploadDate(packedDate(2003, 5, 1));
    h.setLastDownloadDate(packedDate(2107, 12, 24));
    h.setDownloads(64000);
    h.setCost(0);
    h.setAttributes(0x41);
    h.setPassword("secret");
    // Keywords are stored trimmed, each checksum over exactly what is stored.
    const char* keywords[] = { "Alpha", "beta", "", "", "ZETA" };
    IndexRecord x = t.original.indexes[2];
    for (size_t k = 0; k < 5; ++k) {
        h.setKeyword(k, keywords[k]);
        x.setKeywordChecksum(k, keywordChecksum(keywords[k]));
    }
    const auto after = t.bytes();
    EXPECT_EQ(after.hdr, t.headersWith(2, h));
    // Entries 1 and 3 share the name FOOARC~1.ZIP: only the entry's own index record changes.
    EXPECT_EQ(after.idx, t.indexesWith(2, x));
    EXPECT_EQ(after.txt, t.original.descriptions);
    EXPECT_EQ(r.header, h);

    LoadedRow row;
    EntryProperties::updateRow(row, r.header);
    EXPECT_EQ(row.uploader(), "Bob Smith");
    EXPECT_EQ(row.uploadDate(), packedDate(2003, 5, 1));
    EXPECT_EQ(row.downloads(), 64000);
}

// Each case: the entry, the typed text; then the description file and pointer afterwards.
TEST(EntryProperties, DescriptionsAreOverwrittenInPlaceOrAppendedWithBothPointersMoved)
{
    struct Case {
        const char* label;
        uint64_t position;
        QString text;
        bool appended;
        int32_t pointer;
        std::function<std::vector<uint8_t>(const EditingTestBoard&)> txt;
    };
    auto replaced = [](size_t at, std::string_view bytes) {
        return [at, bytes](const EditingTestBoard& t) {
            auto out = t.original.descriptions;
            std::copy(bytes.begin(), bytes.end(), out.begin() + std::ptrdiff_t(at));
            return out;
        };
    };
    const std::vector<Case> cases = {
        { "no description, empty box", 2, "", true, 50, [](const auto& t) { return t.descriptionsPlus(""); } },
        { "no description, typed text", 2, "New", true, 50, [](const auto& t) { return t.descriptionsPlus("New"); } },
        // The old tail stays in the file, unreferenced.
        { "shorter", 3, "bar", false, 41, replaced(41, std::string_view("bar\0", 4)) },
        { "same length", 3, "BAR TEXT", false, 41, replaced(41, "BAR TEXT") },
        { "one longer", 3, "bar text!", true, 50, [](const auto& t) { return t.descriptionsPlus("bar text!"); } },
        { "line breaks stored as CR LF", 0, "a\nb\n", false, 0, replaced(0, std::string_view("a\r\nb\r\n\0", 7)) },
        { "comment line", 1, "== games ==", false, 29, replaced(29, "== games ==") },
    };
    for (const Case& c : cases) {
        EditingTestBoard t;
        PropertyChanges changes;
        changes.description = c.text;
        const PropertiesResult r = EntryProperties(*t.board, 1).apply(shownAt(*t.board, 1, c.position), changes);
        ASSERT_EQ(r.outcome, Outcome::Written) << c.label << ": " << r.message.toStdString();
        EXPECT_EQ(r.descriptionAppended, c.appended) << c.label;
        EXPECT_EQ(r.descriptionPointer, c.pointer) << c.label;
        EXPECT_EQ(r.description, c.text) << c.label;
        HeaderRecord h = t.original.headers[c.position];
        h.setDescriptionPointer(c.pointer);
        IndexRecord x = t.original.indexes[c.position];
        x.setDescriptionPointer(c.pointer);
        const auto after = t.bytes();
        EXPECT_EQ(after.hdr, t.headersWith(c.position, h)) << c.label;
        EXPECT_EQ(after.idx, t.indexesWith(c.position, x)) << c.label;
        EXPECT_EQ(after.txt, c.txt(t)) << c.label;
        EXPECT_EQ(EntryProperties(*t.board, 1).read(shownAt(*t.board, 1, c.position), true)->description, c.text)
            << c.label;
    }
}

TEST(EntryProperties, AnUnchangedDescriptionIsNotWrittenAndAnEditedOneKeepsItsLineBreaks)
{
    struct Case {
        std::string stored;
        QString typed;
        std::string after;
    };
    const Case cases[] = {
        { "one\ntwo", "one\ntwo", "one\ntwo" }, // unchanged: not written
        { "x\r\ny", "x\ny", "x\r\ny" }, { "one\ntwo", "one\ntwo\nthree", "one\ntwo\nthree" },
        { "a\rb", "a\nb\nc", "a\rb\rc" },
        { "plain", "two\nlines", "two\r\nlines" }, // no break stored: the board's CR LF
    };
    for (const Case& c : cases) {
        EditingTestBoard t;
        t.builder.writeEntries(2, { test::Entry { .name = "A.ZIP", .description = c.stored } });
        const auto before = t.bytes(2);
        PropertyChanges changes;
        changes.description = c.typed;
        const PropertiesResult r = EntryProperties(*t.board, 2).apply(shownAt(*t.board, 2, 0), changes);
        const bool same = c.stored == c.after;
        EXPECT_EQ(r.outcome, same ? Outcome::NothingToWrite : Outcome::Written) << c.stored;
        EXPECT_EQ(t.board->store().readDescription(2, 0), c.after) << c.stored;
        if (same) {
            EXPECT_EQ(t.bytes(2), before) << c.stored;
        }
    }
}

TEST(EntryProperties, ValuesThatCannotBeStoredAreRefusedAndNothingIsWritten)
{
    struct Case {
        const char* label;
        uint64_t position;
        PropertyChanges change;
        PropertyField field;
        QString message;
    };
    const QString euro = "The character \"\u20ac\" (U+20AC) cannot be stored in the board's code page IBM437. "
                         "Nothing was written.";
    const QString range = "Value out of range (0 - 64000)", years = "Value out of range (1980-2107)";
    const std::vector<Case> cases = {
        { "downloads 70000", 0, { .downloads = 70000 }, PropertyField::Downloads, range },
        { "negative cost", 0, { .cost = -1 }, PropertyField::Cost, range },
        { "year 2200", 0, { .uploadDate = DateBoxes { 1, 1, 2200 } }, PropertyField::UploadYear, years },
        { "month 13", 0, { .lastDownload = DateBoxes { 13, 1, 2000 } }, PropertyField::LastDownloadMonth,
            "Value out of range (1-12)" },
        { "day 0", 0, { .lastDownload = DateBoxes { 1, 0, 2000 } }, PropertyField::LastDownloadDay,
            "Value out of range (1-31)" },
        { "year 1979", 0, { .uploadDate = DateBoxes { 1, 1, 1979 } }, PropertyField::UploadYear, years },
        { "euro in the description", 0, { .downloads = 1, .description = QString("price 5 \u20ac") },
            PropertyField::Description, euro },
        { "euro in a keyword", 0, { .keywords = std::array<QString, 5> { "", "\u20ac" } }, PropertyField::Keyword2,
            euro },
        { "uploader of 36 characters", 0, { .uploader = QString(36, 'x') }, PropertyField::Uploader,
            "The uploader can hold at most 35 characters." },
        { "a comment line's count", 1, { .downloads = 1 }, PropertyField::None,
            "Entry 2 is a comment line: only its description can be changed." },
    };
    for (const Case& c : cases) {
        EditingTestBoard t;
        const auto before = t.bytes();
        const PropertiesResult r = EntryProperties(*t.board, 1).apply(shownAt(*t.board, 1, c.position), c.change);
        EXPECT_EQ(r.outcome, Outcome::Refused) << c.label;
        EXPECT_EQ(r.field, c.field) << c.label;
        EXPECT_EQ(r.message, c.message) << c.label;
        EXPECT_EQ(t.bytes(), before) << c.label;
    }
}

TEST(EntryProperties, NothingNamedWritesNothingAndAMissingEntryFails)
{
    EditingTestBoard t;
    const auto before = t.bytes();
    EXPECT_EQ(EntryProperties(*t.board, 1).apply(shownAt(*t.board, 1, 0), {}).outcome, Outcome::NothingToWrite);
    const PropertiesResult r = EntryProperties(*t.board, 1).apply(shownAt(*t.board, 1, 9), { .cost = 1 });
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_TRUE(r.rowsChanged);
    EXPECT_EQ(t.bytes(), before);
}

} // namespace
} // namespace qv
