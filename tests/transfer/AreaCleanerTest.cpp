#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"
#include "tests/transfer/CleanTestBoard.h"
#include "transfer/AreaCleaner.h"
#include "transfer/widgets/CleanDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::CleanTestBoard;
using A = AreaCleaner::Action;
using R = AreaCleaner::Reason;

struct Planned {
    uint64_t position;
    R reason;
    A action;
    friend bool operator==(const Planned&, const Planned&) = default;
};

void PrintTo(const Planned& p, std::ostream* os)
{
    *os << p.position << ":" << AreaCleaner::reasonText(p.reason).toStdString() << ":" << int(p.action);
}

std::vector<Planned> planned(const AreaCleaner::AreaPlan& a)
{
    std::vector<Planned> out;
    for (const auto& i : a.items)
        out.push_back({ i.position, i.reason, i.action });
    return out;
}

AreaCleaner::Request request(std::vector<int> areas, bool expired, bool missing, bool deleted)
{
    return { std::move(areas), expired, missing, deleted, CleanTestBoard::kToday };
}

TEST(AreaCleaner, EachRuleFindsItsEntriesAndNoneTouchesCommentsOrLockedOnes)
{
    struct Case {
        const char* label;
        int area;
        bool expired, missing, deleted;
        std::vector<Planned> expected;
    };
    const std::vector<Case> cases = {
        { "expired by last download, by upload when never downloaded, by file date", 4, true, false, false,
            { { 0, R::Expired, A::Remove }, { 2, R::Expired, A::Remove }, { 4, R::Expired, A::Remove } } },
        { "missing, by long name or 8.3 name", 4, false, true, false, { { 7, R::Missing, A::Remove } } },
        { "deleted", 4, false, false, true, { { 8, R::Deleted, A::Remove }, { 12, R::Deleted, A::Remove } } },
        { "all three", 4, true, true, true,
            { { 0, R::Expired, A::Remove }, { 2, R::Expired, A::Remove }, { 4, R::Expired, A::Remove },
                { 7, R::Missing, A::Remove }, { 8, R::Deleted, A::Remove }, { 12, R::Deleted, A::Remove } } },
        { "expired entries go to the move area", 1, true, false, false,
            { { 0, R::Expired, A::Move }, { 2, R::Expired, A::Move }, { 4, R::Expired, A::Move } } },
        { "a CD-ROM area loses entries, never files, and expires nothing", 3, true, true, true,
            { { 7, R::Missing, A::Remove }, { 8, R::Deleted, A::RemoveKeepFile },
                { 12, R::Deleted, A::RemoveKeepFile } } },
    };
    for (const Case& c : cases) {
        CleanTestBoard t;
        t.fill(c.area);
        auto board = t.open();
        const auto plan = AreaCleaner::prepare(*board, request({ c.area }, c.expired, c.missing, c.deleted));
        ASSERT_EQ(plan.areas.size(), 1u) << c.label;
        EXPECT_EQ(plan.areas[0].problem, QString()) << c.label;
        EXPECT_EQ(planned(plan.areas[0]), c.expected) << c.label;
    }
}

TEST(AreaCleaner, ExpiredEntriesStayWhereTheyCannotBeMoved)
{
    struct Case {
        int area;
        const char* why;
    };
    const std::vector<Case> cases = {
        { 6, "the area is its own move area" },
        { 7, "its move area 3 is a CD-ROM area" },
        { 8, "its move area 99 does not exist" },
    }; // area 1's, for a file of that name in area 2, is shown by the dialog test
    for (const Case& c : cases) {
        CleanTestBoard t;
        t.fill(c.area);
        auto board = t.open();
        const auto plan = AreaCleaner::prepare(*board, request({ c.area }, true, false, false));
        const auto& items = plan.areas.at(0).items;
        const auto four = std::find_if(items.begin(), items.end(), [](const auto& i) { return i.position == 4; });
        ASSERT_NE(four, items.end()) << c.area;
        EXPECT_EQ(four->action, A::Stay) << c.area;
        EXPECT_EQ(AreaCleaner::actionText(*four).toStdString(), std::string("stays: ") + c.why) << c.area;
        // Nothing that stays is changed.
        const test::AreaBytes before = t.bytes(c.area);
        EXPECT_TRUE(AreaCleaner(*board).apply(plan).areas.at(0).skipped) << c.area;
        EXPECT_EQ(t.bytes(c.area), before) << c.area;
    }
    CleanTestBoard t;
    t.builder.writeEntries(5, CleanTestBoard::entries());
    auto board = t.open();
    const auto plan = AreaCleaner::prepare(*board, request({ 5, 42 }, true, true, true));
    EXPECT_EQ(plan.areas.at(0).problem.toStdString(), "its directory C:\\NOWHERE cannot be reached");
    EXPECT_TRUE(plan.areas.at(0).items.empty());
    EXPECT_EQ(plan.areas.at(1).problem.toStdString(), "Area 42 does not exist");
}

