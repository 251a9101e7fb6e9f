// In-place edits given rows that another program moved since they were read (a comment line
// inserted in front, as `qvtool comment AREA --after 0` does) change nothing and say so; given
// the rows as they are now, the same edits land on the entries meant.

#include "board/Messages.h"
#include "editing/AreaSorter.h"
#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"
#include "tests/editing/EditingTestBoard.h"

#include <gtest/gtest.h>

#include <functional>

namespace qv {
namespace {

using test::EditingTestBoard;
using test::shownAt;

struct Edit {
    const char* label;
    // Runs the edit on rows 2 and 3 as shown; true when it was refused for changed rows, with
    // the message it gives.
    std::function<std::pair<bool, QString>(Board&, std::vector<RowIdentity>)> run;
};

std::vector<Edit> edits()
{
    return {
        { "properties",
            [](Board& b, std::vector<RowIdentity> shown) {
                const PropertiesResult r = EntryProperties(b, 1).apply(shown[1], { .downloads = 77 });
                return std::pair { r.rowsChanged, r.message };
            } },
        { "global description",
            [](Board& b, std::vector<RowIdentity> shown) {
                const DescriptionsResult r = Descriptions(b, 1).giveAll(shown, "Same for both");
                return std::pair { r.rowsChanged, r.message };
            } },
        { "comment behind a row",
            [](Board& b, std::vector<RowIdentity> shown) {
                const DescriptionsResult r = Descriptions(b, 1).insertComment(0, "x", "", shown[0]);
                return std::pair { r.rowsChanged, r.message };
            } },
        { "sort",
            [](Board& b, std::vector<RowIdentity> shown) {
                // The sort rests on every row: the list of before lacks the line put in front.
                auto rows = b.store().load(1, true).rows;
                if (shown[0].position == 2)
                    rows.erase(rows.begin());
                const auto o = AreaSorter(b).sort(1, rows, { SortKey::Size, true, std::nullopt });
                return std::pair { o.error && o.error->code == kRowsChanged, messages::rowsChanged(1) };
            } },
    };
}

TEST(ShownRows, EditsOfRowsThatMovedChangeNothingAndSaySo)
{
    for (const Edit& e : edits()) {
        EditingTestBoard t;
        const auto shown = shownAt(*t.board, 1, { 2, 3 });
        Board::Options options;
        options.boardDirectory = t.board->boardDirectory();
        auto other = std::make_unique<Board>(options);
        ASSERT_EQ(Descriptions(*other, 1).insertComment(0, "", "").outcome, DescriptionsResult::Outcome::Written);
        const auto changed = t.bytes();
        const auto [refused, message] = e.run(*t.board, shown);
        EXPECT_TRUE(refused) << e.label;
        EXPECT_EQ(message, messages::rowsChanged(1)) << e.label;
        EXPECT_EQ(t.bytes(), changed) << e.label;

        // Read again, the rows are found and the edit goes through.
        const auto [again, text] = e.run(*t.board, shownAt(*t.board, 1, { 3, 4 }));
        EXPECT_FALSE(again) << e.label << ": " << text.toStdString();
        EXPECT_NE(t.bytes(), changed) << e.label;
    }
}

TEST(ShownRows, PropertiesAppliedTwiceInOneDialogKeepTheirRowAndLandOnIt)
{
    EditingTestBoard t;
    RowIdentity shown = shownAt(*t.board, 1, 3);
    for (int downloads : { 77, 78 }) {
        const PropertiesResult r
            = EntryProperties(*t.board, 1)
                  .apply(shown,
                      { .downloads = downloads, .description = "longer than the stored text, so it is appended" });
        ASSERT_EQ(r.outcome, PropertiesResult::Outcome::Written) << r.message.toStdString();
        shown.record = r.header.encode();
        EXPECT_EQ(t.board->store().readHeader(1, 3)->encode(), shown.record);
        EXPECT_EQ(t.board->store().readHeader(1, 3)->downloads(), downloads);
    }
}

} // namespace
} // namespace qv
