#include "platform/ShortName.h"

#include "tests/support/ArchiveBuilder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace qv::shortname;

TEST(ShortName, ValidNamesKeepTheirLettersInUpperCase)
{
    const std::pair<const char*, bool> cases[] = { { "README.TXT", true }, { "readme.txt", true }, { "A", true },
        { "FILE_ID.DIZ", true }, { "LONGNAME1.TXT", false }, { "Read me.txt", false }, { "A.B.ZIP", false },
        { ".profile", false }, { "NAME.TEXT", false }, { "NAME.", false }, { "na+me.txt", false }, { "", false } };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(isValid83(QString::fromLatin1(name)), valid) << name;
    const auto shorts = shortNamesFor({ "readme.txt", "FOO.ZIP" });
    EXPECT_EQ(shorts.value("readme.txt"), "README.TXT");
    EXPECT_EQ(shorts.value("FOO.ZIP"), "FOO.ZIP");
}

TEST(ShortName, OtherNamesGetUniqueAliasesInAStableOrder)
{
    const auto shorts = shortNamesFor({ "Read me first.txt", "Read me second.txt", "readme~1.txt", "archive.tar.gz",
        ".profile", "My Picture.jpeg", "a+b.txt" });
    // README~1.TXT is a real 8.3 name here, so the first alias must skip it.
    EXPECT_EQ(shorts.value("readme~1.txt"), "README~1.TXT");
    EXPECT_EQ(shorts.value("Read me first.txt"), "README~2.TXT");
    EXPECT_EQ(shorts.value("Read me second.txt"), "README~3.TXT");
    EXPECT_EQ(shorts.value("archive.tar.gz"), "ARCHIV~1.GZ");
    EXPECT_EQ(shorts.value(".profile"), "PROFIL~1");
    EXPECT_EQ(shorts.value("My Picture.jpeg"), "MYPICT~1.JPE");
    EXPECT_EQ(shorts.value("a+b.txt"), "A_B~1.TXT");
}

TEST(ShortName, AliasNumbersPastNineShortenTheBasis)
{
    QStringList names;
    for (int i = 0; i < 11; ++i)
        names << QString("Long file name %1.txt").arg(i, 2, 10, QChar('0'));
    const auto shorts = shortNamesFor(names);
    EXPECT_EQ(shorts.value(names[0]), "LONGFI~1.TXT");
    EXPECT_EQ(shorts.value(names[8]), "LONGFI~9.TXT");
    EXPECT_EQ(shorts.value(names[9]), "LONGF~10.TXT");
}

TEST(ShortName, RowTextsFindTheirFileByLongNameShortNameOrAnyCase)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString d = tmp.path();
    for (const char* name : { "/Read me first.txt", "/PKZ204G.EXE", "/qedit3.zip" })
        qv::test::writeBytes(d + name, {});
    QDir(d).mkdir("Read me again.txt");

    EXPECT_EQ(findEntryFile(d, "Read me first.txt"), d + "/Read me first.txt");
    EXPECT_EQ(findEntryFile(d, "Read me first.TXT"), d + "/Read me first.txt");
    EXPECT_EQ(findEntryFile(d, "Pkz204g.exe"), d + "/PKZ204G.EXE");
    EXPECT_EQ(findEntryFile(d, "QEDIT3.ZIP"), d + "/qedit3.zip");
    // The folder sorts first and takes ~1, so the file is ~2; a folder is never an entry file.
    EXPECT_EQ(shortNameInDirectory(d, "Read me first.txt"), "README~2.TXT");
    EXPECT_EQ(findEntryFile(d, "Readme~2.txt"), d + "/Read me first.txt");
    EXPECT_TRUE(findEntryFile(d, "README~1").isEmpty());
    EXPECT_TRUE(findEntryFile(d, "missing.zip").isEmpty());
    EXPECT_TRUE(findEntryFile(d, " (Comment)").isEmpty());
    // Only the last part: the temporary directory's own alias depends on what other programs
    // make beside it in /tmp meanwhile.
    EXPECT_TRUE(shortPathOf(d + "/Read me first.txt").endsWith("/README~2.TXT"));
}

} // namespace
