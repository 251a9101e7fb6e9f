#pragma once

#include <QDateTime>
#include <QString>

namespace qv::trash {

// Moves a file into the desktop's trash as file managers keep it (files/ and info/ with a
// .trashinfo), so the user can restore it from there: the home trash ($XDG_DATA_HOME/Trash)
// when the file is on the home's file system, otherwise the trash at the top of the file's own
// file system (.Trash/UID when the administrator made one, else .Trash-UID). Returns the path
// in the trash, or empty when no trash can take the file, which is then left where it was.
QString moveToTrash(const QString& path, const QDateTime& when = QDateTime::currentDateTime());

// Puts a file moveToTrash took back where it was and drops its info file. Refused (false, the
// file left in the trash) when another file took its old name meanwhile.
bool restore(const QString& inTrash, const QString& original);

} // namespace qv::trash
