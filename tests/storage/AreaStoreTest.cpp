#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"
#include "storage/Description.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultyFileIo.h"

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;
using test::newEntry;
using test::readFile;

std::vector<std::string> names(const LoadOutcome& outcome)
{
    std::vector<std::string> out;
    for (const auto& row : outcome.rows)
        out.push_back(row.name.str());
    return out;
}

// The header names, index names and long names of an area as stored, record by record.
struct Stored {
    std::vector<std::string> headers, indexes, longNames;
    std::vector<int32_t> headerPointers, indexPointers;
};

Stored stored(const BoardBuilder& board, int area)
{
    Stored s;
    for (const auto& r : test::recordsIn<HeaderRecord>(board.headerPath(area))) {
        s.headers.push_back(r.name());
        s.headerPointers.push_back(r.descriptionPointer());
    }
    for (const auto& r : test::recordsIn<IndexRecord>(board.indexPath(area))) {
        s.indexes.push_back(r.name());
        s.indexPointers.push_back(r.descriptionPointer());
    }
    for (const auto& r : test::recordsIn<LongNameRecord>(board.longNamePath(area)))
        s.longNames.push_back(r.name());
    return s;
}

class AreaStoreTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    BoardBuilder board { tmp.path() };
    AreaStore store { systemFileIo(), board.fileBaseDir() };

    void threeEntries(int area = 1)
    {
        board.writeEntries(area,
            { Entry { .name = "MYFILE~1.TXT", .size = 100, .description = "foo", .longName = "MY FILE.TXT" },
                Entry { .name = "", .description = "a comment" },
                Entry { .name = "BAR.ARJ", .size = 200, .description = "bar", .longName = "   " } });
    }
};

TEST_F(AreaStoreTest, LoadsNamesCommentsAndOnlyWholeRecords)
{
    threeEntries();
    auto outcome = store.load(1, true);
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(names(outcome), (std::vector<std::string> { "My file.txt", " (Comment)", "Bar.arj" }));
    EXPECT_TRUE(outcome.rows[1].comment);
    EXPECT_EQ(outcome.rows[2].size(), 200);

    EXPECT_EQ(names(store.load(1, false)), (std::vector<std::string> { "Myfile~1.txt", " (Comment)", "Bar.arj" }));

    std::filesystem::resize_file(board.headerPath(1), 200);
    EXPECT_EQ(names(store.load(1, true)), std::vector<std::string> { "My file.txt" });

    test::writeFile(board.headerPath(1), std::vector<uint8_t>());
    outcome = store.load(1, true);
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.rows.empty());
}

// Loaded rows share their buffers: a change to one copy, or the end of the others, must not
// reach another.
TEST_F(AreaStoreTest, LoadedRowsKeepTheirBytesApart)
{
    threeEntries();
    auto outcome = store.load(1, true);
    ASSERT_EQ(outcome.rows.size(), 3u);
    const HeaderRecord::Bytes stored = outcome.rows[2].record;
    LoadedRow copy = outcome.rows[2];
    copy.record.mutableData()[HeaderRecord::kSizeOffset] = 7;
    EXPECT_EQ(copy.size(), 7);
    EXPECT_EQ(outcome.rows[2].size(), 200);
    outcome.rows[0].record.mutableData()[HeaderRecord::kSizeOffset] = 9;
    EXPECT_EQ(outcome.rows[1].record, test::recordsIn<HeaderRecord>(board.headerPath(1))[1].encode());

    LoadedRow kept = outcome.rows[2];
    LoadedRow alone = outcome.rows[2];
    alone.detach();
    const LoadedRow moved = std::move(kept);
    outcome = {};
    EXPECT_EQ(alone.record, stored);
    EXPECT_EQ(alone.name, "Bar.arj");
    EXPECT_EQ(moved.record, stored);
    EXPECT_EQ(kept.record, HeaderRecord::Bytes {});
    EXPECT_TRUE(kept.name.empty());
}