TEST(AreaCleaner, OneChangePerAreaLeavesTheRemainingRecordsAndTheFilesTheRulesKeep)
{
    struct Case {
        const char* label;
        int area;
        std::vector<size_t> remaining;
        std::vector<std::string> filesAfter;
        std::vector<std::string> movedFiles; // now in area 2's directory
    };
    const std::vector<Case> cases = {
        { "plain area: removed with their files, the shared file kept", 4, { 1, 3, 5, 6, 9, 10, 11, 13 },
            { "BADDATE.ZIP", "FRESH.ZIP", "Long File.zip", "NEWUP.ZIP", "SHARED.ZIP", "SHORTN~1.ZIP" }, {} },
        { "CD-ROM area: entries removed, every file kept", 3, { 0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 13 },
            CleanTestBoard::files(), {} },
        { "move area: expired moved with their files, the rest removed in the same change", 1,
            { 1, 3, 5, 6, 9, 10, 11, 13 },
            { "BADDATE.ZIP", "FRESH.ZIP", "Long File.zip", "NEWUP.ZIP", "SHARED.ZIP", "SHORTN~1.ZIP" },
            { "NEVER.ZIP", "OLDDL.ZIP", "OLDFD.ZIP" } },
    };
    for (const Case& c : cases) {
        CleanTestBoard t;
        const test::AreaFiles written = t.fill(c.area);
        auto board = t.open();
        const auto plan = AreaCleaner::prepare(*board, request({ c.area }, true, true, true));
        const auto outcome = AreaCleaner(*board).apply(plan);
        ASSERT_TRUE(outcome.ok()) << c.label << ": " << outcome.areas.at(0).error->message;
        EXPECT_TRUE(t.bytes(c.area) == test::areaBytesOf(written, c.remaining)) << c.label;
        auto sorted = c.filesAfter;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(t.filesIn(c.area), sorted) << c.label;
        EXPECT_EQ(t.filesIn(2), c.movedFiles) << c.label;
        EXPECT_EQ(t.check(c.area), std::vector<std::string>()) << c.label;
        EXPECT_EQ(t.check(2), std::vector<std::string>()) << c.label;
        if (c.area == 1) {
            // The moved entries, behind the move area's last, with their descriptions.
            const auto rows = board->store().load(2, true).rows;
            ASSERT_EQ(rows.size(), 3u);
            for (size_t k = 0; k < 3; ++k) {
                const size_t from = std::vector<size_t> { 0, 2, 4 }[k];
                EXPECT_EQ(rows[k].record, [&] {
                    auto h = written.headers[from];
                    h.setDescriptionPointer(board->store().readHeader(2, k)->descriptionPointer());
                    return h.encode();
                }()) << k;
                EXPECT_EQ(board->store().readDescription(2, k), "about " + written.headers[from].name());
            }
            EXPECT_EQ(outcome.areas[0].moved, (std::vector<uint64_t> { 0, 2, 4 }));
        }
    }
}

TEST(AreaCleaner, AChangeSinceThePreviewRefusesAndAFileBackSinceThenStays)
{
    CleanTestBoard t;
    t.fill(4);
    auto board = t.open();
    const auto plan = AreaCleaner::prepare(*board, request({ 4 }, true, true, true));
    // Another program gives entry 2 another uploader: the plan no longer holds.
    auto h = *board->store().readHeader(4, 2);
    h.setUploader("Someone");
    ASSERT_TRUE(board->store().patchRecord(
        4, AreaFileKind::Header, 2, HeaderRecord::kUploaderOffset, std::span(h.encode()).subspan(21, 36)));
    const test::AreaBytes before = t.bytes(4);
    const auto files = t.filesIn(4);
    auto outcome = AreaCleaner(*board).apply(plan);
    ASSERT_FALSE(outcome.ok());
    EXPECT_TRUE(outcome.areas.at(0).stale);
    EXPECT_EQ(t.bytes(4), before);
    EXPECT_EQ(t.filesIn(4), files);

    // Planned again; GONE.ZIP comes back before the change: its entry stays.
    const auto again = AreaCleaner::prepare(*board, request({ 4 }, false, true, false));
    t.putFile(4, "gone.zip");
    outcome = AreaCleaner(*board).apply(again);
    EXPECT_TRUE(outcome.areas.at(0).skipped);
    EXPECT_EQ(outcome.areas.at(0).cameBack, (std::vector<uint64_t> { 7 }));
    EXPECT_EQ(t.bytes(4), before);
}

