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

class DosPathMapping : public ::testing::TestWithParam<MappingCase> { };

TEST_P(DosPathMapping, MapsStoredPathToHost)
{
    const MappingCase& c = GetParam();
    const qv::DosPathMapper mapper(QString::fromUtf8(c.boardDir), c.drives);
    const auto mapped = mapper.toHost(QString::fromUtf8(c.stored));
    EXPECT_EQ(mapped.hostPath.toStdString(), c.hostPath);
    EXPECT_EQ(mapped.error.toStdString(), c.error);
}

const QMap<QChar, QString> kNoDrives;

INSTANTIATE_TEST_SUITE_P(Paths, DosPathMapping,
    ::testing::Values(MappingCase { "unix", "/srv/bbs/RA", kNoDrives, "/data/Files", "/data/Files", "" },
        MappingCase { "inferred", "/srv/bbs/RA", kNoDrives, "C:\\RA\\FDB", "/srv/bbs/RA/FDB", "" },
        MappingCase { "trailingBlanksAndSlash", "/srv/bbs/RA", kNoDrives, "C:\\RA\\FDB\\   ", "/srv/bbs/RA/FDB", "" },
        MappingCase {
            "inferredWithoutCase", "/srv/bbs/ra", kNoDrives, "c:\\RA\\Files\\UTIL", "/srv/bbs/RA/Files/UTIL", "" },
        // Both one and two trailing components match; the longer run is the right one.
        MappingCase { "longestRun", "/x/RA/RA", kNoDrives, "C:\\RA\\RA\\FDB", "/x/RA/RA/FDB", "" },
        MappingCase { "twoComponents", "/x/BBS/RA", kNoDrives, "C:\\BBS\\RA\\FDB", "/x/BBS/RA/FDB", "" },
        MappingCase {
            "tableBeatsInference", "/srv/bbs/RA", { { QChar('C'), "/mnt/c" } }, "C:\\RA\\FDB", "/mnt/c/RA/FDB", "" },
        MappingCase { "lowerCaseDriveLetter", "/srv/bbs/RA", { { QChar('d'), "/mnt/d/" } }, "d:\\DL", "/mnt/d/DL", "" },
        MappingCase { "driveRootItself", "/srv/bbs/RA", { { QChar('D'), "/mnt/d" } }, "D:\\", "/mnt/d", "" },
        MappingCase { "unmapped", "/srv/bbs/RA", kNoDrives, "D:\\FILES\\UP", "",
            "Drive D: is not mapped; add D=/path to the [Drives] section of QV.INI or pass --drive D=/path" },
        MappingCase { "nothingInCommon", "/srv/bbs/RA", kNoDrives, "C:\\BBS\\FDB", "",
            "Drive C: is not mapped; add C=/path to the [Drives] section of QV.INI or pass --drive C=/path" },
        MappingCase { "relativeToBoard", "/srv/bbs/RA", kNoDrives, "FDB\\HDR", "/srv/bbs/RA/FDB/HDR", "" },
        MappingCase { "empty", "/srv/bbs/RA", kNoDrives, "   ", "", "The path is empty" }),
    [](const auto& info) { return std::string(info.param.label); });

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

} // namespace
