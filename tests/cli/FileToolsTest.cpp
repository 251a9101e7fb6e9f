// qvtool's archivers, pending, add, extract, import, filelist and dupes on a board with files.
#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/cli/ToolRun.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace qv {
namespace {

// Areas 1 "Uploads" and 2 "Mirror" share one directory; ZIP is unpacked by unzip, ARJ's archiver
// is missing.
struct Fixture {
    test::TempDir tmp;
    test::BoardBuilder board { tmp.path() };
    QString files = QString::fromStdString(tmp.path()) + "/files";
    QString config = QString::fromStdString(tmp.path()) + "/config";
    QString ini = QString::fromStdString(tmp.path()) + "/QV.INI";
    QString unzip = QStandardPaths::findExecutable("unzip");

    Fixture()
    {
        QDir().mkpath(files);
        board.writeConfig("Board");
        board.writeAreas({ { "Uploads", files.toStdString(), 1 }, { "Mirror", files.toStdString(), 2 } });
        board.writeEntries(1, { { .name = "OLD.ZIP", .description = "a long enough old description" } });
        board.writeEntries(2, {});
        test::writeBytes(ini,
            ("[Veltrano FE]\nRaDir=" + QString::fromStdString(board.boardDir()) + "\n[Archiver1]\nExtension=ZIP\nPath="
                + unzip + "\nOptions=-o -C -j\n[Archiver2]\nExtension=ARJ\nPath=/nonexistent/arj\nOptions=e\n")
                .toUtf8());
    }
    test::BoundTool run { { "--settings", ini }, config };
    bool zip(const QString& archive, const QByteArray& diz) const
    {
        QTemporaryDir src;
        test::writeBytes(src.filePath("FILE_ID.DIZ"), diz);
        QProcess p;
        p.setWorkingDirectory(src.path());
        p.start("zip", { "-q", files + "/" + archive, "FILE_ID.DIZ" });
        return p.waitForFinished(60000) && p.exitCode() == 0;
    }
};

TEST(QvtoolAddFiles, ArchiversPendingAddAndExtractWorkOnTheArea)
{
    Fixture f;
    if (f.unzip.isEmpty() || QStandardPaths::findExecutable("zip").isEmpty())
        GTEST_SKIP() << "no zip and unzip";
    ASSERT_TRUE(f.zip("OLD.ZIP", "new of old"));
    ASSERT_TRUE(f.zip("New one.zip", "from the new one"));
    ASSERT_TRUE(f.zip("$(touch pwned);x.zip", "hostile name"));
    test::writeBytes(f.files + "/notes.txt", "x");

    const QJsonArray defined = f.run.ok({ "--json", "archivers" }).json().array();
    ASSERT_EQ(defined.size(), 2);
    EXPECT_TRUE(defined[0].toObject()["found"].toBool());
    EXPECT_FALSE(defined[1].toObject()["found"].toBool());

    EXPECT_EQ(f.run.ok({ "--json", "pending", "1" }).json().array().toVariantList(),
        QVariantList({ "$(touch pwned);x.zip", "New one.zip", "Notes.txt" }));
    EXPECT_EQ(f.run({ "pending", "1", "--mask", "*.txt" }).out, "Notes.txt\n");

    auto add = f.run(
        { "add", "1", "new one.zip", "$(TOUCH PWNED);X.ZIP", "gone.zip", "--uploader", "Jane", "--after", "0" });
    EXPECT_EQ(add.code, 1) << "a missing file is reported";
    EXPECT_TRUE(add.err.contains("gone.zip"));
    EXPECT_EQ(add.out, "1 New one.zip: added\n2 $(touch pwned);x.zip: added\n");
    AreaStore store(systemFileIo(), f.board.fileBaseDir());
    ASSERT_EQ(*store.count(1), 3u);
    EXPECT_EQ(store.readDescription(1, 0), "from the new one");
    EXPECT_EQ(store.readDescription(1, 1), "hostile name");
    EXPECT_EQ(store.readHeader(1, 0)->uploader(), "Jane");
    EXPECT_EQ(store.readLongName(1, 0)->name(), "New one.zip");
    EXPECT_FALSE(QFile::exists(f.files + "/pwned"));

    EXPECT_EQ(f.run.ok({ "extract", "1", "3" }).out, "3 Old.zip: extracted (10 bytes)\n");
    EXPECT_EQ(store.readDescription(1, 2), "new of old");
    f.run.fails({ "extract", "1", "9" }, 2);
    f.run.ok({ "check" });
}

TEST(FileTools, ImportAddPendingFileListAndDupesRunFromTheCommandLine)
{
    Fixture f;
    test::writeBytes(f.files + "/OLD.ZIP", "old");
    test::writeBytes(f.files + "/NEW.ZIP", "new");
    test::writeBytes(f.files + "/Files.Bbs", "NEW.ZIP  Listed\r\n..\\X.ZIP up\r\n");

    const auto before = test::areaBytes(f.board, 1);
    auto dry = f.run({ "--json", "import", "1", "--dry-run" });
    EXPECT_EQ(dry.code, 1) << "a refused name is a problem";
    EXPECT_EQ(test::areaBytes(f.board, 1), before) << "a dry run changes nothing";
    const QJsonArray items = dry.json().object()["items"].toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toObject()["action"].toString(), "add");
    EXPECT_EQ(items[1].toObject()["action"].toString(), "refused");
    EXPECT_EQ(items[1].toObject()["reason"].toString(), "a path in the name");

    auto imported = f.run({ "--json", "import", "1", "--uploader", "Cron" });
    EXPECT_EQ(imported.json().object()["added"].toInt(), 1) << imported.err.toStdString();
    EXPECT_TRUE(f.run.ok({ "list", "1" }).out.contains("New.zip"));

    // Area 2 shares the directory: every file but the list itself is pending there, one name
    // cannot be held by the code page.
    test::writeBytes(f.files + QString::fromUtf8("/\u65e5\u672c.zip"), "x");
    auto pending = f.run({ "--json", "add", "--pending", "2", "--no-diz" });
    EXPECT_EQ(pending.code, 1);
    const QJsonObject area2 = pending.json().array()[0].toObject();
    EXPECT_EQ(area2["added"].toArray().toVariantList(), QVariantList({ "Files.Bbs", "NEW.ZIP", "OLD.ZIP" }));
    ASSERT_EQ(area2["skipped"].toArray().size(), 1);
    EXPECT_TRUE(area2["skipped"].toArray()[0].toObject()["reason"].toString().startsWith("The character "));
    const QJsonArray again = f.run({ "--json", "add", "--pending", "--all", "--no-diz" }).json().array();
    EXPECT_EQ(again[1].toObject()["added"].toArray().size(), 0) << "a second run adds nothing";
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), f.board.fileBaseDir(), 2).empty());

    const QString out = QString::fromStdString(f.tmp.path()) + "/new.html";
    EXPECT_EQ(f.run.ok({ "--json", "filelist", out, "--group", "2", "--html" }).json().object()["files"].toInt(), 3);
    QFile page(out);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("<h2>2: Mirror</h2>"));

    const QJsonArray groups = f.run.ok({ "--json", "dupes", "--by", "content" }).json().array();
    // OLD.ZIP, NEW.ZIP and the list, which the run over every area added to area 1 as well.
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].toArray()[1].toObject()["area"].toInt(), 2);
}

} // namespace
} // namespace qv
