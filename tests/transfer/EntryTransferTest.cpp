// Pasting, direct transfers and send-to: the bytes the areas hold afterwards and which files exist.

#include "board/Board.h"
#include "board/TransferLeftovers.h"
#include "tests/transfer/TransferTestBoard.h"
#include "transfer/EntryTransfer.h"
#include "transfer/SendTo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {
namespace {

using test::Entry;
using test::TransferTestBoard;

struct Areas {
    test::AreaFiles alpha, beta;
};

// Alpha: A1..A6 (A3 a comment line, A5 with a long name); Beta: B1, B2, and "a2.zip" whose file
// name differs from A2.ZIP only in case.
Areas makeAreas(TransferTestBoard& t)
{
    Areas a;
    a.alpha = t.builder.writeEntries(1,
        { Entry { .name = "A1.ZIP", .size = 4, .description = "one" }, Entry { .name = "A2.ZIP", .description = "two" },
            Entry { .name = "", .description = "a comment" },
            Entry { .name = "A4.ZIP", .description = "four\r\nlines" },
            Entry { .name = "A5~1.ZIP", .description = "five", .longName = "A5 long name.zip" },
            Entry { .name = "A6.ZIP", .description = "six" } });
    a.beta = t.builder.writeEntries(2,
        { Entry { .name = "B1.ZIP", .description = "bee" }, Entry { .name = "A2.ZIP", .description = "other two" } });
    for (const char* f : { "A1.ZIP", "A2.ZIP", "A4.ZIP", "A5 long name.zip", "A6.ZIP" })
        t.putFile(1, f, std::string("alpha ") + f);
    t.putFile(2, "B1.ZIP", "beta");
    t.putFile(2, "a2.zip", "beta's own a2");
    return a;
}

// Beta's files after records of Alpha were put behind its first `at` ones, each description
// appended.
test::AreaBytes betaWith(const Areas& a, const std::vector<size_t>& alphaRecords, size_t at = 2)
{
    test::AreaBytes b = test::areaBytesOf(a.beta, {});
    auto add = [&](const HeaderRecord& h, const IndexRecord& i, const LongNameRecord& l) {
        b.hdr.insert(b.hdr.end(), h.encode().begin(), h.encode().end());
        b.idx.insert(b.idx.end(), i.encode().begin(), i.encode().end());
        b.lfn.insert(b.lfn.end(), l.encode().begin(), l.encode().end());
    };
    for (size_t k = 0; k < at; ++k)
        add(a.beta.headers[k], a.beta.indexes[k], a.beta.longNames[k]);
    for (size_t r : alphaRecords) {
        HeaderRecord h = a.alpha.headers[r];
        IndexRecord i = a.alpha.indexes[r];
        const int32_t pointer = int32_t(b.txt.size());
        const auto from = a.alpha.descriptions.begin() + h.descriptionPointer();
        b.txt.insert(b.txt.end(), from, std::find(from, a.alpha.descriptions.end(), uint8_t(0)) + 1);
        h.setDescriptionPointer(pointer);
        i.setDescriptionPointer(pointer);
        add(h, i, a.alpha.longNames[r]);
    }
    for (size_t k = at; k < 2; ++k)
        add(a.beta.headers[k], a.beta.indexes[k], a.beta.longNames[k]);
    return b;
}

// The id of a process that has ended, as that of a killed transfer.
pid_t endedProcess()
{
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ::waitpid(gone, nullptr, 0);
    return gone;
}

class EntryTransferTest : public ::testing::Test {
protected:
    TransferTestBoard t;
    const Areas a = makeAreas(t);
    std::unique_ptr<Board> board = t.open();
};

EntryTransfer::Request paste(
    Board& board, int from, const std::vector<uint64_t>& held, bool cut, int to, uint64_t after)
{
    EntryTransfer::Request r;
    r.source = from;
    r.entries = TransferTestBoard::items(board, from, held);
    r.move = cut;
    r.area = to;
    r.after = after;
    r.locate = true;
    return r;
}

TEST_F(EntryTransferTest, WithinOneAreaACutMovesAndACopyDuplicatesWithoutTouchingDescriptionsOrFiles)
{
    // Cut 2 and 5, paste behind 3: 1, 3, 2, 5, 4, 6.
    auto moved = EntryTransfer(*board).run(paste(*board, 1, { 1, 4 }, true, 1, 3));
    ASSERT_TRUE(moved.ok()) << moved.error->message;
    EXPECT_EQ(t.bytes(1), test::areaBytesOf(a.alpha, { 0, 2, 1, 4, 3, 5 }));
    EXPECT_EQ(moved.insertedAt, 2u);
    EXPECT_EQ(moved.order, (std::vector<uint64_t> { 0, 2, 1, 4, 3, 5 }));
    EXPECT_TRUE(moved.files.empty());
    EXPECT_TRUE(test::fileExists(t.file(1, "A2.ZIP")));

    // Copy the first entry behind all, twice: the copies share its description.
    for (int k = 0; k < 2; ++k)
        ASSERT_TRUE(EntryTransfer(*board).run(paste(*board, 1, { 0 }, false, 1, UINT64_MAX)).ok());
    EXPECT_EQ(t.bytes(1), test::areaBytesOf(a.alpha, { 0, 2, 1, 4, 3, 5, 0, 0 }));
    EXPECT_TRUE(t.check(1).empty());
}

TEST_F(EntryTransferTest, CopyToAnotherAreaAppendsDescriptionsSetsBothPointersAndCopiesFilesKeepingTheirNames)
{
    // An old time, so a copy stamped with the clock would show.
    std::filesystem::last_write_time(
        t.file(1, "A1.ZIP"), std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
    struct stat before { };
    ASSERT_EQ(::stat(t.file(1, "A1.ZIP").c_str(), &before), 0);
    // What a copy killed half way left behind: removed by the next transfer into the directory.
    const std::string leftover = t.dir(2) + "/.qvcopy-" + std::to_string(endedProcess()) + "-0.tmp";
    test::writeFile(leftover, "half");
    const auto alphaBefore = t.bytes(1);
    QStringList shown;
    EntryTransfer::Callbacks callbacks;
    callbacks.copying = [&](const QString& s) { shown << s; };
    auto outcome = EntryTransfer(*board).run(paste(*board, 1, { 0, 2, 4 }, false, 2, UINT64_MAX), callbacks);
    ASSERT_TRUE(outcome.ok()) << outcome.error->message;
    EXPECT_EQ(t.bytes(2), betaWith(a, { 0, 2, 4 }));
    EXPECT_EQ(t.bytes(1), alphaBefore);
    // Host paths of the files found, as the overwrite question and the errors name them.
    EXPECT_EQ(shown,
        (QStringList {
            QString::fromStdString(t.file(1, "A1.ZIP")), QString::fromStdString(t.file(1, "A5 long name.zip")) }));
    // The comment line has no file; the long-named file keeps its own name.
    EXPECT_EQ(test::readFile(t.file(2, "A1.ZIP")), test::bytesOf("alpha A1.ZIP"));
    EXPECT_TRUE(test::fileExists(t.file(2, "A5 long name.zip")));
    EXPECT_TRUE(test::fileExists(t.file(1, "A1.ZIP")));
    struct stat after { };
    ASSERT_EQ(::stat(t.file(2, "A1.ZIP").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(outcome.insertedAt, 2u);
    ASSERT_EQ(outcome.inserted.size(), 3u);
    EXPECT_EQ(outcome.inserted[2].name, "A5 long name.zip");
    EXPECT_FALSE(test::fileExists(leftover));
    for (const auto& e : std::filesystem::directory_iterator(t.dir(2)))
        EXPECT_NE(e.path().filename().string().rfind(".qvcopy", 0), 0u) << "a temporary file was left";
    EXPECT_TRUE(t.check(2).empty());
}

TEST_F(EntryTransferTest, ACutBetweenAreasRemovesTheSourceEntriesAndFilesOnlyAfterTheDestinationHasThem)
{
    board = t.open(systemFileIo(), true);
    // Paste behind Beta's first entry.
    auto outcome = EntryTransfer(*board).run(paste(*board, 1, { 0, 2, 5 }, true, 2, 1));
    ASSERT_TRUE(outcome.ok()) << outcome.error->message;
    EXPECT_EQ(t.bytes(2), betaWith(a, { 0, 2, 5 }, 1));
    // Alpha's records close up; its description file keeps the moved texts, unreferenced.
    EXPECT_EQ(t.bytes(1), test::areaBytesOf(a.alpha, { 1, 3, 4 }));
    EXPECT_FALSE(test::fileExists(t.file(1, "A1.ZIP")));
    EXPECT_FALSE(test::fileExists(t.file(1, "A6.ZIP")));
    EXPECT_TRUE(test::fileExists(t.file(2, "A6.ZIP")));
    EXPECT_EQ(outcome.removed, (std::vector<uint64_t> { 0, 2, 5 }));
    // The moved sources went to the trash, where the file manager can bring them back.
    EXPECT_EQ(outcome.trashed, outcome.deleted);
    EXPECT_TRUE(test::fileExists(qgetenv("XDG_DATA_HOME").toStdString() + "/Trash/files/A1.ZIP"));
    EXPECT_TRUE(t.check(1).empty());
    EXPECT_TRUE(t.check(2).empty());
}

TEST(EntryTransfer, AnExistingFileInAnyCaseIsAskedAboutAndADeclinedMoveKeepsTheSourceFile)
{
    for (bool yes : { false, true }) {
        TransferTestBoard t;
        makeAreas(t);
        auto board = t.open();
        QStringList asked;
        EntryTransfer::Callbacks callbacks;
        callbacks.copy.overwrite = [&](const QString& destination) {
            asked << destination;
            return yes;
        };
        auto outcome = EntryTransfer(*board).run(paste(*board, 1, { 1 }, true, 2, UINT64_MAX), callbacks);
        ASSERT_TRUE(outcome.ok());
        EXPECT_EQ(asked, QStringList { QString::fromStdString(t.file(2, "a2.zip")) });
        EXPECT_FALSE(test::fileExists(t.file(2, "A2.ZIP"))) << "a second file beside the first";
        // Both entries named A2.ZIP stay in Beta: entries are never merged.
        EXPECT_EQ(board->store().count(2).value(), 3u);
        EXPECT_EQ(test::readFile(t.file(2, "a2.zip")), test::bytesOf(yes ? "alpha A2.ZIP" : "beta's own a2"));
        EXPECT_EQ(test::fileExists(t.file(1, "A2.ZIP")), !yes) << "yes = " << yes;
    }
}

TEST(EntryTransfer, AMovedFileAnotherSourceEntryNamesByItsLongNameStays)
{
    TransferTestBoard t;
    const Entry twin { .name = "LONGNA~1.ZIP", .longName = "Long name.zip" };
    t.builder.writeEntries(1, { twin, twin });
    t.builder.writeEntries(2, {});
    t.putFile(1, "Long name.zip", "long");
    auto board = t.open();
    auto outcome = EntryTransfer(*board).run(paste(*board, 1, { 0 }, true, 2, UINT64_MAX));
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.keptShared, QStringList { QString::fromStdString(t.file(1, "Long name.zip")) });
    EXPECT_TRUE(test::fileExists(t.file(1, "Long name.zip")));
    EXPECT_TRUE(test::fileExists(t.file(2, "Long name.zip")));
}

TEST_F(EntryTransferTest, MovingBetweenAreasThatShareADirectoryKeepsTheFile)
{
    t.builder.writeEntries(3, {});
    auto outcome = EntryTransfer(*board).run(paste(*board, 1, { 0 }, true, 3, UINT64_MAX));
    ASSERT_TRUE(outcome.ok());
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].status, FileCopier::Status::SameFile);
    EXPECT_EQ(test::readFile(t.file(1, "A1.ZIP")), test::bytesOf("alpha A1.ZIP"));
    EXPECT_EQ(board->store().count(3).value(), 1u);
    EXPECT_EQ(board->store().count(1).value(), 5u);
}

// The board counting a download of a shown entry meanwhile does not make it another entry: a
// direct move and a paste both go through, and the count goes along.
TEST(EntryTransfer, ACountBumpedSinceStillFindsTheEntry)
{
    for (const bool locate : { false, true }) {
        TransferTestBoard t;
        makeAreas(t);
        auto board = t.open();
        auto request = paste(*board, 1, { 3 }, true, 2, UINT64_MAX);
        request.locate = locate;
        auto hdr = test::readFile(t.builder.headerPath(1));
        hdr[3 * HeaderRecord::kSize + HeaderRecord::kDownloadsOffset] += 1;
        test::writeFile(t.builder.headerPath(1), hdr);
        const auto outcome = EntryTransfer(*board).run(request);
        ASSERT_TRUE(outcome.ok()) << locate << ": " << outcome.error->message;
        EXPECT_EQ(board->store().readHeader(2, board->store().count(2).value() - 1)->downloads(),
            HeaderRecord::decode(request.entries[0].row.record).downloads() + 1);
    }
}

// A paste finds held entries by their records wherever the area put them since; what is gone,
// or stands in the area twice away from where it was held, is refused, and so is a direct
// transfer of rows that are no longer where they were shown.
TEST(EntryTransfer, HeldEntriesAreFoundWhereTheyAreNowAndShownRowsMustStayPut)
{
    struct Case {
        const char* label;
        std::vector<uint64_t> since; // Alpha's new order (record k = old order[k])
        bool locate;
        std::optional<size_t> gone, ambiguous;
        std::vector<size_t> alphaAfter; // when the move goes through
    };
    const Case cases[] = {
        { "sorted since", { 5, 0, 1, 2, 3, 4 }, true, {}, {}, { 0, 1, 2, 4 } },
        { "a comment inserted in front", { 2, 0, 1, 2, 3, 4, 5 }, true, {}, {}, { 2, 0, 1, 2, 4 } },
        { "A4 removed", { 0, 1, 2, 4, 5 }, true, 0, {}, {} },
        { "A6 twice, neither where it was", { 5, 0, 1, 2, 3, 4, 5 }, true, {}, 1, {} },
        { "a direct move after a sort", { 5, 0, 1, 2, 3, 4 }, false, {}, {}, {} },
    };
    for (const Case& c : cases) {
        TransferTestBoard t;
        const Areas a = makeAreas(t);
        auto board = t.open();
        auto request = paste(*board, 1, { 3, 5 }, true, 2, UINT64_MAX);
        request.locate = c.locate;
        ASSERT_TRUE(board->store().rewrite(1, RewritePlan::permutation(c.since))) << c.label;
        const auto alpha = t.bytes(1), beta = t.bytes(2);
        const auto outcome = EntryTransfer(*board).run(request);
        EXPECT_EQ(outcome.gone, c.gone) << c.label;
        EXPECT_EQ(outcome.ambiguous, c.ambiguous) << c.label;
        if (c.alphaAfter.empty()) {
            EXPECT_EQ(outcome.failedAt, EntryTransfer::Stage::Checking) << c.label;
            EXPECT_EQ(outcome.error->code, kRowsChanged) << c.label;
            EXPECT_EQ(t.bytes(1), alpha) << c.label;
            EXPECT_EQ(t.bytes(2), beta) << c.label;
            EXPECT_TRUE(test::fileExists(t.file(1, "A4.ZIP"))) << c.label;
            continue;
        }
        ASSERT_TRUE(outcome.ok()) << c.label << ": " << outcome.error->message;
        EXPECT_EQ(t.bytes(1), test::areaBytesOf(a.alpha, c.alphaAfter)) << c.label;
        EXPECT_EQ(t.bytes(2), betaWith(a, { 3, 5 })) << c.label;
        EXPECT_TRUE(t.check(1).empty() && t.check(2).empty()) << c.label;
    }
}

TEST_F(EntryTransferTest, AMoveToADirectoryTakesCommentLinesAndCopiedFilesButKeepsEntriesWhoseFileStayed)
{
    const std::string out = t.tmp.path() + "/out";
    std::filesystem::create_directories(out);
    test::writeFile(out + "/a4.zip", "already there");
    EntryTransfer::Request r = paste(*board, 1, { 0, 2, 3 }, true, 0, 0);
    r.to = EntryTransfer::To::Directory;
    r.directory = QString::fromStdString(out);
    EntryTransfer::Callbacks no;
    no.copy.overwrite = [](const QString&) { return false; };
    auto outcome = EntryTransfer(*board).run(r, no);
    ASSERT_TRUE(outcome.ok());
    // A1 and the comment line leave; A4's copy was declined, so it stays with its file.
    EXPECT_EQ(t.bytes(1), test::areaBytesOf(a.alpha, { 1, 3, 4, 5 }));
    EXPECT_EQ(test::readFile(out + "/A1.ZIP"), test::bytesOf("alpha A1.ZIP"));
    EXPECT_FALSE(test::fileExists(t.file(1, "A1.ZIP")));
    EXPECT_TRUE(test::fileExists(t.file(1, "A4.ZIP")));
    EXPECT_EQ(test::readFile(out + "/a4.zip"), test::bytesOf("already there"));
    EXPECT_TRUE(t.check(1).empty());
}

// Check names what a killed transfer left: temporary copies, and a moved file still in the source
// directory (no entry of that directory names it; the entry that moved names its twin). Loading
// the area removes the temporary copies of processes that have ended.
TEST(TransferLeftovers, CheckNamesWhatAKilledTransferLeftAndLoadingRemovesDeadCopies)
{
    TransferTestBoard t;
    t.builder.writeEntries(1, { Entry { .name = "KEEP.ZIP" } });
    t.builder.writeEntries(2, { Entry { .name = "MOVED.ZIP" }, Entry { .name = "OTHER.ZIP" } });
    t.putFile(1, "KEEP.ZIP", "keep");
    t.putFile(1, "PENDING.ZIP", "an upload not added yet");
    t.putFile(1, "other.zip", "another file of that name");
    for (int area : { 1, 2 })
        t.putFile(area, "MOVED.ZIP", "moved");
    t.putFile(2, "OTHER.ZIP", "other");
    const auto stamp = std::filesystem::last_write_time(t.file(2, "MOVED.ZIP"));
    std::filesystem::last_write_time(t.file(1, "MOVED.ZIP"), stamp);
    const std::string dead = t.dir(2) + "/.qvcopy-" + std::to_string(endedProcess()) + "-0.tmp";
    const std::string live = t.dir(2) + "/.qvcopy-" + std::to_string(::getpid()) + "-7.tmp";
    test::writeFile(dead, "half");
    test::writeFile(live, "half");
    auto board = t.open();
    TransferLeftovers leftovers(*board);
    const QString dir1 = QString::fromStdString(t.dir(1));
    const QString dir2 = QString::fromStdString(t.dir(2));
    EXPECT_EQ(leftovers.find(1),
        QStringList({ "file " + dir1
            + "/MOVED.ZIP left by an interrupted transfer: entry 1 of area 2 names its twin in " + dir2 }));
    QStringList copies = leftovers.find(2);
    copies.sort();
    QStringList expected { "temporary copy " + QString::fromStdString(dead) + " left by an interrupted transfer",
        "temporary copy " + QString::fromStdString(live) + " left by an interrupted transfer" };
    expected.sort();
    EXPECT_EQ(copies, expected);
    EXPECT_EQ(leftovers.find(3), leftovers.find(1)) << "the directory area 1 shares";

    EXPECT_FALSE(board->loadArea(2, true).error);
    EXPECT_FALSE(test::fileExists(dead));
    EXPECT_TRUE(test::fileExists(live)) << "its process still runs";
}

TEST(SendTo, CopyOrMoveAddsTheFileAsTheLastEntryAndAMoveDeletesTheOriginalOnlyAfterwards)
{
    for (bool move : { false, true }) {
        TransferTestBoard t;
        t.builder.writeEntries(2, { Entry { .name = "B1.ZIP" } });
        const std::string original = t.tmp.path() + "/Download.Zip";
        test::writeFile(original, "payload");
        auto board = t.open();
        auto outcome = SendTo::run(*board, { 2, QString::fromStdString(original), move, "Sysop", true }, nullptr);
        ASSERT_TRUE(outcome.added) << (outcome.error ? outcome.error->message : "");
        EXPECT_EQ(test::readFile(t.file(2, "Download.Zip")), test::bytesOf("payload"));
        EXPECT_EQ(test::fileExists(original), !move);
        const auto rows = board->store().load(2, true).rows;
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1].name, "Download.zip");
        EXPECT_EQ(rows[1].size(), 7);
    }
}

