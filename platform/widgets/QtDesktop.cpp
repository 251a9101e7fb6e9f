#include "platform/widgets/QtDesktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
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

bool QtDesktop::exploreDirectory(const QString& directory)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(directory));
}

} // namespace qv
