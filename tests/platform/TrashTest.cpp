#include "platform/Trash.h"

#include "tests/support/ArchiveBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The home trash as file managers read it: the file in files/, its origin and date in info/,
// a second file of the same name beside the first, the data directory made when missing and
// private to the user.
TEST(Trash, FilesGoToTheHomeTrashWithWhatRestoresThem)
{
    QTemporaryDir tmp;
    const QString data = tmp.path() + "/not yet/share";
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    QDir().mkpath(tmp.path() + "/area");
    const QDateTime when(QDate(2026, 12, 8), QTime(3, 4, 5));
    struct Case {
        QString name;
        QString inTrash;
    };
    const Case cases[] = {
        { "Game 100%.zip", "Game 100%.zip" },
        { "Game 100%.zip", "Game 100% (2).zip" },
        { "README", "README" },
    };
    for (const Case& c : cases) {
        const QString file = tmp.path() + "/area/" + c.name;
        qv::test::writeBytes(file, c.inTrash.toUtf8());
        const QString where = qv::trash::moveToTrash(file, when);
        EXPECT_EQ(where, data + "/Trash/files/" + c.inTrash);
        EXPECT_FALSE(QFile::exists(file));
        EXPECT_EQ(qv::test::readBytes(where), c.inTrash.toUtf8());
        EXPECT_EQ(qv::test::readBytes(data + "/Trash/info/" + c.inTrash + ".trashinfo"),
            "[Trash Info]\nPath=" + QFile::encodeName(file).toPercentEncoding("/")
                + "\nDeletionDate=2026-12-08T03:04:05\n");
    }
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(data + "/Trash").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Nothing to move, or a trash that cannot be used: files/ taken by a plain file, by a link to
    // a directory someone else could read, or by another user's directory. The file stays and no
    // info is left behind.
    EXPECT_EQ(qv::trash::moveToTrash(tmp.path() + "/area/GONE.ZIP", when), QString());
    const QString files = data + "/Trash/files";
    const QByteArray elsewhere = QFile::encodeName(tmp.path() + "/elsewhere");
    QDir().mkpath(QString::fromUtf8(elsewhere));
    const std::function<void()> inTheWay[] = {
        [&] { qv::test::writeBytes(files, "in the way"); },
        [&] { ASSERT_EQ(::symlink(elsewhere.constData(), QFile::encodeName(files).constData()), 0); },
        [&] {
            QDir().mkpath(files);
            ASSERT_EQ(::chown(QFile::encodeName(files).constData(), 4242, 4242), 0);
        },
    };
    // Only root can give a directory away.
    for (size_t k = 0; k < std::size(inTheWay) - (::getuid() == 0 ? 0 : 1); ++k) {
        SCOPED_TRACE(k);
        QDir(files).removeRecursively();
        QFile::remove(files);
        inTheWay[k]();
        qv::test::writeBytes(tmp.path() + "/area/KEEP.ZIP", "kept");
        EXPECT_EQ(qv::trash::moveToTrash(tmp.path() + "/area/KEEP.ZIP", when), QString());
        EXPECT_EQ(qv::test::readBytes(tmp.path() + "/area/KEEP.ZIP"), "kept");
        EXPECT_FALSE(QFile::exists(data + "/Trash/info/KEEP.ZIP.trashinfo"));
        EXPECT_TRUE(QDir(QString::fromUtf8(elsewhere)).isEmpty());
    }
    qputenv("XDG_DATA_HOME", before);
}

} // namespace
