#include "editing/EntryRemover.h"
#include "tests/editing/EditingTestBoard.h"

#include <QSignalSpy>

namespace qv {
namespace {

using test::Entry;
using A = DeletionAnswer;

// Five entries with their files: A..E, the third a comment line in the table below when asked.
struct RemoveCase {
    const char* label;
    std::vector<Entry> entries;
    std::vector<std::string> files; // on disk before
    std::vector<int> selected;
    std::vector<A> answers; // in the order the questions come
    std::vector<std::string> asked; // row texts asked about
    std::vector<size_t> remaining; // records left, empty with cancelled
    std::vector<std::string> filesAfter;
    bool cancelled = false;
    bool ask = true; // false: removed without questions
};

std::vector<Entry> fiveEntries()
{
    return { Entry { .name = "A.ZIP", .description = "a" }, Entry { .name = "B.ZIP", .description = "b" },
        Entry { .name = "C.ZIP", .description = "c" }, Entry { .name = "D.ZIP", .description = "d" },
        Entry { .name = "E.ZIP", .description = "e" } };
}

const std::vector<std::string> kAll = { "A.ZIP", "B.ZIP", "C.ZIP", "D.ZIP", "E.ZIP" };

std::vector<RemoveCase> cases()
{
    return {
        { "rows 2 and 4 of 5, Yes then No", fiveEntries(), kAll, { 3, 1 }, { A::Yes, A::No }, { "B.zip", "D.zip" },
            { 0, 2, 4 }, { "A.ZIP", "C.ZIP", "D.ZIP", "E.ZIP" } },
        { "No to All on the first question keeps every file", fiveEntries(), kAll, { 0, 1, 2 }, { A::NoToAll },
            { "A.zip" }, { 3, 4 }, kAll },
        { "Yes to All on the first question deletes every later file", fiveEntries(), kAll, { 1, 2, 3 },
            { A::YesToAll }, { "B.zip" }, { 0, 4 }, { "A.ZIP", "E.ZIP" } },
        { "Cancel on the second of three changes nothing", fiveEntries(), kAll, { 0, 2, 4 }, { A::Yes, A::Cancel },
            { "A.zip", "C.zip" }, {}, kAll, true },
        { "a missing file is a Yes for its row only, a comment line is never asked about",
            { Entry { .name = "A.ZIP" }, Entry { .name = "", .description = "-- comment --" },
                Entry { .name = "GONE.ZIP" }, Entry { .name = "D.ZIP" } },
            { "A.ZIP", "D.ZIP" }, { 1, 2, 3 }, { A::No }, { "D.zip" }, { 0 }, { "A.ZIP", "D.ZIP" } },
        { "a file another remaining entry names is not offered, by name or by alias",
            { Entry { .name = "SHARE.ZIP" }, Entry { .name = "SHARE.ZIP" },
                Entry { .name = "LONGFI~2.ZIP", .longName = "Long File Name.zip" }, Entry { .name = "LONGFI~1.ZIP" },
                Entry { .name = "OWN.ZIP" } },
            { "SHARE.ZIP", "Long File Name.zip", "OWN.ZIP" }, { 0, 2, 4 }, { A::Yes }, { "Own.zip" }, { 1, 3 },
            { "SHARE.ZIP", "Long File Name.zip" } },
        { "two selected rows naming one file ask twice and delete it once",
            { Entry { .name = "TWIN.ZIP" }, Entry { .name = "TWIN.ZIP" }, Entry { .name = "KEEP.ZIP" } },
            { "TWIN.ZIP", "KEEP.ZIP" }, { 0, 1 }, { A::Yes, A::Yes }, { "Twin.zip", "Twin.zip" }, { 2 },
            { "KEEP.ZIP" } },
        { "without questions no file is deleted", fiveEntries(), kAll, { 0, 4 }, {}, {}, { 1, 2, 3 }, kAll, false,
            false },
    };
}

TEST(EntryRemover, AnswersDecideWhichFilesGoAfterTheRecordsAreRewritten)
{
    for (const RemoveCase& c : cases()) {
        test::FilesTestBoard t;
        const test::AreaFiles written = t.builder.writeEntries(1, c.entries);
        for (const std::string& f : c.files)
            t.putFile(f);
        const test::AreaBytes before = t.bytes();
        auto board = t.open();
        const auto rows = board->store().load(1, true).rows;
        EntryRemover remover(*board);
        QSignalSpy removedSignal(&remover, &EntryRemover::entriesRemoved);
        std::vector<std::string> asked;
        size_t next = 0;
        const auto answer = [&](const QString& rowText) {
            asked.push_back(rowText.toStdString());
            // Nothing may change while questions are still being asked.
            EXPECT_EQ(t.bytes(), before) << c.label;
            return next < c.answers.size() ? c.answers[next++] : A::Cancel;
        };
        const auto outcome = c.ask ? remover.remove(1, rows, c.selected, answer) : remover.remove(1, rows, c.selected);
        EXPECT_EQ(asked, c.asked) << c.label;
        EXPECT_EQ(next, c.answers.size()) << c.label;
        EXPECT_EQ(outcome.cancelled, c.cancelled) << c.label;
        EXPECT_FALSE(outcome.error) << c.label;
        if (c.cancelled) {
            EXPECT_EQ(t.bytes(), before) << c.label;
            EXPECT_EQ(removedSignal.count(), 0) << c.label;
        } else {
            EXPECT_EQ(t.bytes(), test::areaBytesOf(written, c.remaining)) << c.label;
            ASSERT_EQ(removedSignal.count(), 1) << c.label;
            std::vector<int> sorted = c.selected;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(outcome.removed, std::vector<uint64_t>(sorted.begin(), sorted.end())) << c.label;
            // The clipboard hears which records went.
            EXPECT_EQ(removedSignal.at(0).at(1).value<QList<QByteArray>>().size(), qsizetype(sorted.size())) << c.label;
        }
        std::vector<std::string> wanted = c.filesAfter;
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(t.state().files, wanted) << c.label;
        EXPECT_EQ(t.check(), std::vector<std::string>()) << c.label;
    }
}

// Only deleting a file needs the area's directory: without one the entries still go, nothing is
// asked or deleted, and the outcome says that the files could not be looked for.
TEST(EntryRemover, AnAreaWithoutADirectoryStillLosesItsEntries)
{
    struct Case {
        const char* path;
        std::vector<int> selected;
        QString notLookedFor;
    };
    const Case cases[] = {
        { "", { 0, 1 }, "Area 1 has no file path" },
        { "Q:\\NOWHERE", { 1 }, "" }, // a comment line alone: no file in question
        { "Q:\\NOWHERE", { 0 }, "?" }, // the drive's own problem, whatever its words
    };
    for (const Case& c : cases) {
        test::FilesTestBoard t;
        t.builder.writeAreas({ { "Files", c.path, 1 } });
        t.builder.writeEntries(1, { Entry { .name = "A.ZIP" }, Entry { .name = "", .description = "c" } });
        t.putFile("A.ZIP");
        auto board = t.open();
        const auto rows = board->store().load(1, true).rows;
        int asked = 0;
        const auto outcome = EntryRemover(*board).remove(1, rows, c.selected, [&](const QString&) {
            ++asked;
            return A::YesToAll;
        });
        ASSERT_TRUE(outcome.ok()) << c.path << ": " << outcome.error->message;
        EXPECT_EQ(outcome.removed.size(), c.selected.size()) << c.path;
        EXPECT_EQ(board->store().count(1).value(), 2 - c.selected.size()) << c.path;
        EXPECT_EQ(asked, 0);
        EXPECT_TRUE(test::fileExists(t.file("A.ZIP")));
        if (c.notLookedFor == "?") {
            EXPECT_FALSE(outcome.filesNotLookedFor.isEmpty()) << c.path;
        } else {
            EXPECT_EQ(outcome.filesNotLookedFor, c.notLookedFor) << c.path;
        }
    }
}

// Another program changed the area after the rows were loaded: an entry it added behind them
// stays, while rows that no longer hold what was shown refuse the removal and keep their files.
TEST(EntryRemover, OnlyTheRowsShownGoAndOnlyWhereTheyWereShown)
{
    struct Case {
        const char* label;
        std::vector<uint64_t> since; // the area's order when the removal runs
        std::vector<size_t> remaining; // empty: refused
    };
    const Case cases[] = {
        { "an entry added behind the last", { 0, 1, 2, 3, 4, 4 }, { 1, 2, 3, 4, 4 } },
        { "an entry inserted in front", { 4, 0, 1, 2, 3, 4 }, {} },
        { "the area sorted", { 1, 0, 2, 3, 4 }, {} },
    };
    for (const Case& c : cases) {
        test::FilesTestBoard t;
        const test::AreaFiles written = t.builder.writeEntries(1, fiveEntries());
        t.putFile("A.ZIP");
        auto board = t.open();
        const auto rows = board->store().load(1, true).rows;
        ASSERT_TRUE(board->store().rewrite(1, RewritePlan::permutation(c.since))) << c.label;
        const test::AreaBytes before = t.bytes();
        const auto outcome = EntryRemover(*board).remove(1, rows, { 0 }, [](const QString&) { return A::Yes; });
        if (c.remaining.empty()) {
            ASSERT_TRUE(outcome.error) << c.label;
            EXPECT_EQ(outcome.error->code, kRowsChanged) << c.label;
            EXPECT_EQ(t.bytes(), before) << c.label;
            EXPECT_TRUE(test::fileExists(t.file("A.ZIP"))) << c.label;
        } else {
            EXPECT_FALSE(outcome.error) << c.label;
            EXPECT_EQ(t.bytes(), test::areaBytesOf(written, c.remaining)) << c.label;
            EXPECT_FALSE(test::fileExists(t.file("A.ZIP"))) << c.label;
        }
    }
}

} // namespace
} // namespace qv