TEST_F(AreaStoreTest, ShortLongNameFileAndProgressEveryTenthRecord)
{
    std::vector<Entry> entries(25, Entry { .name = "A.ZIP" });
    entries[0].name = "LONGON~1";
    entries[0].longName = "Long one";
    board.writeEntries(2, entries);
    std::filesystem::resize_file(board.longNamePath(2), LongNameRecord::kSize + 10); // one and a partial one
    std::vector<int> calls;
    auto outcome = store.load(2, true, [&](int i, int count) {
        EXPECT_EQ(count, 25);
        calls.push_back(i);
    });
    ASSERT_EQ(outcome.rows.size(), 25u);
    EXPECT_EQ(outcome.rows[0].name, "Long one");
    EXPECT_EQ(outcome.rows[1].name, "A.zip");
    EXPECT_EQ(outcome.rows[2].name, "A.zip");
    EXPECT_EQ(calls, (std::vector<int> { 10, 20 }));
}

TEST_F(AreaStoreTest, ALargeAreaLoadsTheSameRowsAsReadingThemOneByOne)
{
    // Large enough for two decoding threads; names, comments and board long names differ per
    // row so a row landing in the wrong place shows, and the long-name file ends early. Every
    // third row shows a long name of 200 bytes and more, so the names outgrow the room first
    // set aside for them. Some sizes are over 2 GB, which the sum takes as unsigned.
    const int n = AreaStore::kParallelRows + 1234;
    std::vector<Entry> entries;
    for (int i = 0; i < n; ++i) {
        const std::string number = std::to_string(i);
        if (i % 97 == 0)
            entries.push_back(Entry { .name = "", .description = "comment " + number });
        else if (i % 3)
            entries.push_back(Entry { .name = "F" + number + ".ZIP", .size = i % 5 ? i : -i }); // over 2 GB
        else
            entries.push_back(Entry {
                .name = "L~" + number + ".ZIP", .size = i, .longName = "L" + std::string(200, 'x') + number + ".zip" });
    }
    board.writeEntries(1, entries);
    std::filesystem::resize_file(board.longNamePath(1), size_t(n - 700) * LongNameRecord::kSize);
    std::vector<uint64_t> all(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        all[size_t(i)] = uint64_t(i);
    int last = 0;
    auto loaded = store.load(
        1, true,
        [&](int i, int count) {
            EXPECT_EQ(count, n);
            EXPECT_GE(i, last);
            last = i;
        },
        WithPointers::Yes);
    ASSERT_FALSE(loaded.error);
    EXPECT_GE(last, n - 20);
    auto one = store.readRows(1, all, true);
    ASSERT_TRUE(one);
    ASSERT_EQ(loaded.rows.size(), one->size());
    ASSERT_EQ(loaded.pointers.size(), one->size());
    uint64_t sizes = 0;
    for (size_t i = 0; i < one->size(); ++i) {
        EXPECT_EQ(loaded.rows[i].name, (*one)[i].name) << i;
        EXPECT_EQ(loaded.rows[i].size(), (*one)[i].size()) << i;
        const HeaderRecord header = HeaderRecord::decode((*one)[i].record);
        EXPECT_EQ(std::pair(loaded.pointers[i].description, loaded.pointers[i].longName),
            std::pair(header.descriptionPointer(), header.longNamePointer()))
            << i;
        sizes += uint32_t((*one)[i].size());
    }
    EXPECT_EQ(loaded.sizes, sizes);
    EXPECT_TRUE(store.load(1, true).pointers.empty()); // only when asked for
    EXPECT_EQ(loaded.rows[size_t(n - 2)].name, "F" + std::to_string(n - 2) + ".zip");
    // A row kept keeps its name when the rest are gone.
    const LoadedRow kept = loaded.rows[21];
    loaded = {};
    EXPECT_EQ(kept.name, "L" + std::string(200, 'x') + "21.zip");
}

TEST_F(AreaStoreTest, LoadErrorsAreTold)
{
    auto outcome = store.load(9, true);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->kind, LoadError::Kind::FileBasePathNotFound);

    test::writeFile(board.headerPath(8), "x");
    AreaStore elsewhere(systemFileIo(), tmp.path() + "/no-such-dir");
    ASSERT_TRUE(elsewhere.load(8, true).error);
    EXPECT_EQ(elsewhere.load(8, true).error->kind, LoadError::Kind::FileBasePathNotFound);
    // A file where the file base's directory should be (ENOTDIR).
    AreaStore onAFile(systemFileIo(), board.headerPath(8));
    const auto notADirectory = onAFile.load(8, true);
    ASSERT_TRUE(notADirectory.error);
    EXPECT_EQ(notADirectory.error->code, ENOTDIR);
    EXPECT_EQ(notADirectory.error->kind, LoadError::Kind::FileBasePathNotFound);
    const auto tooLong = AreaStore(systemFileIo(), tmp.path() + "/" + std::string(300, 'n')).load(8, true);
    ASSERT_TRUE(tooLong.error);
    EXPECT_EQ(tooLong.error->code, ENAMETOOLONG);
    EXPECT_EQ(tooLong.error->kind, LoadError::Kind::FileBasePathNotFound);

    // A read failing after some rows were made gives the error and no rows.
    board.writeEntries(7, std::vector<Entry>(1500, Entry { .name = "A.ZIP" }));
    test::FaultyFileIo faulty(systemFileIo());
    faulty.failAt(test::FaultyFileIo::Op::Read, 2, EIO);
    const auto broken = AreaStore(faulty, board.fileBaseDir()).load(7, false);
    ASSERT_TRUE(broken.error);
    EXPECT_EQ(broken.error->code, EIO);
    EXPECT_EQ(broken.error->kind, LoadError::Kind::FileBasePathNotFound); // as a drive gone away
    EXPECT_TRUE(broken.rows.empty());
    // The same when two threads share the load and one fails after both made rows.
    board.writeEntries(6, std::vector<Entry>(AreaStore::kParallelRows + 100, Entry { .name = "A.ZIP" }));
    faulty.failAt(test::FaultyFileIo::Op::Read, 12, EIO);
    const auto halves = AreaStore(faulty, board.fileBaseDir()).load(6, false, {}, WithPointers::Yes);
    ASSERT_TRUE(halves.error);
    EXPECT_EQ(halves.error->code, EIO);
    EXPECT_TRUE(halves.rows.empty());
    EXPECT_TRUE(halves.pointers.empty());
    EXPECT_EQ(halves.sizes, 0u);
}

