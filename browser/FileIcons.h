#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace qv {

// The small icons of the file list (1..8) and the tree's folder pictures.
namespace FileIcons {
// archiverExtensions: the configured slots in order; the scan stops at the first blank one.
int smallIconIndex(const QString& displayName, bool comment, const QStringList& archiverExtensions);
QIcon smallIcon(int index);
QIcon folderIcon(bool open);
}

} // namespace qv
