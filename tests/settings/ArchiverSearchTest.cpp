#include "settings/ArchiverSearch.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace test;

void makeProgram(const QString& path)
{
    writeBytes(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(ArchiverSearch, FirstDirectoryOnPathWinsAndNamesMatchWithoutCase)
{
    test::TempDir tmp;
    const QString dos = QString::fromStdString(tmp.path()) + "/dos";
    const QString tools = QString::fromStdString(tmp.path()) + "/tools";
    QDir().mkpath(dos);
    QDir().mkpath(tools);
    makeProgram(dos + "/ARJ");
    makeProgram(tools + "/arj");
    makeProgram(tools + "/unzip");
    makeProgram(tools + "/RAR.EXE");
    writeBytes(tools + "/7zz", {}); // not executable: not a program

    const QString path = dos + "::" + tools; // no trailing separator, an empty entry
    const QStringList dirs = ArchiverSearch::pathDirectories(path);
    ASSERT_EQ(dirs, QStringList({ dos + "/", tools + "/" }));

    ArchiverSearch search;
    QStringList progress;
    search.run(dirs, [&](const QString& text) { progress << text; });
    EXPECT_EQ(progress, QStringList({ dos + "/...", tools + "/..." }));
    const auto table = search.archiverSlots();
    EXPECT_EQ(table[1].path, (dos + "/ARJ").toStdString());
    EXPECT_EQ(table[4].path, (tools + "/RAR.EXE").toStdString());
    EXPECT_EQ(table[4].options, "x -o+ -y");
    EXPECT_EQ(table[5].options, "-o -C -j");
    EXPECT_EQ(table[7].path, "");
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(table[size_t(i)].extension.empty()) << "every slot is written, found or not";
    EXPECT_EQ(table[8].extension, "");
    EXPECT_EQ(search.foundPaths(), QStringList({ dos + "/ARJ", tools + "/RAR.EXE", tools + "/unzip" }));
    EXPECT_EQ(ArchiverSearch::resultText(search.foundPaths().mid(0, 1)),
        "Quorvex has found the following archivers:\n" + dos
            + "/ARJ\n\nPlease check settings of additional archivers in the 'File' -> 'Preferences' menu when "
              "Quorvex is started.");
}

TEST(ArchiverSearch, EachProgramIsListedOnceWithTheExtensionsItServes)
{
    test::TempDir tmp;
    const QString bin = QString::fromStdString(tmp.path()) + "/bin";
    QDir().mkpath(bin);
    for (const char* name : { "7z", "unar", "unzip" })
        makeProgram(bin + "/" + name);
    ArchiverSearch search;
    search.run({ bin + "/" });
    EXPECT_EQ(search.foundPrograms(),
        QStringList({ bin + "/unar (ARC, PAK, ZOO)", bin + "/7z (ARJ, LZH, 7Z)", bin + "/unzip (ZIP)" }));
}

bool pack(const QString& program, const QStringList& args, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Case {
    const char* extension;
    const char* member; // the member's name as the archive stores it
};

class RealArchiver : public ::testing::TestWithParam<Case> { };

// The options the search writes make the program put FILE_ID.DIZ into the current directory
// from the command line the extraction builds, replacing an older copy without asking.
TEST_P(RealArchiver, ExtractsTheDescriptionIntoTheCurrentDirectory)
{
    const Case c = GetParam();
    ArchiverSearch search;
    search.run(ArchiverSearch::pathDirectories(qEnvironmentVariable("PATH")));
    const auto table = search.archiverSlots();
    const auto slot
        = std::find_if(table.begin(), table.end(), [&](const ArchiverSlot& s) { return s.extension == c.extension; });
    ASSERT_NE(slot, table.end());
    if (slot->path.empty())
        GTEST_SKIP() << "no program for " << c.extension << " on this machine";

    test::TempDir tmp;
    const QString src = QString::fromStdString(tmp.path()) + "/src";
    const QString out = QString::fromStdString(tmp.path()) + "/out";
    QDir().mkpath(src);
    QDir().mkpath(out);
    const QByteArray diz = "Quick Beep 1.0\r\nBeeps quickly.\r\n";
    const QString archive = src + "/TEST." + c.extension;
    const QByteArray member = c.member;
    const Members members { { "README.TXT", "read me\r\n" }, { member, diz } };
    const QString ext = c.extension;
    if (ext == "ARC" || ext == "PAK")
        writeBytes(archive, arcArchive(members));
    else if (ext == "LZH")
        writeBytes(archive, lzhArchive(members));
    else if (ext == "RAR")
        writeBytes(archive, rarArchive(members));
    else {
        writeBytes(src + "/" + member, diz);
        writeBytes(src + "/README.TXT", "read me\r\n");
        const QStringList files { QString::fromLatin1(member), "README.TXT" };
        bool ok = false;
        if (ext == "ZIP" && !QStandardPaths::findExecutable("zip").isEmpty())
            ok = pack("zip", QStringList { "-q", archive } + files, src);
        else if (ext == "ARJ" || ext == "7Z")
            ok = pack(QString::fromStdString(slot->path), QStringList { "a", archive } + files, src);
        if (!ok)
            GTEST_SKIP() << "cannot make a " << c.extension << " archive here";
    }
    writeBytes(out + "/" + member, "an older description");

    QProcess p;
    p.setWorkingDirectory(out);
    p.setStandardInputFile(QProcess::nullDevice()); // a program that asks would wait forever
    const QStringList args = QString::fromStdString(slot->options).split(' ', Qt::SkipEmptyParts)
        + QStringList { archive, "FILE_ID.DIZ", out + "/" };
    p.start(QString::fromStdString(slot->path), args);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(readBytes(out + "/" + member), diz)
        << QDir(out).entryList().join(' ').toStdString() << slot->path << " " << slot->options << "\n"
        << p.readAllStandardOutput().toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList({ QString::fromLatin1(member) })) << "only the description";
}

INSTANTIATE_TEST_SUITE_P(Debian, RealArchiver,
    ::testing::Values(Case { "ARC", "FILE_ID.DIZ" }, Case { "ARJ", "FILE_ID.DIZ" }, Case { "LZH", "FILE_ID.DIZ" },
        Case { "LZH", "file_id.diz" }, Case { "PAK", "FILE_ID.DIZ" }, Case { "RAR", "FILE_ID.DIZ" },
        Case { "ZIP", "FILE_ID.DIZ" }, Case { "ZIP", "file_id.diz" }, Case { "7Z", "File_Id.Diz" }),
    [](const auto& info) {
        return std::string(info.param.extension) + (QByteArray(info.param.member).isUpper() ? "" : "_mixed_case");
    });

} // namespace
} // namespace qv
