#include "platform/widgets/QtDesktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

namespace qv {

Desktop::OpenResult QtDesktop::openWithAssociatedApplication(const QString& path, const QString&)
{
    const QFileInfo info(path);
    if (!info.exists())
        return OpenResult::NotFound;
    if (QMimeDatabase().mimeTypeForFile(info).isDefault())
        return OpenResult::NoApplication;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? OpenResult::Ok
                                                                                   : OpenResult::NoApplication;
}

namespace {
Desktop::Launch launch(const QString& path, bool directory)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return { false,
            directory ? QStringLiteral("the directory does not exist") : QStringLiteral("the file does not exist") };
    if (directory && !info.isDir())
        return { false, QStringLiteral("it is not a directory") };
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        return {};
    // Qt finds no launcher when the desktop's opener is missing; name the package that has it.
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return { false,
            QStringLiteral("no program to open it is installed (xdg-open was not found; install xdg-utils)") };
    return { false, QStringLiteral("the desktop could not start a program for it") };
}
}

Desktop::Launch QtDesktop::exploreDirectory(const QString& directory)
{
    return launch(directory, true);
}

Desktop::Launch QtDesktop::openDocument(const QString& path)
{
    return launch(path, false);
}

} // namespace qv
