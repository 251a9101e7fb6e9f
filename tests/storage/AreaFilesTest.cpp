#include "storage/AreaFiles.h"
#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"
#include "storage/MemoryFileIo.h"
#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qv {
namespace {

TEST(AreaFiles, NamesUseThePlainDecimalNumberInLowerCaseWhenNothingExists)
{
    MemoryFileIo io;
    io.addDirectory("/fdb");
    EXPECT_EQ(areaFilePath(io, "/fdb", 5, AreaFileKind::Header), "/fdb/hdr/fdb5.hdr");
    EXPECT_EQ(areaFilePath(io, "/fdb/", 65534, AreaFileKind::Header), "/fdb/hdr/fdb65534.hdr");
    EXPECT_EQ(areaFilePath(io, "/fdb", 1200, AreaFileKind::Index), "/fdb/idx/fdb1200.idx");
    EXPECT_EQ(areaFilePath(io, "/fdb", 7, AreaFileKind::Description), "/fdb/txt/fdb7.txt");
    EXPECT_EQ(areaFilePath(io, "/fdb", 7, AreaFileKind::LongName), "/fdb/hdr/fdb7.lfn");
}

// Boards written on a system without case keep whatever case their tools chose.
TEST(AreaFiles, FindsExistingFilesWhateverTheirCase)
{
    test::TempDir tmp;
    test::BoardBuilder board(tmp.path() + "/Ra", tmp.path() + "/FileBase");
    board.setUpperCaseAreaFiles(true);
    board.writeEntries(12, { { .name = "A.ZIP" } });
    const std::string base = tmp.path() + "/filebase";
    EXPECT_EQ(areaFilePath(systemFileIo(), base, 12, AreaFileKind::Header), tmp.path() + "/FileBase/HDR/FDB12.HDR");
    EXPECT_EQ(areaFilePath(systemFileIo(), base, 12, AreaFileKind::Index), tmp.path() + "/FileBase/IDX/FDB12.IDX");
    EXPECT_EQ(areaFilePath(systemFileIo(), base, 12, AreaFileKind::LongName), tmp.path() + "/FileBase/HDR/FDB12.LFN");
    // A file that is missing in an existing upper-case directory keeps the directory's spelling.
    EXPECT_EQ(areaFilePath(systemFileIo(), base, 13, AreaFileKind::Header), tmp.path() + "/FileBase/HDR/fdb13.hdr");
    // An exact match wins over another spelling beside it.
    test::writeFile(tmp.path() + "/FileBase/HDR/fdb12.hdr", "");
    EXPECT_EQ(areaFilePath(systemFileIo(), base, 12, AreaFileKind::Header), tmp.path() + "/FileBase/HDR/fdb12.hdr");
}

// Directories that differ only in case may each hold some of the areas; every component is tried
// in each spelling, the exact one first, until one leads to the file.
TEST(AreaFiles, EverySpellingOfADirectoryIsTriedForTheFile)
{
    MemoryFileIo io;
    io.setFile("/b/fdb/HDR/FDB2.HDR", "");
    io.setFile("/b/fdb/hdr/fdb3.hdr", "");
    io.setFile("/b/fdb/hdr/x/y", "");
    io.setFile("/b/FDB/hdr/fdb4.hdr", "");
    io.setFile("/b/fdb/HDR/same", "");
    io.setFile("/b/fdb/hdr/same", "");
    EXPECT_EQ(areaFilePath(io, "/b/fdb", 2, AreaFileKind::Header), "/b/fdb/HDR/FDB2.HDR");
    EXPECT_EQ(areaFilePath(io, "/b/fdb", 3, AreaFileKind::Header), "/b/fdb/hdr/fdb3.hdr");
    EXPECT_EQ(areaFilePath(io, "/b/fdb", 4, AreaFileKind::Header), "/b/FDB/hdr/fdb4.hdr");
    // The long-name file belongs beside its header file, also before it exists.
    EXPECT_EQ(areaFilePath(io, "/b/fdb", 2, AreaFileKind::LongName), "/b/fdb/HDR/fdb2.lfn");
    EXPECT_EQ(resolveCaseInsensitive(io, "/B/FDB/HDR/X/Y"), "/b/fdb/hdr/x/y");
    EXPECT_EQ(resolveCaseInsensitive(io, "/b/fdb/hdr/SAME"), "/b/fdb/hdr/same");
    EXPECT_EQ(resolveCaseInsensitive(io, "/b/fdb/HDR/SAME"), "/b/fdb/HDR/same");
    // Nothing leads to the file: each existing directory in its first spelling, exact first.
    EXPECT_EQ(resolveCaseInsensitive(io, "/b/fdb/hdr/fdb9.hdr"), "/b/fdb/hdr/fdb9.hdr");
    EXPECT_EQ(resolveCaseInsensitive(io, "/b/Fdb/Hdr/fdb9.hdr"), "/b/FDB/hdr/fdb9.hdr");
    // Recovery looks for journals in every spelling, not only the first found.
    auto variants = caseVariants(io, "/b/fdb/hdr");
    std::sort(variants.begin(), variants.end());
    EXPECT_EQ(variants, (std::vector<std::string> { "/b/FDB/hdr", "/b/fdb/HDR", "/b/fdb/hdr" }));
}

TEST(AreaFiles, AreasInDirectoriesOfEitherCaseLoadAndChange)
{
    test::TempDir tmp;
    test::BoardBuilder board(tmp.path());
    board.setUpperCaseAreaFiles(true);
    board.writeEntries(2, { { .name = "TWO.ZIP", .description = "two" } });
    board.setUpperCaseAreaFiles(false);
    board.writeEntries(3, { { .name = "THREE.ZIP", .description = "three" } });
    ASSERT_TRUE(test::fileExists(board.fileBaseDir() + "/HDR/FDB2.HDR"));
    ASSERT_TRUE(test::fileExists(board.fileBaseDir() + "/hdr/fdb3.hdr"));

    AreaStore store(systemFileIo(), board.fileBaseDir());
    for (int area : { 2, 3 }) {
        const auto loaded = store.load(area, true);
        ASSERT_FALSE(loaded.error) << area;
        EXPECT_EQ(loaded.rows.size(), 1u) << area;
        ASSERT_TRUE(store.insertEntry(area, 1, test::newEntry("NEW.ZIP"), "new")) << area;
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), area), std::vector<std::string>()) << area;
    }
    EXPECT_EQ(test::readFile(board.fileBaseDir() + "/HDR/FDB2.HDR").size(), 2 * HeaderRecord::kSize);
    EXPECT_EQ(test::readFile(board.fileBaseDir() + "/IDX/FDB2.IDX").size(), 2 * IndexRecord::kSize);
    EXPECT_EQ(test::readFile(board.fileBaseDir() + "/hdr/fdb3.hdr").size(), 2 * HeaderRecord::kSize);
    EXPECT_FALSE(test::fileExists(board.fileBaseDir() + "/hdr/fdb2.hdr"));
}

TEST(AreaFiles, ResolvingKeepsMissingTailsAndRelativePaths)
{
    MemoryFileIo io;
    io.setFile("/Board/CONFIG.RA", "");
    EXPECT_EQ(resolveCaseInsensitive(io, "/board//config.ra"), "/Board/CONFIG.RA");
    EXPECT_EQ(resolveCaseInsensitive(io, "/board/x/Config.ra"), "/Board/x/Config.ra");
    EXPECT_EQ(resolveCaseInsensitive(io, "board/config.ra"), "Board/CONFIG.RA");
    EXPECT_EQ(resolveCaseInsensitive(io, ""), "");
    EXPECT_EQ(resolveCaseInsensitive(io, "/"), "/");
    // No file base, no area files: never a name taken from the current directory.
    EXPECT_EQ(areaFilePath(io, "", 1, AreaFileKind::Header), "");
}

} // namespace
} // namespace qv
