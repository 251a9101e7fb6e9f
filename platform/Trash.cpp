#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::trash {
namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// The device a directory is on, from its nearest existing parent while it is not made yet.
std::optional<dev_t> deviceOf(QString dir)
{
    for (;;) {
        struct stat st { };
        if (::stat(native(dir).constData(), &st) == 0)
            return st.st_dev;
        const QString up = QFileInfo(dir).path();
        if (errno != ENOENT || up == dir)
            return std::nullopt;
        dir = up;
    }
}

// A directory only we can enter, made when missing; a symbolic link or another user's
// directory in its place is refused, as someone else could read or swap what goes in.
bool privateDirectory(const QString& dir)
{
    if (::mkdir(native(dir).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st { };
    return ::lstat(native(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

QString homeTrash()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(data)) {
        const QString home = qEnvironmentVariable("HOME");
        if (!QDir::isAbsolutePath(home))
            return {};
        data = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(data) + QStringLiteral("/Trash");
}

// The top of the file system holding dir: its last parent on the same device.
QString topDirectory(QString dir, dev_t device)
{
    for (;;) {
        const QString up = QFileInfo(dir).path();
        struct stat st { };
        if (up == dir || ::stat(native(up).constData(), &st) != 0 || st.st_dev != device)
            return dir;
        dir = up;
    }
}

QString topTrash(const QString& top)
{
    const QString base = top == QLatin1String("/") ? QString() : top;
    const QString uid = QString::number(::getuid());
    // An administrator's shared .Trash counts only when it is a real directory with the sticky bit.
    const QString shared = base + QStringLiteral("/.Trash");
    struct stat st { };
    if (::lstat(native(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)
        && privateDirectory(shared + QLatin1Char('/') + uid))
        return shared + QLatin1Char('/') + uid;
    const QString own = base + QStringLiteral("/.Trash-") + uid;
    return privateDirectory(own) ? own : QString();
}

QString nameInTrash(const QFileInfo& file, int n)
{
    if (n == 1)
        return file.fileName();
    const QString suffix = file.suffix();
    return QStringLiteral("%1 (%2)").arg(file.completeBaseName()).arg(n)
        + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

} // namespace

QString moveToTrash(const QString& path, const QDateTime& when)
{
    const QFileInfo file(QFileInfo(path).absoluteFilePath());
    struct stat st { };
    if (::lstat(native(file.filePath()).constData(), &st) != 0)
        return {};

    // The home trash takes files of its own file system only: a move elsewhere would be a copy.
    QString trash = homeTrash();
    QString recorded = file.filePath(); // Path= of the info: relative to the top of a top trash
    if (const auto device = trash.isEmpty() ? std::nullopt : deviceOf(trash);
        !device || *device != st.st_dev || !QDir().mkpath(QFileInfo(trash).path()) || !privateDirectory(trash)) {
        const QString top = topDirectory(file.path(), st.st_dev);
        trash = topTrash(top);
        if (trash.isEmpty())
            return {};
        recorded = QDir(top).relativeFilePath(file.filePath());
    }
    const QString files = trash + QStringLiteral("/files");
    const QString info = trash + QStringLiteral("/info");
    if (!privateDirectory(files) || !privateDirectory(info))
        return {};

    const QByteArray text = "[Trash Info]\nPath=" + native(recorded).toPercentEncoding("/")
        + "\nDeletionDate=" + when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + '\n';
    for (int n = 1; n < 1000; ++n) {
        const QString name = nameInTrash(file, n);
        // The info file claims the name (made exclusively), as every program using the trash does.
        const QByteArray infoFile = native(info + QLatin1Char('/') + name + QStringLiteral(".trashinfo"));
        const int fd = ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
        const bool closed = ::close(fd) == 0;
        const QString target = files + QLatin1Char('/') + name;
        struct stat taken { };
        const bool free = ::lstat(native(target).constData(), &taken) != 0 && errno == ENOENT;
        if (written && closed && free && ::rename(native(file.filePath()).constData(), native(target).constData()) == 0)
            return target;
        ::unlink(infoFile.constData());
        if (!written || !closed || free)
            return {}; // the rename failed: the file stays where it was
    }
    return {};
}

bool restore(const QString& inTrash, const QString& original)
{
    struct stat st { };
    if (::lstat(native(original).constData(), &st) == 0 || errno != ENOENT)
        return false;
    // renameat2 with RENAME_NOREPLACE would close the gap; a link and an unlink do the same on
    // every file system a trash lives on, and never replace what another program put there.
    if (::link(native(inTrash).constData(), native(original).constData()) != 0)
        return false;
    ::unlink(native(inTrash).constData());
    const QFileInfo taken(inTrash);
    const QString info = QFileInfo(taken.path()).path() + QStringLiteral("/info/") + taken.fileName()
        + QStringLiteral(".trashinfo");
    ::unlink(native(info).constData());
    return true;
}

} // namespace qv::trash