// An insertion is a batch of one, whose bytes the batch test checks: here the front and the end,
// and a long-name pointer the caller left in its record.
TEST_F(AreaStoreTest, InsertAtTheFrontAndTheEndMovesEveryFileInStep)
{
    threeEntries();
    const auto before = readFile(board.descriptionPath(1));
    ASSERT_TRUE(store.insertEntry(1, 0, newEntry("ANEWFI~1.ZIP", "A new file.zip"), "new text"));
    auto last = newEntry("LAST.ZIP");
    last.header.setLongNamePointer(5);
    ASSERT_TRUE(store.insertEntry(1, 4, last, ""));
    const Stored s = stored(board, 1);
    EXPECT_EQ(s.headers, (std::vector<std::string> { "ANEWFI~1.ZIP", "MYFILE~1.TXT", "", "BAR.ARJ", "LAST.ZIP" }));
    EXPECT_EQ(s.indexes, s.headers);
    EXPECT_EQ(s.longNames, (std::vector<std::string> { "A new file.zip", "MY FILE.TXT", "", "   ", "" }));
    EXPECT_EQ(s.headerPointers[0], int32_t(before.size()));
    EXPECT_EQ(s.indexPointers, s.headerPointers);
    EXPECT_EQ(store.readHeader(1, 0)->longNamePointer(), int32_t(before.size() + 9));
    EXPECT_EQ(store.readHeader(1, 4)->longNamePointer(), 0);
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1).empty());
}

TEST_F(AreaStoreTest, InsertCreatesMissingLongNameAndDescriptionFiles)
{
    board.writeEntries(3, { Entry { .name = "ONE.ZIP", .description = std::nullopt } }, false);
    std::remove(board.descriptionPath(3).c_str());
    ASSERT_TRUE(store.insertEntry(3, 1, newEntry("TWO.ZIP"), "two"));
    const Stored s = stored(board, 3);
    EXPECT_EQ(s.headers, (std::vector<std::string> { "ONE.ZIP", "TWO.ZIP" }));
    EXPECT_EQ(s.longNames, (std::vector<std::string> { "", "" }));
    EXPECT_EQ(s.headerPointers[1], 0);
    EXPECT_EQ(readFile(board.descriptionPath(3)), test::bytesOf(std::string("two") + '\0'));
}

