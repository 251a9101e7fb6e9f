#include "editing/ArchiverChoice.h"
#include "editing/ArchiverDefinitions.h"
#include "editing/PendingFiles.h"

#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace qv {
namespace {

std::array<ArchiverSlot, 32> table(std::initializer_list<ArchiverSlot> rows)
{
    std::array<ArchiverSlot, 32> t {};
    size_t i = 0;
    for (const auto& r : rows)
        t[i++] = r;
    return t;
}

TEST(ArchiverChoice, TheWalkStopsAtTheFirstEmptySlotAndUsesTheLastExtension)
{
    test::TempDir tmp;
    const QString program = QString::fromStdString(tmp.path()) + "/unzip";
    test::writeBytes(program, "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    const auto t = table({ { "ZIP", "/missing/pkunzip", "" }, { "ZIP", program.toStdString(), "-o" },
        { "LZH", "", "e" }, { "", "", "" }, { "ARJ", program.toStdString(), "" } });
    struct Case {
        QString name;
        bool requireProgram;
        std::string expectedPath; // "" for none
    };
    const std::vector<Case> cases {
        { "a.zip", false, "/missing/pkunzip" }, // the first slot, program or not
        { "a.zip", true, program.toStdString() }, // adding: a slot counts only with its program
        { "v1.2.zip", false, "/missing/pkunzip" }, // the last dot: ZIP, not 2.ZIP
        { "A.B.ZIP", true, program.toStdString() },
        { "a.lzh", false, "" }, // a slot without a program path is passed over
        { "a.arj", false, "" }, // behind the empty slot
        { "readme", false, "" },
        { "trailing.", false, "" },
    };
    for (const Case& c : cases) {
        const auto slot = ArchiverChoice::choose(t, c.name, c.requireProgram);
        EXPECT_EQ(slot ? slot->path : std::string(), c.expectedPath) << c.name.toStdString();
    }
    EXPECT_EQ(ArchiverChoice::extensionOf("v1.2.zip"), "ZIP");
    EXPECT_EQ(ArchiverChoice::resolveProgram("sh"), QStandardPaths::findExecutable("sh"));
}

TEST(ArchiverDefinitions, RowsRoundTripThroughTheSlotsInOrder)
{
    auto d = ArchiverDefinitions::fromSlots(table({ { "ARC", "/a", "-x" }, { "ZIP", "/z", "" }, { "RAR", "/r", "x" },
        { "", "/ignored", "" }, { "LZH", "/l", "" } }));
    ASSERT_EQ(d.rows().size(), 3u);
    EXPECT_EQ(d.find(" zip "), 1);
    EXPECT_EQ(ArchiverDefinitions::normalizedExtension(" zipx "), "ZIP");
    EXPECT_TRUE(d.add({ "arj", " /usr/bin/arj ", " e -y " }));
    EXPECT_EQ(d.rows().back(), (ArchiverDefinitions::Row { "ARJ", "/usr/bin/arj", "e -y" }));
    d.remove(1); // from the middle: the others keep their order
    d.replace(d.find("RAR"), "/rr", "e");
    const auto stored = d.toSlots();
    EXPECT_EQ(stored[0].extension, "ARC");
    EXPECT_EQ(stored[1].extension, "RAR");
    EXPECT_EQ(stored[1].path, "/rr");
    EXPECT_EQ(stored[2].extension, "ARJ");
    EXPECT_EQ(stored[3].extension, "");
    EXPECT_FALSE(ArchiverChoice::choose(stored, "x.zip", false)) << "the deleted definition is gone";
    while (!d.isFull())
        ASSERT_TRUE(d.add({ QString::number(d.rows().size()), "/p", "" }));
    EXPECT_FALSE(d.add({ "NEW", "/p", "" }));
    EXPECT_EQ(d.rows().size(), 32u);
}

TEST(PendingFiles, MasksMatchLikeDosWithoutCase)
{
    struct Case {
        QString mask, name;
        bool match;
    };
    const std::vector<Case> cases { { "*.*", "README", true }, { "*.*", "a.zip", true }, { "", "x", true },
        { " *.zip ", "A.ZIP", true }, { "*.ZIP", "a.zip.bak", false }, { "*.ZIP", "a.zip", true },
        { "A?.*", "ab.txt", true }, { "A?.*", "abc.txt", false }, { "*.ZIP;*.ARJ", "x.arj", true },
        { "[A].*", "[a].txt", true }, { "[A].*", "a.txt", false } };
    for (const Case& c : cases)
        EXPECT_EQ(PendingFiles::matches(c.mask, c.name), c.match)
            << c.mask.toStdString() << " " << c.name.toStdString();
    EXPECT_EQ(PendingFiles::normalizedMask("  *.zip "), "*.ZIP");
}

TEST(PendingFiles, FilesWithoutAnEntryByNameOrAliasWithoutCase)
{
    test::TempDir tmp;
    const QString dir = QString::fromStdString(tmp.path());
    for (const QString name : { "a.zip", "B.ZIP", "Read me first.txt", "new.arj", "zeta.zip", ".hidden" })
        test::writeBytes(dir + "/" + name, "x");
    QDir().mkpath(dir + "/sub.zip");
    // Rows: a long name shown, an 8.3 alias shown, a plain name in another case.
    const QStringList rows { "A.zip", "Readme~1.txt", "B.zip", " (Comment)" };
    const auto all = PendingFiles::list(dir, "*.*", rows);
    EXPECT_EQ(all.all, QStringList({ "a.zip", "B.ZIP", "new.arj", "Read me first.txt", "zeta.zip" }));
    EXPECT_EQ(all.notInBase, QStringList({ "New.arj", "Zeta.zip" }));
    const auto zips = PendingFiles::list(dir, "*.zip", rows);
    EXPECT_EQ(zips.notInBase, QStringList({ "Zeta.zip" }));
    EXPECT_EQ(zips.all.size(), 3);
}

} // namespace
} // namespace qv
