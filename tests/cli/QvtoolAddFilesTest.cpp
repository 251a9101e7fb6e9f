// qvtool archivers, pending, add and extract on a board with real archives.
#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/cli/ToolRun.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;

struct Fixture {
    test::TempDir tmp;
    BoardBuilder board { tmp.path() };
    QString files = QString::fromStdString(tmp.path()) + "/files";
    QString config = QString::fromStdString(tmp.path()) + "/config";
    QString ini = QString::fromStdString(tmp.path()) + "/QV.INI";
    QString unzip = QStandardPaths::findExecutable("unzip");

    Fixture()
    {
        QDir().mkpath(files);
        board.writeConfig("Board");
        board.writeAreas({ { "Uploads", files.toStdString(), 1 } });
        board.writeEntries(1, { { .name = "OLD.ZIP", .description = "a long enough old description" } });
        test::writeBytes(ini,
            ("[Veltrano FE]\nRaDir=" + QString::fromStdString(board.boardDir()) + "\n[Archiver1]\nExtension=ZIP\nPath="
                + unzip + "\nOptions=-o -C -j\n[Archiver2]\nExtension=ARJ\nPath=/nonexistent/arj\nOptions=e\n")
                .toUtf8());
    }
    test::ToolRun run(QStringList args) const { return test::qvtool(QStringList { "--settings", ini } + args, config); }
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

    auto archivers = f.run({ "--json", "archivers" });
    ASSERT_EQ(archivers.code, 0) << archivers.err.toStdString();
    const QJsonArray defined = archivers.json().array();
    ASSERT_EQ(defined.size(), 2);
    EXPECT_TRUE(defined[0].toObject()["found"].toBool());
    EXPECT_FALSE(defined[1].toObject()["found"].toBool());

    auto pending = f.run({ "--json", "pending", "1" });
    ASSERT_EQ(pending.code, 0) << pending.err.toStdString();
    EXPECT_EQ(
        pending.json().array().toVariantList(), QVariantList({ "$(touch pwned);x.zip", "New one.zip", "Notes.txt" }));
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

    auto extract = f.run({ "extract", "1", "3" });
    ASSERT_EQ(extract.code, 0) << extract.err.toStdString();
    EXPECT_EQ(extract.out, "3 Old.zip: extracted (10 bytes)\n");
    EXPECT_EQ(store.readDescription(1, 2), "new of old");
    EXPECT_EQ(f.run({ "extract", "1", "9" }).code, 2);
    EXPECT_TRUE(AreaCheck::run(systemFileIo(), f.board.fileBaseDir(), 1).empty());
    EXPECT_EQ(f.run({ "check" }).code, 0);
}

} // namespace
} // namespace qv
