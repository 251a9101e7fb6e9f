// Area files as the board software and its own tools leave them, built byte by byte: what the
// store reads from them and what it leaves for the board.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"
#include "storage/Description.h"
#include "storage/LongName.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultyFileIo.h"

#include <gtest/gtest.h>

#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;
using test::readFile;

TEST(LongNameRule, UsesALongNameOnlyWithItsOwnShortName)
{
    const std::tuple<const char*, const char*, bool> cases[] = { { "README.TXT", "readme.txt", true },
        { "README.TXT", " ReadMe.TXT ", true }, { "RELEAS~1.TXT", "Release notes 1.5.txt", true },
        { "RE~12345.TXT", "Release notes 1.5.txt", true }, { "ARCHIV~2.ZIP", "Archive with a long name.zip", true },
        { "A_B~1.HTM", "a+b.html", true }, // characters DOS cannot hold become '_'
        { "Z09AZA~1.TXT", "z09AZa.txt", true }, // the edges of the letters and digits DOS holds
        { "PROFIL~1", ".profile", true }, { "PROFIL~1", "..profile", true }, { "NOEXT~1", "no ext", true },
        { "ADDED.TXT", "Release notes 1.5.txt", false }, { "HOWTO.DOC", "Archive with a long name.zip", false },
        { "RELEAS~1.ZIP", "Release notes 1.5.txt", false }, // extension differs
        { "RELEAX~1.TXT", "Release notes 1.5.txt", false },
        { "RELEAS~X.TXT", "Release notes 1.5.txt", false }, // no number after ~
        { "~1.TXT", "Release notes 1.5.txt", false }, { "README.TXT", "   ", false }, { "", "readme.txt", false },
        // No 8.3 name: nine before the period, four after it, nothing between ~ and the period.
        { "REL~12345.TXT", "Release notes 1.5.txt", false }, { "RELEAS~1.TXTX", "Release notes 1.5.txtx", false },
        { "RELEAS~.TXT", "Release notes 1.5.txt", false } };
    for (const auto& [shortName, longName, belongs] : cases)
        EXPECT_EQ(longname::belongsTo(shortName, longName), belongs) << shortName << " " << longName;
}

class BoardInteropTest : public testing::Test {
protected:
    test::TempDir tmp;
    BoardBuilder board { tmp.path() };
    AreaStore store { systemFileIo(), board.fileBaseDir() };

    std::vector<std::string> names(int area, bool useLongNames = true)
    {
        auto outcome = store.load(area, useLongNames);
        EXPECT_FALSE(outcome.error);
        std::vector<std::string> out;
        for (const auto& row : outcome.rows)
            out.push_back(row.name.str());
        return out;
    }
    void setLongNamePointer(int area, size_t record, int32_t pointer)
    {
        test::patchLong(
            board.headerPath(area), record * HeaderRecord::kSize + HeaderRecord::kLongNamePointerOffset, pointer);
    }
    // The board's own way: the long name behind the area's texts, the record's pointer at it.
    int32_t appendBoardLongName(int area, size_t record, const std::string& name)
    {
        const int32_t at = test::appendText(board.descriptionPath(area), name);
        setLongNamePointer(area, record, at);
        return at;
    }
    bool leftovers(int area)
    {
        const std::string stem = board.fileBaseDir() + "/hdr/fdb" + std::to_string(area);
        return test::fileExists(stem + ".$$$") || test::fileExists(stem + ".l$$") || test::fileExists(stem + ".jnl")
            || test::fileExists(board.fileBaseDir() + "/idx/fdb" + std::to_string(area) + ".$$$");
    }
};