QStringList shown(const QTreeWidget* plan)
{
    QStringList out;
    for (int i = 0; i < plan->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* area = plan->topLevelItem(i);
        out << area->text(0);
        for (int k = 0; k < area->childCount(); ++k)
            out << "  " + area->child(k)->text(0) + " | " + area->child(k)->text(1) + " | " + area->child(k)->text(2);
    }
    return out;
}

TEST(CleanDialog, PreviewsAreaByAreaThenCleansWhatItShowed)
{
    CleanTestBoard t;
    t.fill(1);
    t.fill(3);
    t.putFile(2, "oldfd.zip");
    auto board = t.open();
    test::ScriptedDialogs dialogs;
    CleanDialog d(*board, dialogs, board->numberedAreaItems(), 3);
    d.setToday(CleanTestBoard::kToday);
    EXPECT_EQ(d.windowTitle(), "Clean Areas");
    EXPECT_TRUE(d.areaList()->item(2)->isSelected()) << "the current area starts chosen";
    d.areaList()->item(0)->setSelected(true);
    d.missingBox()->setChecked(true);
    d.deletedBox()->setChecked(true);
    EXPECT_FALSE(d.cleanButton()->isEnabled()) << "nothing to clean before a preview";
    QTest::mouseClick(d.findChild<QPushButton*>("Preview"), Qt::LeftButton);
    EXPECT_EQ(shown(d.planView()).join('\n').toStdString(),
        "00001: Expire to 2: 5 entries\n"
        "  1  Olddl.zip | expired (last downloaded 91 days ago) | move to area 2\n"
        "  3  Never.zip | expired (never downloaded, uploaded 61 days ago) | move to area 2\n"
        "  5  Oldfd.zip | expired (file date 700 days old) | stays: area 2 already has a file Oldfd.zip\n"
        "  8  Gone.zip | missing (not in C:\\FILES\\A) | remove\n"
        "  9  Del.zip | deleted | remove, delete its file\n"
        "  13  Shared.zip | deleted | remove, delete its file\n"
        "00003: Disc: 3 entries; expired entries of a CD-ROM area stay\n"
        "  8  Gone.zip | missing (not in C:\\CD) | remove\n"
        "  9  Del.zip | deleted | remove, keep its file (CD-ROM)\n"
        "  13  Shared.zip | deleted | remove, keep its file (CD-ROM)");
    EXPECT_EQ(d.summaryLabel()->text(), "8 entries would go, 1 stay");
    test::shoot(&d, "clean-areas");

    // A changed choice wants a new preview.
    d.expiredBox()->setChecked(false);
    EXPECT_FALSE(d.cleanButton()->isEnabled());
    EXPECT_EQ(d.planView()->topLevelItemCount(), 0);
    d.expiredBox()->setChecked(true);
    d.preview();
    ASSERT_TRUE(d.cleanButton()->isEnabled());
    QTest::mouseClick(d.cleanButton(), Qt::LeftButton);
    EXPECT_EQ(dialogs.messages(), QStringList { "Clean Areas|6 entries removed, 2 entries moved, 1 file(s) deleted." });
    EXPECT_EQ(d.changedAreas(), (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(t.bytes(3).hdr.size(), 11 * HeaderRecord::kSize);
    EXPECT_EQ(t.filesIn(3), [] {
        auto f = CleanTestBoard::files();
        std::sort(f.begin(), f.end());
        return f;
    }());
    // What is left: the entry that stays.
    EXPECT_EQ(d.summaryLabel()->text(), "0 entries would go, 1 stay");
    EXPECT_FALSE(d.cleanButton()->isEnabled());
}

} // namespace
} // namespace qv
