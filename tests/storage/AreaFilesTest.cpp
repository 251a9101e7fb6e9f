#include "storage/AreaFiles.h"
#include "storage/MemoryFileIo.h"
#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(AreaFiles, RecordCountIgnoresAPartialLastRecord)
{
    EXPECT_EQ(recordCount(390, AreaFileKind::Header), 2u);
    EXPECT_EQ(recordCount(387, AreaFileKind::Header), 1u);
    EXPECT_EQ(recordCount(0, AreaFileKind::Header), 0u);
    EXPECT_EQ(recordCount(82, AreaFileKind::Index), 2u);
    EXPECT_EQ(recordCount(511, AreaFileKind::LongName), 1u);
    EXPECT_EQ(recordCount(1000, AreaFileKind::Description), 0u);
}

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

TEST(AreaFiles, ResolvingKeepsMissingTailsAndRelativePaths)
{
    MemoryFileIo io;
    io.setFile("/Board/CONFIG.RA", "");
    EXPECT_EQ(resolveCaseInsensitive(io, "/board//config.ra"), "/Board/CONFIG.RA");
    EXPECT_EQ(resolveCaseInsensitive(io, "/board/x/Config.ra"), "/Board/x/Config.ra");
    EXPECT_EQ(resolveCaseInsensitive(io, "board/config.ra"), "Board/CONFIG.RA");
    EXPECT_EQ(resolveCaseInsensitive(io, ""), "");
    EXPECT_EQ(resolveCaseInsensitive(io, "/"), "/");
}

} // namespace
} // namespace qv
