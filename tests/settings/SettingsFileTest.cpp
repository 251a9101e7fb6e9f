#include "platform/ProfileFile.h"
#include "app/ShutdownWriter.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/ScriptedDialogs.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace settingsfile;

// Records every write and fails the n-th (1-based; 0 never).
class RecordingProfile : public ProfileFile {
public:
    using ProfileFile::ProfileFile;
    bool write(const QString& section, const QString& key, const QString& value) override
    {
        writes << section + "/" + key + "=" + value;
        if (writes.size() == failAt)
            return false;
        return ProfileFile::write(section, key, value);
    }
    QStringList keysWritten() const
    {
        QStringList k;
        for (const QString& w : writes)
            k << w.section('=', 0, 0);
        return k;
    }
    QStringList writes;
    int failAt = 0;
};

class SettingsFileTest : public ::testing::Test {
protected:
    Settings readAll(const QByteArray& section)
    {
        test::writeBytes(path, "[Veltrano FE]\n" + section);
        Settings s;
        const ProfileFile file(path);
        readStartupValues(file, s);
        readViewType(file, s);
        readWindowValues(file, s);
        return s;
    }

    QTemporaryDir dir;
    QString path = dir.filePath("QV.INI");
};

TEST_F(SettingsFileTest, DefaultsWhenTheSectionIsEmpty)
{
    const Settings s = readAll("");
    EXPECT_FALSE(s.areasInNumberOrder);
    EXPECT_EQ(s.descriptionFontName, "Terminal");
    EXPECT_EQ(s.descriptionFontSize, "9");
    EXPECT_FALSE(s.descriptionFontBold);
    EXPECT_FALSE(s.viewAsList);
    EXPECT_EQ(s.windowWidth, 8000);
    EXPECT_EQ(s.windowHeight, 7000);
    EXPECT_EQ(s.windowX, std::nullopt); // centred
    EXPECT_TRUE(s.useLongNames);
    EXPECT_TRUE(s.areaPanelShown);
    EXPECT_EQ(s.areaPanelWidth, 3500);
    EXPECT_EQ(s.descriptionPaneHeight, 1500);
    EXPECT_EQ(s.archivers[0].extension, "");
    EXPECT_EQ(s.archiverTimeoutSeconds, 30);
}

struct Rule {
    const char* stored;
    std::function<bool(const Settings&)> holds;
    const char* what;
};

TEST_F(SettingsFileTest, EachValueReadsByItsOwnRule)
{
    const Rule rules[] = {
        { "OriginalOrder=True\n", [](auto& s) { return s.areasInNumberOrder; }, "True is by number" },
        { "OriginalOrder= 1\n", [](auto& s) { return s.areasInNumberOrder; }, "blank and 1" },
        { "OriginalOrder=2\n", [](auto& s) { return !s.areasInNumberOrder; }, "other numbers are by name" },
        { "ViewType=TRUE\n", [](auto& s) { return s.viewAsList; }, "True in any case is List" },
        { "ViewType=0\n", [](auto& s) { return !s.viewAsList; }, "0 is Details" },
        { "ViewType=List\n", [](auto& s) { return !s.viewAsList; }, "other text is Details" },
        { "UseLFN=true\n", [](auto& s) { return s.useLongNames; }, "lower-case true is on" },
        { "UseLFN=yes\n", [](auto& s) { return !s.useLongNames; }, "yes is off" },
        { "UseLFN=0\n", [](auto& s) { return !s.useLongNames; }, "0 is off" },
        { "AreaListEnabled=1\n", [](auto& s) { return s.areaPanelShown; }, "1 is shown" },
        { "AreaListEnabled=-1\n", [](auto& s) { return !s.areaPanelShown; }, "other numbers hide" },
        { "AreaListEnabled=False\n", [](auto& s) { return !s.areaPanelShown; }, "False hides" },
        { "AreaListEnabled=true\n", [](auto& s) { return s.areaPanelShown; }, "true shows" },
        { "CFName=   \n", [](auto& s) { return s.descriptionFontName == "Terminal"; }, "blank name is Terminal" },
        { "CFSize= 12\n", [](auto& s) { return s.descriptionFontSize == "12"; }, "number" },
        { "CFSize=large\n", [](auto& s) { return s.descriptionFontSize == "large"; }, "text is kept" },
        { "CFBold=-1\nCFItalic=0\n", [](auto& s) { return s.descriptionFontBold && !s.descriptionFontItalic; },
            "numbers" },
        { "CFBold=FALSE\nCFItalic=True\n", [](auto& s) { return !s.descriptionFontBold && s.descriptionFontItalic; },
            "words" },
        { "WindowWidth=wide\nWindowX= 120\n", [](auto& s) { return s.windowWidth == 0 && s.windowX == 120; },
            "not a number reads as 0" },
        { "DefaultArea= 12 \n", [](auto& s) { return s.startupArea == 12; }, "trimmed number" },
        { "ArchiverTimeout= 120 \n", [](auto& s) { return s.archiverTimeoutSeconds == 120; }, "seconds" },
        { "ArchiverTimeout=0\n", [](auto& s) { return s.archiverTimeoutSeconds == 30; }, "0 is 30" },
        { "ArchiverTimeout=-3\n", [](auto& s) { return s.archiverTimeoutSeconds == 30; }, "negative is 30" },
        { "ArchiverTimeout=soon\n", [](auto& s) { return s.archiverTimeoutSeconds == 30; }, "text is 30" },
        { "WindowHeight=99999999999\nWindowY=-12px\n",
            [](auto& s) { return s.windowHeight == INT_MAX && s.windowY == -12; },
            "the leading number, at most INT_MAX" },
    };
    for (const Rule& rule : rules)
        EXPECT_TRUE(rule.holds(readAll(rule.stored))) << rule.what;
}

