#include "platform/ProfileFile.h"

#include "tests/support/ArchiveBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace qv {
namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    std::string contents() const { return test::readBytes(path).toStdString(); }

    QTemporaryDir dir;
    QString path = dir.filePath("QV.INI");
};

const QByteArray kBoard = "; written by hand\r\n"
                          "[Veltrano FE]\r\n"
                          "  RaDir =  /srv/bbs/RA/  \r\n"
                          "CFName=Terminal\r\n"
                          "\r\n"
                          "[Archiver1]\r\n"
                          "Extension=ZIP\r\n"
                          "Path=/usr/bin/unzip\r\n"
                          "\r\n"
                          "[Drives]\r\n"
                          "C=/srv/bbs";

TEST_F(ProfileFileTest, ReadsNamesWithoutCaseAndTrimsValues)
{
    test::writeBytes(path, kBoard);
    const ProfileFile file(path);
    EXPECT_EQ(file.read("veltrano fe", "radir"), "/srv/bbs/RA/");
    EXPECT_EQ(file.read("ARCHIVER1", "path"), "/usr/bin/unzip");
    EXPECT_EQ(file.read("Drives", "C"), "/srv/bbs"); // last line without a line break
    EXPECT_EQ(file.read("Veltrano FE", "Extension"), ""); // keys belong to their own section
    EXPECT_EQ(file.read("Archiver2", "Extension"), "");
    EXPECT_EQ(file.keys("drives"), QStringList({ "C" }));
    EXPECT_EQ(ProfileFile(dir.filePath("none.ini")).read("Veltrano FE", "RaDir"), "");
}

TEST_F(ProfileFileTest, WritesChangeOnlyTheirOwnLine)
{
    test::writeBytes(path, kBoard);
    ProfileFile file(path);

    ASSERT_TRUE(file.write("VELTRANO FE", "cfname", "Veltrano Mono"));
    QByteArray expected = kBoard;
    expected.replace("CFName=Terminal", "CFName=Veltrano Mono");
    EXPECT_EQ(contents(), expected.toStdString());

    // A new key goes after the section's last line, before the blank line that separates it.
    ASSERT_TRUE(file.write("Archiver1", "Options", "-o -C -j"));
    expected.replace("Path=/usr/bin/unzip\r\n", "Path=/usr/bin/unzip\r\nOptions=-o -C -j\r\n");
    EXPECT_EQ(contents(), expected.toStdString());

    // A new section goes at the end, with the file's own line endings.
    ASSERT_TRUE(file.write("Archiver2", "Extension", "ARJ"));
    expected += "\r\n[Archiver2]\r\nExtension=ARJ\r\n";
    EXPECT_EQ(contents(), expected.toStdString());
    EXPECT_EQ(file.read("Archiver2", "Extension"), "ARJ");
}

TEST_F(ProfileFileTest, KeepsSpacesInSectionNamesAndValues)
{
    ProfileFile file(path);
    ASSERT_FALSE(file.exists());
    ASSERT_TRUE(file.write("Veltrano FE", "RaDir", "/home/sysop/My Board/"));
    ASSERT_TRUE(file.write("Veltrano FE", "OriginalOrder", "False"));
    EXPECT_EQ(contents(), "[Veltrano FE]\nRaDir=/home/sysop/My Board/\nOriginalOrder=False\n");
}

TEST_F(ProfileFileTest, FirstOfDuplicateKeysAndSectionsCounts)
{
    test::writeBytes(path, "[A]\nk=1\nk=2\n[a]\nk=3\n");
    ProfileFile file(path);
    EXPECT_EQ(file.read("A", "K"), "1");
    ASSERT_TRUE(file.write("a", "k", "9"));
    EXPECT_EQ(contents(), "[A]\nk=9\nk=2\n[a]\nk=3\n");
}

TEST_F(ProfileFileTest, FailedWriteLeavesFileAsItWas)
{
    // Even root cannot create files under /proc.
    ProfileFile nowhere("/proc/quorvex-no-such-dir/QV.INI");
    EXPECT_FALSE(nowhere.write("Veltrano FE", "RaDir", "/x/"));

    test::writeBytes(path, kBoard);
    if (geteuid() != 0) { // root writes through permissions
        QFile::setPermissions(path, QFile::ReadOwner);
        ProfileFile file(path);
        EXPECT_FALSE(file.write("Veltrano FE", "CFName", "Other"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(contents(), kBoard.toStdString());
    }
    // No temporary file is left beside it either way.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ "QV.INI" }));
}

} // namespace
} // namespace qv
