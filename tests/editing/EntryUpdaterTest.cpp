#include "editing/EntryUpdater.h"
#include "tests/editing/EditingTestBoard.h"
#include "tests/support/FaultyFileIo.h"

#include <QDateTime>

#include <cerrno>
#include <sys/stat.h>

namespace qv {
namespace {

using test::Entry;
using test::packedDate;

QDateTime noon(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(12, 0));
}

constexpr uint8_t kMissing = uint8_t(Attribute::MissingOffline);

TEST(EntryUpdater, MissingFileGetsZeroSizeTheOldDateAndTheBitWhichARestoredFileKeeps)
{
    test::FilesTestBoard t;
    test::AreaFiles written = t.builder.writeEntries(1,
        { Entry { .name = "HERE.ZIP", .size = 1, .attributes = 0x04 }, Entry { .name = "", .description = "c" },
            Entry { .name = "GONE.ZIP", .size = 777, .fileDate = packedDate(2001, 2, 3), .attributes = 0x11 } });
    t.put("HERE.ZIP", "12345", noon(2019, 7, 30));
    auto board = t.open();
    auto rows = board->store().load(1, true).rows;
    EntryUpdater::Outcome outcome = EntryUpdater(*board).update(1, rows, { 0, 1, 2 });
    ASSERT_FALSE(outcome.error);
    ASSERT_EQ(outcome.changed.size(), 2u);
    EXPECT_EQ(outcome.missing, QStringList { "Gone.zip" });

    // Only size, file date and attributes of the two file entries differ from what was built.
    test::AreaFiles expected = written;
    expected.headers[0].setSize(5);
    expected.headers[0].setFileDate(packedDate(2019, 7, 30));
    expected.headers[2].setSize(0);
    expected.headers[2].setFileDate(packedDate(1980, 1, 1));
    expected.headers[2].setAttributes(0x11 | kMissing);
    EXPECT_EQ(t.bytes(), test::areaBytesOf(expected, { 0, 1, 2 }));

    // The file comes back: size and date follow it, the bit stays until the Properties dialog.
    t.put("GONE.ZIP", "123456789", noon(2024, 12, 31));
    rows = board->store().load(1, true).rows;
    outcome = EntryUpdater(*board).update(1, rows, { 2 });
    ASSERT_FALSE(outcome.error);
    ASSERT_EQ(outcome.changed.size(), 1u);
    EXPECT_FALSE(outcome.changed[0].missing);
    expected.headers[2].setSize(9);
    expected.headers[2].setFileDate(packedDate(2024, 12, 31));
    EXPECT_EQ(t.bytes(), test::areaBytesOf(expected, { 0, 1, 2 }));
    EXPECT_EQ(t.check(), std::vector<std::string>());
}

// Update writes the header's size, date and attribute bytes in place: an index or long-name file
// the board left short, or an index it deleted, is neither an obstacle nor rewritten.
TEST(EntryUpdater, OnlyTheHeaderIsPatchedWhateverTheOtherFilesHold)
{
    for (const size_t indexRecords : { size_t(0), size_t(1), size_t(2) }) {
        test::FilesTestBoard t;
        test::AreaFiles written = t.builder.writeEntries(
            1, { Entry { .name = "ONE.ZIP", .size = 1, .longName = "" }, Entry { .name = "TWO.ZIP", .size = 2 } });
        if (indexRecords == 0) {
            std::filesystem::remove(t.builder.indexPath(1));
        } else {
            auto idx = test::readFile(t.builder.indexPath(1));
            idx.resize(indexRecords * IndexRecord::kSize);
            test::writeFile(t.builder.indexPath(1), idx);
        }
        auto lfn = test::readFile(t.builder.longNamePath(1));
        lfn.resize(LongNameRecord::kSize);
        test::writeFile(t.builder.longNamePath(1), lfn);
        t.put("TWO.ZIP", "12345", noon(2019, 7, 30));
        const auto before = t.bytes();
        auto board = t.open();
        const auto rows = board->store().load(1, true).rows;
        const EntryUpdater::Outcome outcome = EntryUpdater(*board).update(1, rows, { 0, 1 });
        ASSERT_FALSE(outcome.error) << indexRecords << ": " << outcome.error->message;
        EXPECT_EQ(outcome.changed.size(), 2u);
        test::AreaFiles expected = written;
        expected.headers[0].setSize(0);
        expected.headers[0].setFileDate(packedDate(1980, 1, 1));
        expected.headers[0].setAttributes(kMissing);
        expected.headers[1].setSize(5);
        expected.headers[1].setFileDate(packedDate(2019, 7, 30));
        const auto after = t.bytes();
        EXPECT_EQ(after.hdr, test::areaBytesOf(expected, { 0, 1 }).hdr) << indexRecords;
        EXPECT_EQ(after.idx, before.idx) << indexRecords;
        EXPECT_EQ(after.lfn, before.lfn) << indexRecords;
        EXPECT_EQ(after.txt, before.txt) << indexRecords;
    }
}

TEST(EntryUpdater, UnreadableFileIsSkippedAndNamedWhileTheOthersChange)
{
    test::FilesTestBoard t;
    test::AreaFiles written = t.builder.writeEntries(1,
        { Entry { .name = "LOCKED.ZIP", .size = 6, .fileDate = packedDate(2000, 1, 2) },
            Entry { .name = "OPEN.ZIP", .size = 3 } });
    t.put("LOCKED.ZIP", "123456", noon(2000, 1, 2));
    t.put("OPEN.ZIP", "1234", noon(2000, 1, 2));
    test::FaultyFileIo io(systemFileIo());
    auto board = t.open(io);
    const auto rows = board->store().load(1, true).rows;
    // A first update of LOCKED.ZIP alone, which matches its file, finds where it is opened; the
    // second denies that open, as without permission (tests run as root, where a mode of 000
    // would not stop a read).
    io.resetCounts();
    ASSERT_TRUE(EntryUpdater(*board).update(1, rows, { 0 }).changed.empty());
    int opens = 0;
    for (const auto& call : io.callLog())
        if (call.op == test::FaultyFileIo::Op::Open && (++opens, call.file.find("LOCKED.ZIP") != std::string::npos))
            break;
    io.resetCounts();
    io.failAt(test::FaultyFileIo::Op::Open, opens, EACCES);
    const auto outcome = EntryUpdater(*board).update(1, rows, { 0, 1 });
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(outcome.skipped, QStringList { "Locked.zip" });
    ASSERT_EQ(outcome.changed.size(), 1u);
    EXPECT_EQ(outcome.changed[0].position, 1u);
    written.headers[1].setSize(4);
    written.headers[1].setFileDate(packedDate(2000, 1, 2));
    EXPECT_EQ(t.bytes(), test::areaBytesOf(written, { 0, 1 }));
}

TEST(EntryUpdater, EntriesThatAlreadyMatchTheirFilesWriteNothing)
{
    test::FilesTestBoard t;
    t.builder.writeEntries(1, { Entry { .name = "SAME.ZIP", .size = 4, .fileDate = packedDate(2010, 5, 6) } });
    t.put("SAME.ZIP", "1234", noon(2010, 5, 6));
    struct stat before { };
    ASSERT_EQ(::stat(t.builder.headerPath(1).c_str(), &before), 0);
    auto board = t.open();
    const auto outcome = EntryUpdater(*board).update(1, board->store().load(1, true).rows, { 0 });
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.changed.empty());
    struct stat after { };
    ASSERT_EQ(::stat(t.builder.headerPath(1).c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the header file was replaced";
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

// A directory that cannot be reached (an unmapped drive, an unreadable FILES.RA) is no proof that
// the files are gone: nothing is marked missing.
TEST(EntryUpdater, AnUnreachableAreaDirectoryChangesNothing)
{
    test::FilesTestBoard t;
    t.builder.writeAreas({ { "Files", "Q:\\NOWHERE", 1 } });
    t.builder.writeEntries(1, { Entry { .name = "A.ZIP", .size = 5 } });
    const test::AreaBytes before = t.bytes();
    auto board = t.open();
    const auto outcome = EntryUpdater(*board).update(1, board->store().load(1, true).rows, { 0 });
    ASSERT_TRUE(outcome.error);
    EXPECT_TRUE(outcome.missing.isEmpty());
    EXPECT_EQ(t.bytes(), before);
}

} // namespace
} // namespace qv
