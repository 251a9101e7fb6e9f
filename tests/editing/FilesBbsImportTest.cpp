#include "board/Board.h"
#include "editing/FilesBbsImport.h"
#include "editing/widgets/ImportDialog.h"
#include "storage/Encoding.h"
#include "tools/FilesBbsExport.h"

#include "tests/editing/EditingTestBoard.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Entry;

const QDate kToday(2024, 6, 30);

// Areas 1 and 2 share one directory of real files, each holding its own name.
struct ImportBoard : test::FilesTestBoard {
    explicit ImportBoard(const std::vector<Entry>& area1 = {}, const QStringList& onDisk = {})
        : FilesTestBoard(area1)
    {
        for (const QString& name : onDisk)
            put(name, name.toUtf8());
    }
};

// Each entry of an area as "Name|description|attributes".
std::vector<std::string> entriesOf(Board& board, int area)
{
    std::vector<std::string> out;
    const auto loaded = board.store().load(area, true);
    for (size_t i = 0; i < loaded.rows.size(); ++i)
        out.push_back(loaded.rows[i].name.str() + "|" + board.store().readDescription(area, i) + "|"
            + std::to_string(board.store().readHeader(area, i).value().attributes()));
    return out;
}

FilesBbsImport::Outcome runImport(Board& board, int area, const FilesBbsImport::Request& request)
{
    const auto plan = FilesBbsImport::prepare(board, area, request);
    return FilesBbsImport::apply(board, area, plan, request, kToday);
}

const std::string kList = "--- Games ---\r\n"
                          "NEW1.ZIP   First\r\n"
                          "           | second\r\n"
                          "EXIST.ZIP  changed\r\n"
                          "\"Long Name.txt\" long\r\n"
                          "GONE.ZIP   not here\r\n"
                          "../evil.zip bad\r\n"
                          "new1.zip   listed again\r\n";

struct FlagCase {
    const char* label;
    bool missing, update;
    std::vector<std::string> entries;
};

class ImportFlags : public testing::TestWithParam<FlagCase> { };

TEST_P(ImportFlags, AddsWhatTheListNamesInItsOrderAndLeavesTheRest)
{
    const FlagCase& c = GetParam();
    ImportBoard b({ { .name = "EXIST.ZIP", .description = "old" } }, { "NEW1.ZIP", "Long Name.txt", "EXIST.ZIP" });
    b.put("FILES.BBS", QByteArray::fromStdString(kList));
    auto board = b.open();
    FilesBbsImport::Request request { .missing = c.missing, .updateDescriptions = c.update, .uploader = "Importer" };
    const auto plan = FilesBbsImport::prepare(*board, 1, request);
    ASSERT_FALSE(plan.error) << plan.error->message;
    EXPECT_EQ(plan.count(FilesBbsImport::Action::Refused), 1);
    EXPECT_EQ(plan.count(FilesBbsImport::Action::Twice), 1);
    const auto outcome = FilesBbsImport::apply(*board, 1, plan, request, kToday);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(entriesOf(*board, 1), c.entries);
    const HeaderRecord added = board->store().readHeader(1, 2).value();
    EXPECT_EQ(added.uploader(), "Importer");
    EXPECT_EQ(added.uploadDate(), enc::encodeDate({ 2024, 6, 30 }));
    EXPECT_EQ(added.fileDate(), enc::encodeDate({ 2001, 2, 3 }));
    EXPECT_EQ(added.size(), 8);
    EXPECT_TRUE(b.check().empty());

    // A second run finds everything there: nothing more is added.
    const auto again = runImport(*board, 1, request);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.described, 0);
    EXPECT_EQ(entriesOf(*board, 1), c.entries);
}

INSTANTIATE_TEST_SUITE_P(Import, ImportFlags,
    testing::Values(
        FlagCase { "plain", false, false,
            { "Exist.zip|old|0", " (Comment)|--- Games ---|0", "New1.zip|First\r\nsecond|0", "Long name.txt|long|0" } },
        FlagCase { "missing", true, false,
            { "Exist.zip|old|0", " (Comment)|--- Games ---|0", "New1.zip|First\r\nsecond|0", "Long name.txt|long|0",
                "Gone.zip|not here|32" } },
        FlagCase { "update_descriptions", false, true,
            { "Exist.zip|changed|0", " (Comment)|--- Games ---|0", "New1.zip|First\r\nsecond|0",
                "Long name.txt|long|0" } }),
    [](const testing::TestParamInfo<FlagCase>& i) { return std::string(i.param.label); });