TEST_F(SettingsFileTest, BoardDirectoryLosesOneTrailingSeparator)
{
    for (auto [stored, expected] :
        std::initializer_list<std::pair<const char*, const char*>> { { "RaDir= /srv/bbs/RA/ \n", "/srv/bbs/RA" },
            { "RaDir=C:\\RA\\\n", "C:\\RA" }, { "RaDir=/\n", "/" }, { "", "" } }) {
        test::writeBytes(path, QByteArray("[Veltrano FE]\n") + stored);
        EXPECT_EQ(readBoardDirectory(ProfileFile(path)), expected) << stored;
    }
}

TEST_F(SettingsFileTest, ArchiverSlotsStopAtTheFirstGapAndLeaveLaterSectionsAlone)
{
    const QByteArray four = "[Archiver4]\nExtension=LZH\nPath=/usr/bin/7zz\nOptions=e -y -ssc-\n";
    test::writeBytes(path,
        "[Veltrano FE]\nRaDir=/b/\n[Archiver1]\nExtension=ZIP\nPath=/usr/bin/unzip\nOptions=-o\n"
        "[Archiver2]\nExtension=ARJ\n"
            + four);
    RecordingProfile file(path);
    Settings s;
    readStartupValues(file, s);
    EXPECT_EQ(s.archivers[0].path, "/usr/bin/unzip");
    EXPECT_EQ(s.archivers[1].extension, "ARJ");
    EXPECT_EQ(s.archivers[1].path, "");
    EXPECT_EQ(s.archivers[3].extension, ""); // after the gap at 3

    s.archivers[1].path = "/usr/bin/arj";
    ASSERT_EQ(writeAtShutdown(file, s, true), ShutdownResult::Written);
    EXPECT_TRUE(file.writes.filter("Archiver3").isEmpty());
    EXPECT_TRUE(file.writes.filter("Archiver4").isEmpty());
    EXPECT_TRUE(file.writes.contains("Archiver2/Path=/usr/bin/arj"));
    EXPECT_TRUE(test::readBytes(path).contains(four));
}