TEST_F(BoardInteropTest, CountsAndCostsAboveHalfTheRangeReadAsTheBoardReadsThem)
{
    board.writeEntries(1,
        { Entry { .name = "A.ZIP", .downloads = 32768, .cost = 65535 },
            Entry { .name = "B.ZIP", .downloads = 40000, .cost = 40000 },
            Entry { .name = "C.ZIP", .downloads = 65535, .cost = 32768 } });
    const auto hdr = readFile(board.headerPath(1));
    // The board's own bytes: plain little-endian.
    EXPECT_EQ(hdr[HeaderRecord::kSize + HeaderRecord::kDownloadsOffset], 0x40);
    EXPECT_EQ(hdr[HeaderRecord::kSize + HeaderRecord::kDownloadsOffset + 1], 0x9C);
    auto outcome = store.load(1, true);
    ASSERT_EQ(outcome.rows.size(), 3u);
    EXPECT_EQ(outcome.rows[0].downloads(), 32768);
    EXPECT_EQ(outcome.rows[1].downloads(), 40000);
    EXPECT_EQ(outcome.rows[2].downloads(), 65535);
    EXPECT_EQ(store.readHeader(1, 0)->cost(), 65535);
    EXPECT_EQ(store.readHeader(1, 2)->cost(), 32768);
}

TEST_F(BoardInteropTest, ALongNameOnlyAtTheBoardsPointerIsShown)
{
    // Made by the board: no long-name file, the long name after the description.
    board.writeEntries(
        2, { Entry { .name = "RELEAS~1.TXT", .description = "notes" }, Entry { .name = "PLAIN.ZIP" } }, false);
    const int32_t at = appendBoardLongName(2, 0, "Release notes 1.5.txt");
    setLongNamePointer(2, 1, at + 3); // a positive pointer at a zero byte...
    test::patchFile(board.descriptionPath(2), size_t(at) + 3, std::vector<uint8_t> { 0 });
    EXPECT_EQ(names(2), (std::vector<std::string> { "Rel", "Plain.zip" })) << "...gives no name";
    test::patchFile(board.descriptionPath(2), size_t(at) + 3, test::bytesOf("e"));
    setLongNamePointer(2, 1, -1);
    EXPECT_EQ(names(2), (std::vector<std::string> { "Release notes 1.5.txt", "Plain.zip" }));
    EXPECT_EQ(names(2, false), (std::vector<std::string> { "Releas~1.txt", "Plain.zip" }));
    EXPECT_EQ(*store.readShownLongName(2, 0), "Release notes 1.5.txt");
    EXPECT_EQ(*store.readShownLongName(2, 1), "");

    // An own long-name record that belongs wins; a blank one leaves the board's.
    std::vector<LongNameRecord> lfn(2);
    lfn[0].setName("   ");
    lfn[1].setName("plain.zip");
    std::vector<uint8_t> bytes;
    for (const auto& r : lfn)
        bytes.insert(bytes.end(), r.encode().begin(), r.encode().end());
    test::writeFile(board.longNamePath(2), bytes);
    EXPECT_EQ(names(2), (std::vector<std::string> { "Release notes 1.5.txt", "plain.zip" }));
    EXPECT_EQ(*store.readShownLongName(2, 1), "plain.zip");
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 2).empty());
}

