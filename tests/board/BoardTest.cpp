#include "board/Board.h"
#include "board/Messages.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <unistd.h>

namespace qv {
namespace {

namespace fs = std::filesystem;

Board::Options optionsFor(const std::string& boardDir, QMap<QChar, QString> drives = {})
{
    Board::Options o;
    o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(boardDir));
    o.drives = std::move(drives);
    return o;
}

TEST(Board, AreaDirectoryIsReadAfreshAndDecodedThroughTheCodePage)
{
    test::TempDir tmp;
    test::BoardBuilder b(tmp.path());
    b.writeConfig("Board");
    // 0x8E is "Ä" in CP437: the host directory carries it in UTF-8.
    const std::string stored = "C:\\FILES\\\x8E"
                               "PFEL";
    fs::create_directories(tmp.path() + "/files/\xC3\x84pfel");
    b.writeAreas({ { "Apples", stored, 1 } });
    Board board(optionsFor(b.boardDir(), { { 'C', QString::fromStdString(tmp.path()) } }));
    Board::AreaDirectory dir = board.areaDirectory(1);
    EXPECT_EQ(dir.stored, QString::fromUtf8("C:\\FILES\\\xC3\x84PFEL"));
    ASSERT_TRUE(dir.ok()) << dir.problem.toStdString();
    EXPECT_EQ(dir.host, QString::fromStdString(tmp.path()) + QString::fromUtf8("/files/\xC3\x84pfel"));

    // The sysop moves the area while the board is open: the next use sees the new path.
    fs::create_directories(tmp.path() + "/moved");
    b.writeAreas({ { "Apples", "C:\\MOVED\\", 1 } });
    dir = board.areaDirectory(1);
    EXPECT_EQ(dir.stored, "C:\\MOVED");
    EXPECT_EQ(dir.host, QString::fromStdString(tmp.path()) + "/moved");

    EXPECT_FALSE(board.areaDirectory(7).ok());
    EXPECT_EQ(board.areaDirectory(7).problem, messages::areaDoesNotExist(7));
}

// A missing CONFIG.RA or an unmappable file base path must never turn into the current
// directory: nothing is recovered, read or written there.
TEST(Board, NoFileBaseMeansNoDirectoryAtAll)
{
    test::TempDir tmp;
    test::BoardBuilder b(tmp.path());
    b.writeAreas({ { "Files", tmp.path(), 1 } });
    // Leftovers of some other program in the directory the tool was started from.
    const std::string stray = tmp.path() + "/cwd";
    test::writeFile(stray + "/hdr/fdb1.hdr", std::vector<uint8_t>(194, 'x'));
    test::writeFile(stray + "/hdr/fdb1.$$$", std::string_view("not ours"));
    const fs::path before = fs::current_path();
    fs::current_path(stray);
    for (const char* config : { "", "Q:\\NOWHERE\\FDB" }) {
        if (*config)
            b.writeConfig("Board", config);
        Board board(optionsFor(b.boardDir()));
        EXPECT_TRUE(board.fileBaseDirectory().isEmpty()) << config;
        EXPECT_FALSE(board.fileBaseProblem().isEmpty()) << config;
        EXPECT_TRUE(board.recoverInterruptedChanges().empty());
        const LoadOutcome outcome = board.store().load(1, true);
        ASSERT_TRUE(outcome.error.has_value()) << config;
        EXPECT_EQ(outcome.error->kind, LoadError::Kind::FileBasePathNotFound);
        EXPECT_EQ(messages::loadFailed(*outcome.error, board.fileBasePath()).text,
            QStringLiteral("File database path ") + QString::fromLatin1(config) + QStringLiteral(" not found!"));
    }
    EXPECT_TRUE(test::fileExists(stray + "/hdr/fdb1.$$$"));
    fs::current_path(before);
}

// The board in /srv/bbs/RA, its file base at C:\RA\FDB: C: is /srv/bbs for the areas too, though
// their paths share nothing with the board directory.
TEST(Board, DriveInferredFromTheFileBaseMapsTheAreas)
{
    test::TempDir tmp;
    const std::string root = tmp.path() + "/srv/bbs";
    test::BoardBuilder b(root + "/RA", root + "/RA/FDB");
    b.writeConfig("Board", "C:\\RA\\FDB");
    b.writeAreas({ { "Utilities", "C:\\FILES\\UTIL", 1 } });
    fs::create_directories(root + "/FILES/UTIL");
    Board board(optionsFor(b.boardDir()));
    EXPECT_EQ(board.fileBaseDirectory(), QString::fromStdString(root + "/RA/FDB"));
    const Board::AreaDirectory dir = board.areaDirectory(1);
    ASSERT_TRUE(dir.ok()) << dir.problem.toStdString();
    EXPECT_EQ(dir.host, QString::fromStdString(root + "/FILES/UTIL"));
}

TEST(Board, SelectorItemsInRecordOrderAndByName)
{
    test::TempDir tmp;
    test::BoardBuilder b(tmp.path());
    b.writeConfig("Board");
    b.writeAreas({ { "utilities", "/u", 1 }, { "" }, { "Games", "/g", 1 }, { "archive", "/a", 1 } });
    b.writeFilesRdx({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 3, 4 });
    Board board(optionsFor(b.boardDir()));
    EXPECT_EQ(board.numberedAreaItems(), QStringList({ "00012: utilities", "00013: Games", "00014: archive" }));
    EXPECT_EQ(board.areaNamesSorted(), QStringList({ "archive", "Games", "utilities" }));
}

// A deleted entry's file goes to the trash when the board is opened so, and the report says
// where the files went; without the trash it is unlinked and the report says why.
TEST(Board, DiscardedFilesGoToTheTrashOnlyWhenAsked)
{
    test::TempDir tmp;
    test::BoardBuilder b(tmp.path());
    b.writeConfig("Board");
    for (const bool trash : { true, false }) {
        const std::string file = tmp.path() + (trash ? "/KEEP.ZIP" : "/GONE.ZIP");
        test::writeFile(file, "bytes");
        Board::Options o = optionsFor(b.boardDir());
        o.useTrash = trash;
        const Board::Discarded d = Board(o).discardFile(QString::fromStdString(file));
        EXPECT_TRUE(d.gone);
        EXPECT_FALSE(test::fileExists(file));
        EXPECT_EQ(d.inTrash.isEmpty(), !trash);
        if (trash) {
            EXPECT_EQ(test::readBytes(d.inTrash), "bytes") << d.inTrash.toStdString();
            QFile::remove(d.inTrash);
        }
    }
    EXPECT_EQ(messages::removedReport(3, 2, 2, true), "3 entries removed, 2 files moved to the trash");
    EXPECT_EQ(messages::removedReport(3, 2, 1, true),
        "3 entries removed, 1 file moved to the trash, 1 file deleted, for want of a trash");
    EXPECT_EQ(messages::removedReport(1, 1), "1 entry removed, 1 file deleted");
}

// What a failed change tells the sysop depends on whether its files were left as they were or a
// journal finishes the change at the next load.
TEST(Messages, AFailedChangeSaysWhetherTheNextLoadFinishesIt)
{
    const auto pending = messages::changeFailed(
        3, "Sort", EIO, "rename fdb3.hdr: I/O error (the change is completed when the area is next loaded)");
    EXPECT_EQ(pending.title, "Sort");
    EXPECT_EQ(pending.text,
        "Area 3 could not be changed completely (error 5); the change is finished when the area is next loaded.");
    EXPECT_EQ(messages::changeFailed(3, "Sort", ENOSPC, "write fdb3.$$$: No space left on device").text,
        "Area 3 could not be changed (error 28: write fdb3.$$$: No space left on device); its files were left as "
        "they were.");
}

} // namespace
} // namespace qv