TEST_F(SettingsFileTest, ShutdownWritesInOrderAndMaximisedKeepsGeometry)
{
    test::writeBytes(path, "[Veltrano FE]\nRaDir=/b/\nWindowWidth= 9000\n");
    RecordingProfile file(path);
    Settings s;
    s.archivers[0] = { "ZIP", "/usr/bin/unzip", "-o -C -j" };
    s.windowState = 2;
    s.descriptionFontBold = true;
    s.descriptionFontSize = "large";
    ASSERT_EQ(writeAtShutdown(file, s, false), ShutdownResult::Written);
    EXPECT_EQ(file.keysWritten(),
        QStringList({ "Veltrano FE/DescHeight", "Veltrano FE/AreaListWidth", "Veltrano FE/ViewType",
            "Veltrano FE/UseLFN", "Veltrano FE/WindowState", "Veltrano FE/AreaListEnabled", "Veltrano FE/CFName",
            "Veltrano FE/CFSize", "Veltrano FE/CFBold", "Veltrano FE/CFItalic", "Veltrano FE/DefaultArea",
            "Archiver1/Extension", "Archiver1/Path", "Archiver1/Options", "Veltrano FE/OriginalOrder",
            "Veltrano FE/FindText", "Veltrano FE/FindMode", "Veltrano FE/AddFilesMask", "Veltrano FE/AddFilesShowAll",
            "Veltrano FE/ListColumns", "Veltrano FE/FindColumns" }));
    EXPECT_EQ(file.read("Veltrano FE", "WindowWidth"), "9000");
    EXPECT_EQ(file.read("Veltrano FE", "WindowState"), "2");
    EXPECT_TRUE(file.writes.contains("Veltrano FE/CFBold=-1"));
    EXPECT_TRUE(file.writes.contains("Veltrano FE/CFSize=large"));
    EXPECT_TRUE(file.writes.contains("Veltrano FE/UseLFN=True"));
    EXPECT_TRUE(file.writes.contains("Veltrano FE/OriginalOrder= 0"));

    RecordingProfile normal(path);
    s.windowState = 0;
    s.windowX = 10;
    s.windowY = 20;
    ASSERT_EQ(writeAtShutdown(normal, s, true), ShutdownResult::Written);
    EXPECT_EQ(normal.keysWritten().mid(0, 4),
        QStringList(
            { "Veltrano FE/WindowWidth", "Veltrano FE/WindowHeight", "Veltrano FE/WindowX", "Veltrano FE/WindowY" }));
}

TEST_F(SettingsFileTest, WhatTheSysopLeftComesBackNextRun)
{
    Settings s;
    s.findText = "tool box, 2";
    s.findByName = true;
    s.addFilesMask = "*.ZIP";
    s.addFilesShowAll = true;
    s.listColumnWidths = { 3000, 1061, 900, 900, 900, 400, 3522 };
    s.findColumnWidths = { 10, 20 };
    {
        ProfileFile file(path);
        ASSERT_EQ(writeAtShutdown(file, s, true), ShutdownResult::Written);
    }
    Settings back;
    readWindowValues(ProfileFile(path), back);
    EXPECT_EQ(back.findText, s.findText);
    EXPECT_TRUE(back.findByName);
    EXPECT_EQ(back.addFilesMask, "*.ZIP");
    EXPECT_TRUE(back.addFilesShowAll);
    EXPECT_EQ(back.listColumnWidths, s.listColumnWidths);
    EXPECT_EQ(back.findColumnWidths, s.findColumnWidths);
    // A damaged list and an empty mask fall back to the defaults.
    const Settings damaged = readAll("ListColumns=10,x,30\nFindColumns=5,-2\nAddFilesMask= \n");
    EXPECT_TRUE(damaged.listColumnWidths.empty());
    EXPECT_TRUE(damaged.findColumnWidths.empty());
    EXPECT_EQ(damaged.addFilesMask, "*.*");
}

TEST_F(SettingsFileTest, FirstFailedWriteEndsShutdownWithItsMessage)
{
    Settings s;
    s.archivers[0] = { "ZIP", "/usr/bin/unzip", "" };
    const int locationKeys = 4 + 11 + 3;
    const int total = locationKeys + 1 + 6;
    for (int n = 1; n <= total; ++n) {
        RecordingProfile file(path);
        file.failAt = n;
        test::ScriptedDialogs dialogs;
        EXPECT_FALSE(writeAtShutdown(file, s, true, dialogs));
        EXPECT_EQ(file.writes.size(), n) << "nothing after the failed write";
        const QString expected = n > locationKeys
            ? "Updating profile|Unable to write QV.INI!\n\nCheck your access rights to "
              "your Windows directory."
            : "Location|Unable to write QV.INI!\n\nCheck your access rights to your "
              "Windows directory, and try again.";
        ASSERT_EQ(dialogs.messages(), QStringList({ expected })) << n;
        EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Critical);
    }
}

} // namespace
} // namespace qv