// The board's tools sort or kill entries by rewriting header and index only.
TEST_F(BoardInteropTest, AfterTheBoardSortedOrKilledOnlyLongNamesThatStillBelongAreShown)
{
    board.writeEntries(3,
        { Entry { .name = "ARCHIV~1.ZIP", .description = "zip", .longName = "Archive with a long name.zip" },
            Entry { .name = "HOWTO.DOC", .description = "doc" } });
    ASSERT_TRUE(store.insertEntry(3, 2, test::newEntry("RELEAS~1.TXT", "Release notes 1.5.txt"), "notes"));
    ASSERT_TRUE(store.insertEntry(3, 3, test::newEntry("ADDED.TXT"), "added"));
    EXPECT_EQ(names(3),
        (std::vector<std::string> {
            "Archive with a long name.zip", "Howto.doc", "Release notes 1.5.txt", "Added.txt" }));

    // Sorted by name: ADDED, ARCHIV~1, HOWTO, RELEAS~1; the long-name file stays as it was.
    const auto hdr = readFile(board.headerPath(3));
    const auto idx = readFile(board.indexPath(3));
    const auto lfn = readFile(board.longNamePath(3));
    auto reorder = [](const std::vector<uint8_t>& from, size_t size, std::vector<size_t> order) {
        std::vector<uint8_t> out;
        for (size_t k : order)
            out.insert(out.end(), from.begin() + long(k * size), from.begin() + long((k + 1) * size));
        return out;
    };
    test::writeFile(board.headerPath(3), reorder(hdr, HeaderRecord::kSize, { 3, 0, 1, 2 }));
    test::writeFile(board.indexPath(3), reorder(idx, IndexRecord::kSize, { 3, 0, 1, 2 }));
    // ADDED.TXT beside "Archive with...", ARCHIV~1 beside nothing of its own, HOWTO.DOC beside
    // "Release notes"; the release notes keep their name through the board's pointer.
    EXPECT_EQ(
        names(3), (std::vector<std::string> { "Added.txt", "Archiv~1.zip", "Howto.doc", "Release notes 1.5.txt" }));
    EXPECT_EQ(*store.readShownLongName(3, 0), "");
    EXPECT_EQ(*store.readShownLongName(3, 3), "Release notes 1.5.txt");
    EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 3),
        (std::vector<std::string> {
            "record 1: long name \"Archive with a long name.zip\" does not belong to header name \"ADDED.TXT\"",
            "record 3: long name \"Release notes 1.5.txt\" does not belong to header name \"HOWTO.DOC\"" }));

    // Our own rewrites keep the pairs as they are.
    const auto lfnBefore = readFile(board.longNamePath(3));
    ASSERT_TRUE(store.rewrite(3, RewritePlan::permutation({ 1, 0, 2, 3 })));
    EXPECT_EQ(readFile(board.longNamePath(3)), reorder(lfnBefore, LongNameRecord::kSize, { 1, 0, 2, 3 }));

    // Killed by the board: HOWTO.DOC moves up beside the archive's long name.
    test::writeFile(board.headerPath(1), reorder(hdr, HeaderRecord::kSize, { 1, 2, 3 }));
    test::writeFile(board.indexPath(1), reorder(idx, IndexRecord::kSize, { 1, 2, 3 }));
    test::writeFile(board.longNamePath(1), lfn);
    test::writeFile(board.descriptionPath(1), readFile(board.descriptionPath(3)));
    EXPECT_EQ(names(1), (std::vector<std::string> { "Howto.doc", "Release notes 1.5.txt", "Added.txt" }));
}

TEST_F(BoardInteropTest, ATransferredBoardLongNamePointsIntoTheDestinationsOwnFile)
{
    // Source area 5, made by the board: the long name after the description, no long-name file.
    board.writeEntries(5,
        { Entry { .name = "RELEAS~1.TXT", .description = "notes" }, Entry { .name = "LOST.ZIP", .description = "x" } },
        false);
    const int32_t at = appendBoardLongName(5, 0, "Release notes 1.5.txt");
    const auto src = readFile(board.descriptionPath(5));
    setLongNamePointer(5, 1, at + 1000); // leads nowhere
    board.writeEntries(6, { Entry { .name = "HERE.ZIP", .description = "here" } });
    auto dst = readFile(board.descriptionPath(6));
    const int32_t description = store.appendDescription(6, "notes").value();

    RewritePlan plan;
    plan.setOtherArea(5);
    plan.keep(0);
    plan.take(0, description);
    plan.take(1);
    ASSERT_TRUE(store.rewrite(6, plan));
    const HeaderRecord moved = *store.readHeader(6, 1);
    EXPECT_EQ(moved.descriptionPointer(), description);
    EXPECT_EQ(moved.longNamePointer(), description + 6);
    for (char c : std::string("notes") + '\0' + "Release notes 1.5.txt" + '\0')
        dst.push_back(uint8_t(c));
    EXPECT_EQ(readFile(board.descriptionPath(6)), dst);
    EXPECT_EQ(store.readHeader(6, 2)->longNamePointer(), 0) << "a pointer that led nowhere is dropped";
    EXPECT_EQ(store.readHeader(6, 0)->longNamePointer(), 0);
    EXPECT_EQ(names(6), (std::vector<std::string> { "Here.zip", "Release notes 1.5.txt", "Lost.zip" }));
    EXPECT_EQ(readFile(board.descriptionPath(5)), src) << "the source is only read";
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), board.fileBaseDir(), 6).empty());
}