TEST_F(AreaStoreTest, RewrittenFilesKeepTheModeAndOwnerTheBoardGaveThem)
{
    threeEntries();
    const std::vector<std::pair<std::string, mode_t>> files
        = { { board.headerPath(1), 0640 }, { board.indexPath(1), 0604 }, { board.longNamePath(1), 0600 } };
    // Only root may give files away; anyone else checks the mode alone.
    const uid_t owner = ::geteuid() == 0 ? 65534 : ::geteuid();
    for (const auto& [file, mode] : files) {
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ASSERT_EQ(::chown(file.c_str(), owner, owner == 65534 ? 65534 : ::getegid()), 0);
    }
    ASSERT_TRUE(store.rewrite(1, RewritePlan::permutation({ 2, 1, 0 })));
    for (const auto& [file, mode] : files) {
        struct stat st { };
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << file;
        EXPECT_EQ(st.st_uid, owner) << file;
    }
}

// Stale temporary files of an earlier run and a long-name file shorter than the header file:
// a removal leaves three files of one length and none of the stale bytes.
TEST_F(AreaStoreTest, RemovalLeavesThreeFilesOfOneLengthWhateverLayBeside)
{
    threeEntries();
    std::filesystem::resize_file(board.longNamePath(1), LongNameRecord::kSize);
    const std::string stale(5000, 'S');
    test::writeFile(board.fileBaseDir() + "/hdr/fdb1.$$$", stale);
    test::writeFile(board.fileBaseDir() + "/idx/fdb1.$$$", stale);
    test::writeFile(board.fileBaseDir() + "/hdr/fdb1.l$$", stale);
    ASSERT_TRUE(store.rewrite(1, RewritePlan::removal(3, { 1 })));
    const Stored s = stored(board, 1);
    EXPECT_EQ(s.headers, (std::vector<std::string> { "MYFILE~1.TXT", "BAR.ARJ" }));
    EXPECT_EQ(s.indexes, s.headers);
    EXPECT_EQ(s.longNames, (std::vector<std::string> { "MY FILE.TXT", "" }));
    EXPECT_EQ(readFile(board.headerPath(1)).size(), 2 * HeaderRecord::kSize);
    EXPECT_EQ(readFile(board.indexPath(1)).size(), 2 * IndexRecord::kSize);
    EXPECT_EQ(readFile(board.longNamePath(1)).size(), 2 * LongNameRecord::kSize);
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 1).empty());
}

TEST_F(AreaStoreTest, PermutationsAcrossWindowsAndCaseOfExistingNames)
{
    board.setUpperCaseAreaFiles(true);
    std::vector<Entry> entries;
    for (int i = 0; i < 300; ++i)
        entries.push_back(Entry {
            .name = "F" + std::to_string(i) + ".ZIP", .longName = i % 3 ? "" : "f" + std::to_string(i) + ".zip" });
    std::vector<uint64_t> order;
    for (uint64_t i = 0; i < 300; ++i)
        order.push_back((i * 7 + 3) % 300); // 7 and 300 share no factor: every record once
    // Windows smaller than the area, with the scattered records read at once or window by window.
    for (size_t preload : { size_t(1) << 20, size_t(1000) }) {
        board.writeEntries(4, entries);
        store.setRewriteMemory(50 * HeaderRecord::kSize + 17, preload);
        ASSERT_TRUE(store.rewrite(4, RewritePlan::permutation(order)));
        const Stored s = stored(board, 4);
        ASSERT_EQ(s.headers.size(), 300u);
        ASSERT_EQ(s.longNames.size(), 300u);
        for (size_t k = 0; k < 300; ++k) {
            EXPECT_EQ(s.headers[k], "F" + std::to_string(order[k]) + ".ZIP");
            EXPECT_EQ(s.longNames[k], order[k] % 3 ? "" : "f" + std::to_string(order[k]) + ".zip");
        }
        EXPECT_EQ(s.indexes, s.headers);
    }
    // The upper-case names stay; nothing is left beside them.
    EXPECT_TRUE(test::fileExists(board.fileBaseDir() + "/HDR/FDB4.HDR"));
    EXPECT_FALSE(test::fileExists(board.fileBaseDir() + "/HDR/fdb4.hdr"));
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 4).empty());
}