TEST(FilesBbsImport, AnExportedAreaImportedIntoAnEmptyOneGivesTheSameEntriesForEveryExportOption)
{
    const std::vector<Entry> area = {
        { .name = "", .description = "=== Section ===" },
        { .name = "A.ZIP", .size = 1, .downloads = 12, .description = "One line" },
        { .name = "B.ZIP", .description = "First\r\n  indented\r\n\r\n| bar line" },
        { .name = "HIDDEN.ZIP", .attributes = uint8_t(Attribute::Unlisted), .description = "not listed" },
        { .name = "LONGNA~1.TXT", .description = std::nullopt, .longName = "Long name.txt" },
        { .name = "C.ZIP", .description = " leading blank" },
    };
    for (int options = 0; options < 8; ++options) {
        ImportBoard b(area, { "A.ZIP", "B.ZIP", "HIDDEN.ZIP", "Long name.txt", "C.ZIP" });
        auto board = b.open();
        const ExportOptions e { bool(options & 1), bool(options & 2), bool(options & 4) };
        ASSERT_TRUE(FilesBbsExport(*board).exportArea(1, e).ok);
        const auto outcome = runImport(*board, 2, { .uploader = "x" });
        ASSERT_FALSE(outcome.error) << outcome.error->message;
        std::vector<std::string> expected;
        if (e.comments)
            expected.push_back(" (Comment)|=== Section ===|0");
        expected.push_back("A.zip|One line|0");
        expected.push_back(e.shortDescriptions ? "B.zip|First|0" : "B.zip|First\r\n  indented\r\n\r\n| bar line|0");
        expected.push_back("Long name.txt||0");
        expected.push_back("C.zip| leading blank|0");
        EXPECT_EQ(entriesOf(*board, 2), expected) << "options " << options;
    }
}

// A listed file is in the area when any of its names meets an entry's 8.3 or long name without
// case (through the code page), the file on disk and its alias included; the last such entry counts.
TEST(FilesBbsImport, AListedFileIsFoundByEveryNameItGoesBy)
{
    ImportBoard b({ { .name = "LOWER.ZIP" }, { .name = "ALIASN~1.TXT" },
                      { .name = "\x9A"
                                "BER.ZIP" },
                      { .name = "OTHER~1.ZIP", .longName = "Other Name.zip" },
                      { .name = "", .description = "--- Note ---" }, { .name = "TWICE.ZIP" }, { .name = "TWICE.ZIP" } },
        { "Alias name.txt", "new.zip" });
    b.put("FILES.BBS",
        "lower.zip  a\r\n\"Alias name.txt\"  b\r\n\x81"
        "ber.zip  c\r\n\"OTHER NAME.ZIP\"  d\r\n--- Note ---\r\ntwice.zip  e\r\n"
        "new.zip  f\r\nnone.zip  g\r\n");
    auto board = b.open();
    const auto plan = FilesBbsImport::prepare(*board, 1, {});
    ASSERT_FALSE(plan.error) << plan.error->message;
    std::vector<std::string> got;
    for (const auto& item : plan.items) {
        std::string line = FilesBbsImport::actionText(item.action).toStdString();
        if (item.action == FilesBbsImport::Action::Keep && !item.name.isEmpty())
            line += ' ' + std::to_string(item.position);
        got.push_back(line);
    }
    EXPECT_EQ(got,
        (std::vector<std::string> { "already there 0", "already there 1", "already there 2", "already there 3",
            "already there", "already there 6", "add", "not on disk" }));
}

// Names the list reader takes but an entry cannot hold are refused too, each with its reason.
TEST(FilesBbsImport, NamesNoEntryCanHoldAreRefused)
{
    ImportBoard b;
    b.put("FILES.BBS", QByteArray::fromStdString("\"" + std::string(256, 'n') + "\" too long\r\n"));
    auto board = b.open();
    const auto plan = FilesBbsImport::prepare(*board, 1, { .missing = true });
    ASSERT_FALSE(plan.error) << plan.error->message;
    ASSERT_EQ(plan.items.size(), 1u);
    EXPECT_EQ(plan.items[0].action, FilesBbsImport::Action::Refused);
    EXPECT_EQ(plan.items[0].reason, "a name longer than 255 characters");
}

TEST(FilesBbsImport, AListThatCannotBeReadChangesNothing)
{
    ImportBoard b({}, { "A.ZIP" });
    auto board = b.open();
    const auto before = test::areaBytes(b.builder, 1);
    const auto plan = FilesBbsImport::prepare(*board, 1, {});
    ASSERT_TRUE(plan.error);
    EXPECT_TRUE(FilesBbsImport::apply(*board, 1, plan, {}).error);
    EXPECT_EQ(test::areaBytes(b.builder, 1), before);
}

TEST(FilesBbsImport, TheDialogShowsWhatWillHappenBeforeItImports)
{
    ImportBoard b({ { .name = "EXIST.ZIP", .description = "old" } }, { "NEW1.ZIP", "Long Name.txt", "EXIST.ZIP" });
    b.put("files.bbs", QByteArray::fromStdString(kList));
    auto board = b.open();
    test::ScriptedDialogs dialogs;
    ImportDialog d(*board, dialogs, 1, "Sysop");
    d.show();
    EXPECT_EQ(d.summaryLabel()->text(), "3 to add, 0 new descriptions, 1 refused");
    ASSERT_EQ(d.planView()->topLevelItemCount(), 7);
    EXPECT_EQ(d.planView()->topLevelItem(5)->text(2), "refused: a path in the name");
    d.describeBox()->setChecked(true);
    EXPECT_EQ(d.summaryLabel()->text(), "3 to add, 1 new descriptions, 1 refused");
    EXPECT_EQ(test::areaBytes(b.builder, 1).hdr.size(), 194u) << "nothing changes before Import";
    test::shoot(&d, "import-files-bbs");
    QTest::mouseClick(d.importButton(), Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.outcome().added, 3);
    EXPECT_EQ(entriesOf(*board, 1).front(), "Exist.zip|changed|0");
    EXPECT_TRUE(dialogs.calls.isEmpty());
}

} // namespace
} // namespace qv
