#include "platform/DosPath.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct MappingCase {
    const char* label;
    const char* boardDir;
    QMap<QChar, QString> drives;
    const char* stored;
    const char* hostPath; // "" when an error is expected
    const char* error;
};

TEST(DosPathMapping, MapsStoredPathToHost)
{
    const QMap<QChar, QString> kNoDrives;
    const MappingCase cases[] = { { "unix", "/srv/bbs/RA", kNoDrives, "/data/Files", "/data/Files", "" },
        { "inferred", "/srv/bbs/RA", kNoDrives, "C:\\RA\\FDB", "/srv/bbs/RA/FDB", "" },
        { "trailingBlanksAndSlash", "/srv/bbs/RA", kNoDrives, "C:\\RA\\FDB\\   ", "/srv/bbs/RA/FDB", "" },
        { "inferredWithoutCase", "/srv/bbs/ra", kNoDrives, "c:\\RA\\Files\\UTIL", "/srv/bbs/RA/Files/UTIL", "" },
        // Both one and two trailing components match; the longer run is the right one.
        { "longestRun", "/x/RA/RA", kNoDrives, "C:\\RA\\RA\\FDB", "/x/RA/RA/FDB", "" },
        { "twoComponents", "/x/BBS/RA", kNoDrives, "C:\\BBS\\RA\\FDB", "/x/BBS/RA/FDB", "" },
        { "tableBeatsInference", "/srv/bbs/RA", { { QChar('C'), "/mnt/c" } }, "C:\\RA\\FDB", "/mnt/c/RA/FDB", "" },
        { "lowerCaseDriveLetter", "/srv/bbs/RA", { { QChar('d'), "/mnt/d/" } }, "d:\\DL", "/mnt/d/DL", "" },
        { "driveRootItself", "/srv/bbs/RA", { { QChar('D'), "/mnt/d" } }, "D:\\", "/mnt/d", "" },
        { "unmapped", "/srv/bbs/RA", kNoDrives, "D:\\FILES\\UP", "",
            "Drive D: is not mapped; add D=/path to the [Drives] section of QV.INI or pass --drive D=/path" },
        { "nothingInCommon", "/srv/bbs/RA", kNoDrives, "C:\\BBS\\FDB", "",
            "Drive C: is not mapped; add C=/path to the [Drives] section of QV.INI or pass --drive C=/path" },
        { "relativeToBoard", "/srv/bbs/RA", kNoDrives, "FDB\\HDR", "/srv/bbs/RA/FDB/HDR", "" },
        { "empty", "/srv/bbs/RA", kNoDrives, "   ", "", "The path is empty" },
        // Nothing may fall back on the directory the program runs in.
        { "relativeWithoutBoard", "", kNoDrives, "FDB", "", "The path FDB cannot be mapped to an absolute host path" },
        { "dotWithoutBoard", "", kNoDrives, ".", "", "The path . cannot be mapped to an absolute host path" },
        { "relativeDriveRoot", "/srv/bbs/RA", { { QChar('E'), "mnt/e" } }, "E:\\X", "",
            "The path E:\\X cannot be mapped to an absolute host path" } };
    for (const MappingCase& c : cases) {
        const auto mapped
            = qv::DosPathMapper(QString::fromUtf8(c.boardDir), c.drives).toHost(QString::fromUtf8(c.stored));
        EXPECT_EQ(mapped.hostPath.toStdString(), c.hostPath) << c.label;
        EXPECT_EQ(mapped.error.toStdString(), c.error) << c.label;
    }
}

TEST(DosPathMapper, ResolvesEveryComponentAgainstWhatExists)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath("ra/Files/util"));
    const qv::DosPathMapper mapper(tmp.path() + "/ra", {});
    const auto mapped = mapper.toHost("C:\\RA\\FILES\\UTIL\\NEW");
    ASSERT_TRUE(mapped.ok()) << mapped.error.toStdString();
    // Existing components take their stored spelling; the missing one stays as given.
    EXPECT_EQ(mapped.hostPath, tmp.path() + "/ra/Files/util/NEW");
}

// The file base path tells where a drive lies; every other path on that drive is then found under
// the same root, although it shares nothing with the board directory.
TEST(DosPathMapper, ADriveInferredOnceServesEveryPathOnIt)
{
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/srv/bbs";
    ASSERT_TRUE(QDir(root).mkpath("RA/FDB") && QDir(root).mkpath("FILES/UTIL"));
    qv::DosPathMapper mapper(root + "/RA", {});
    EXPECT_FALSE(mapper.toHost("C:\\FILES\\UTIL").ok());

    EXPECT_EQ(mapper.learnDriveRoot("C:\\RA\\FDB"), QChar('C'));
    const qv::DosPathMapper copy = mapper;
    for (const qv::DosPathMapper* m : { static_cast<const qv::DosPathMapper*>(&mapper), &copy }) {
        EXPECT_EQ(m->toHost("C:\\FILES\\UTIL").hostPath, root + "/FILES/UTIL");
        EXPECT_EQ(m->toHost("C:\\RA\\FDB").hostPath, root + "/RA/FDB");
        EXPECT_FALSE(m->toHost("D:\\FILES\\UTIL").ok());
    }
    // Another path that would match the board directory elsewhere does not move the root.
    EXPECT_EQ(mapper.learnDriveRoot("C:\\BBS\\RA\\X"), QChar('C'));
    EXPECT_EQ(mapper.toHost("C:\\FILES\\UTIL").hostPath, root + "/FILES/UTIL");

    // Mapping the file base path has the same effect; a [Drives] entry still wins.
    qv::DosPathMapper mapsFirst(root + "/RA", {});
    ASSERT_TRUE(mapsFirst.toHost("c:\\ra\\fdb").ok());
    EXPECT_EQ(mapsFirst.toHost("C:\\FILES\\UTIL").hostPath, root + "/FILES/UTIL");
    qv::DosPathMapper table(root + "/RA", { { QChar('C'), "/mnt/c" } });
    EXPECT_EQ(table.learnDriveRoot("C:\\RA\\FDB"), QChar('C'));
    EXPECT_EQ(table.toHost("C:\\FILES\\UTIL").hostPath, "/mnt/c/FILES/UTIL");
    // Nothing to learn from a path without a drive, or one that does not match the board.
    EXPECT_EQ(qv::DosPathMapper(root + "/RA", {}).learnDriveRoot("FDB"), QChar());
    EXPECT_EQ(qv::DosPathMapper(root + "/RA", {}).learnDriveRoot("C:\\OTHER"), QChar());
}

} // namespace