// A file already in the area's directory is added and kept; a copy that fails adds nothing and
// keeps the original.
TEST(SendTo, AFileAlreadyThereIsKeptAndAFailedCopyAddsNothing)
{
    TransferTestBoard t;
    t.builder.writeAreas({ { "Alpha", "C:\\FILES\\A", 1 }, { "Lost", "D:\\NOWHERE", 1 } });
    t.builder.writeEntries(1, {});
    t.builder.writeEntries(2, {});
    t.putFile(1, "HERE.ZIP", "here");
    const std::string original = t.tmp.path() + "/x.zip";
    test::writeFile(original, "x");
    auto board = t.open();
    auto here = SendTo::run(*board, { 1, QString::fromStdString(t.file(1, "HERE.ZIP")), true, "Sysop", true }, nullptr);
    ASSERT_TRUE(here.added);
    EXPECT_EQ(here.copy.status, FileCopier::Status::SameFile);
    EXPECT_EQ(test::readFile(t.file(1, "HERE.ZIP")), test::bytesOf("here"));
    EXPECT_EQ(board->store().count(1).value(), 1u);
    auto failed = SendTo::run(*board, { 2, QString::fromStdString(original), true, "Sysop", true }, nullptr);
    EXPECT_FALSE(failed.added);
    EXPECT_TRUE(failed.copy.pathNotFound);
    EXPECT_TRUE(test::fileExists(original));
    EXPECT_EQ(board->store().count(2).value(), 0u);
}

} // namespace
} // namespace qv
