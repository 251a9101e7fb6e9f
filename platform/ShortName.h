#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace qv {

// The 8.3 names the board stores for the files of a directory, as a DOS-era platform reports
// them. Linux keeps no short names, so they are derived the same way every time from the
// directory's listing: a valid 8.3 name is its own short name in upper case, any other name gets
// an alias BASIS~N.EXT that is unique within the directory.
namespace shortname {

// 1-8 legal characters, optionally a dot and 1-3 legal characters (any letter case).
bool isValid83(const QString& name);

// Short names for a set of names living in one directory, in a stable order (names sorted, so
// the same listing always gives the same aliases).
QHash<QString, QString> shortNamesFor(QStringList names);

// Short name of one file of a directory (the directory is listed to keep aliases unique).
QString shortNameInDirectory(const QString& directory, const QString& fileName);

// The short form of a full path, component by component.
QString shortPathOf(const QString& path);

// The real file in directory for a row text of the file list (a long or a short name, any
// case); empty when none matches.
QString findEntryFile(const QString& directory, const QString& rowText);

// findEntryFile for many row texts of one directory: the directory is listed once. Files made
// in it meanwhile are told with added().
class DirectoryNames {
public:
    explicit DirectoryNames(QString directory);
    QString find(const QString& rowText) const;
    void added(const QString& fileName);
    const QString& directory() const { return m_directory; }

private:
    QString m_directory;
    QStringList m_entries; // files and folders, for the aliases
    QSet<QString> m_exact;
    QHash<QString, QString> m_byName; // case-folded name -> name
    mutable QHash<QString, QString> m_byAlias; // case-folded alias -> name, made on first need
    mutable bool m_aliasesMade = false;
};

} // namespace shortname
} // namespace qv