TEST_F(AreaStoreTest, RecordsOfAnotherAreaGetTheirNewPointersAndLongNames)
{
    threeEntries(5);
    board.writeEntries(6, { Entry { .name = "HERE.ZIP", .description = "here" } }, false);
    // The index file of area 6 lost its record: it is rebuilt from the header.
    test::writeFile(board.indexPath(6), std::vector<uint8_t>());
    RewritePlan plan;
    plan.setOtherArea(5);
    plan.keep(0);
    plan.take(0, 77);
    plan.take(2);
    ASSERT_TRUE(store.rewrite(6, plan));
    const Stored s = stored(board, 6);
    EXPECT_EQ(s.headers, (std::vector<std::string> { "HERE.ZIP", "MYFILE~1.TXT", "BAR.ARJ" }));
    EXPECT_EQ(s.indexes, s.headers);
    EXPECT_EQ(s.headerPointers[1], 77);
    EXPECT_EQ(s.indexPointers[1], 77);
    EXPECT_EQ(s.longNames, (std::vector<std::string> { "", "MY FILE.TXT", "   " }));
    EXPECT_EQ(s.headerPointers[2], stored(board, 5).headerPointers[2]);

    RewritePlan wrong;
    wrong.keep(0, 4);
    const auto old = readFile(board.headerPath(6));
    auto r = store.rewrite(6, wrong);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, EINVAL);
    EXPECT_EQ(readFile(board.headerPath(6)), old);
}

TEST_F(AreaStoreTest, PatchesKeepOtherBytesAndStayInsideTheArea)
{
    threeEntries();
    auto hdr = readFile(board.headerPath(1));
    enc::putLong(hdr.data() + HeaderRecord::kSize + HeaderRecord::kLongNamePointerOffset, 2);
    hdr[HeaderRecord::kSize + HeaderRecord::kFreeOffset + 3] = 0xAB;
    test::writeFile(board.headerPath(1), hdr);
    const uint8_t downloads[2] = { 0xFF, 0xFF };
    ASSERT_TRUE(store.patchRecord(1, AreaFileKind::Header, 1, HeaderRecord::kDownloadsOffset, downloads));
    auto expected = hdr;
    expected[HeaderRecord::kSize + HeaderRecord::kDownloadsOffset] = 0xFF;
    expected[HeaderRecord::kSize + HeaderRecord::kDownloadsOffset + 1] = 0xFF;
    EXPECT_EQ(readFile(board.headerPath(1)), expected);
    EXPECT_EQ(store.readHeader(1, 1)->downloads(), 65535);

    // Past the area, past the record, or into the board's bytes from 174 on: refused, nothing written.
    EXPECT_FALSE(store.patchRecord(1, AreaFileKind::Header, 3, 0, downloads));
    EXPECT_FALSE(store.patchRecord(1, AreaFileKind::Index, 0, IndexRecord::kSize - 1, downloads));
    EXPECT_FALSE(store.patchRecord(1, AreaFileKind::Header, 1, HeaderRecord::kLongNamePointerOffset - 1, downloads));
    const HeaderRecord whole;
    EXPECT_FALSE(store.patchRecord(1, AreaFileKind::Header, 1, 0, whole.encode()));
    EXPECT_TRUE(store.patchRecord(
        1, AreaFileKind::Header, 1, 0, std::span(whole.encode()).first(HeaderRecord::kPatchableSize)));
    std::fill_n(expected.begin() + HeaderRecord::kSize, HeaderRecord::kPatchableSize, 0);
    EXPECT_EQ(readFile(board.headerPath(1)), expected);

    // Long names: the file is lengthened with empty records to reach the patched one.
    std::filesystem::resize_file(board.longNamePath(1), LongNameRecord::kSize + 3);
    LongNameRecord name;
    name.setName("Third");
    ASSERT_TRUE(store.patchRecord(1, AreaFileKind::LongName, 2, 0, name.encode()));
    EXPECT_EQ(stored(board, 1).longNames, (std::vector<std::string> { "MY FILE.TXT", "", "Third" }));
    EXPECT_EQ(store.readLongName(1, 5)->name(), "");

    // An index file shorter than the header has no record for the last entry to patch.
    std::filesystem::resize_file(board.indexPath(1), 2 * IndexRecord::kSize);
    EXPECT_FALSE(store.patchRecord(1, AreaFileKind::Index, 2, 0, downloads));
    EXPECT_EQ(std::filesystem::file_size(board.indexPath(1)), 2 * IndexRecord::kSize);
    // One longer than the header: its extra record belongs to no entry.
    std::filesystem::resize_file(board.indexPath(1), 4 * IndexRecord::kSize);
    const auto index = readFile(board.indexPath(1));
    EXPECT_FALSE(store.patchRecords(1, {}, { FieldPatch { AreaFileKind::Index, 3, 0, { 1, 2 }, std::nullopt } }));
    EXPECT_EQ(readFile(board.indexPath(1)), index);
}

} // namespace
} // namespace qv