// The board counts a download in place, or adds an upload, while each change runs.
TEST_F(BoardInteropTest, ARewriteCarriesOverWhatTheBoardWroteMeanwhile)
{
    board.writeEntries(7,
        { Entry { .name = "ONE.ZIP", .description = "one", .longName = "one.zip" },
            Entry { .name = "TWO.ZIP", .description = "two" } });
    board.writeEntries(8, { Entry { .name = "OTHER.ZIP", .description = "o" } });
    ASSERT_EQ(appendBoardLongName(8, 0, "Other file.zip"), 2);

    // Each change, and the names it leaves in order (the board's upload last).
    struct Change {
        std::function<Result<void>(AreaStore&)> run;
        std::vector<std::string> names;
    };
    const std::vector<Change> changes {
        { [](AreaStore& s) {
             return s.rewrite(7, RewritePlan::permutation({ 1, 0 }));
         },
            { "TWO.ZIP", "ONE.ZIP" } },
        { [](AreaStore& s) {
             NewEntry e = test::newEntry("ANEWFI~1.ZIP", "A new file.zip");
             e.index.setName("");
             return s.insertEntry(7, 0, e, "new");
         },
            { "ANEWFI~1.ZIP", "ONE.ZIP", "TWO.ZIP" } },
        { [](AreaStore& s) {
             RewritePlan plan;
             plan.setOtherArea(8);
             plan.keep(0, 2);
             plan.take(0, 0);
             return s.rewrite(7, plan);
         },
            { "ONE.ZIP", "TWO.ZIP", "OTHER.ZIP" } },
    };
    const auto hdr0 = readFile(board.headerPath(7));
    const auto idx0 = readFile(board.indexPath(7));
    enum Meanwhile { Counted, Uploaded, Edited };
    for (const Meanwhile what : { Counted, Uploaded, Edited })
        for (size_t c = 0; c < changes.size(); ++c) {
            SCOPED_TRACE("change " + std::to_string(c) + ", meanwhile " + std::to_string(int(what)));
            const bool append = what == Uploaded;
            test::writeFile(board.headerPath(7), hdr0);
            test::writeFile(board.indexPath(7), idx0);
            test::FaultyFileIo io(systemFileIo());
            // Between the copy of the old records and the last look at them: a download counted,
            // an upload, or ONE.ZIP's size written anew by the board's own tools.
            io.beforeStamp(3, [&](const std::string&) {
                if (append)
                    test::patchFile(
                        board.headerPath(7), hdr0.size(), test::headerOf(Entry { .name = "UPLOAD.ZIP" }, -1).encode());
                else
                    test::patchFile(board.headerPath(7),
                        what == Counted ? HeaderRecord::kDownloadsOffset : HeaderRecord::kSizeOffset,
                        std::vector<uint8_t> { 0x41, 0x9C });
            });
            AreaStore guarded(io, board.fileBaseDir());
            ASSERT_TRUE(changes[c].run(guarded));
            EXPECT_EQ(guarded.lastCarriedOver(), (CarriedOver { append ? 1u : 0u, append ? 0u : 1u, std::nullopt }));
            std::vector<std::string> expected = changes[c].names;
            if (append)
                expected.push_back("UPLOAD.ZIP");
            std::vector<std::string> got;
            for (uint64_t k = 0; k < expected.size() + 1; ++k)
                if (auto h = guarded.readHeader(7, k)) {
                    got.push_back(h->name());
                    const bool one = h->name() == "ONE.ZIP";
                    EXPECT_EQ(h->downloads(), one && what == Counted ? 0x9C41 : 0) << h->name();
                    if (one) {
                        EXPECT_EQ(h->size() & 0xFFFF, what == Edited ? 0x9C41 : 0) << h->name();
                    }
                }
            EXPECT_EQ(got, expected);
            EXPECT_FALSE(leftovers(7));
        }
}

TEST_F(BoardInteropTest, APatchWaitsForTheBoardsLockOnTheFirstRecord)
{
    board.writeEntries(9, { Entry { .name = "ONE.ZIP" }, Entry { .name = "TWO.ZIP" } });
    const auto before = readFile(board.headerPath(9));
    int toChild[2], toParent[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The board: a classic record lock on bytes 0..193 of the header file.
        const int fd = ::open(board.headerPath(9).c_str(), O_RDWR);
        struct flock fl { };
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = HeaderRecord::kSize;
        const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
        (void)!::write(toParent[1], &ok, 1);
        char go;
        (void)!::read(toChild[0], &go, 1);
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    store.setLockWait(100);
    const uint8_t count[2] = { 7, 0 };
    // Record 2 lies outside the locked bytes, but every patch takes the lock on the first record.
    auto r = store.patchRecord(9, AreaFileKind::Header, 1, HeaderRecord::kDownloadsOffset, count);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, EAGAIN);
    EXPECT_EQ(readFile(board.headerPath(9)), before);
    EXPECT_FALSE(leftovers(9));

    (void)!::write(toChild[1], "g", 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(store.patchRecord(9, AreaFileKind::Header, 1, HeaderRecord::kDownloadsOffset, count));
    EXPECT_EQ(store.readHeader(9, 1)->downloads(), 7);
    for (int fd : { toChild[0], toChild[1], toParent[0], toParent[1] })
        ::close(fd);
}

// A board that measured the new header file's end before a late upload was carried there writes
// its own upload over it; the carried one must be placed again behind it, not lost.
TEST_F(BoardInteropTest, ACarriedUploadTheBoardWritesOverIsPlacedAgain)
{
    board.writeEntries(7, { Entry { .name = "ONE.ZIP" }, Entry { .name = "TWO.ZIP" } });
    test::FaultyFileIo io(systemFileIo());
    io.beforeStamp(3, [&](const std::string&) {
        test::appendBytes(board.headerPath(7), test::headerOf(Entry { .name = "UPLOAD.ZIP" }, -1).encode());
        test::appendBytes(board.indexPath(7), test::indexOf(Entry { .name = "UPLOAD.ZIP" }, -1).encode());
    });
    bool looked = false;
    io.beforeOpenElsewhere([&](FileIo::Handle h) {
        struct stat open {
        }, named {};
        if (::fstat(h, &open) != 0 || ::stat(board.headerPath(7).c_str(), &named) != 0 || open.st_ino != named.st_ino)
            return; // an old file
        if (std::exchange(looked, true))
            return;
        test::patchFile(
            board.headerPath(7), 2 * HeaderRecord::kSize, test::headerOf(Entry { .name = "STALE.ZIP" }, -1).encode());
        test::appendBytes(board.indexPath(7), test::indexOf(Entry { .name = "STALE.ZIP" }, -1).encode());
    });
    AreaStore guarded(io, board.fileBaseDir());
    ASSERT_TRUE(guarded.rewrite(7, RewritePlan::permutation({ 1, 0 })));
    EXPECT_TRUE(looked) << "the carried record was looked for";
    std::vector<std::string> got;
    for (uint64_t k = 0; k < 4; ++k)
        got.push_back(guarded.readHeader(7, k)->name());
    EXPECT_EQ(got, (std::vector<std::string> { "TWO.ZIP", "ONE.ZIP", "STALE.ZIP", "UPLOAD.ZIP" }));
    EXPECT_EQ(readFile(board.indexPath(7)).size(), 4 * IndexRecord::kSize);
    EXPECT_FALSE(leftovers(7));
}

} // namespace
} // namespace qv
