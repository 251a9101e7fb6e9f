#include "platform/ShortName.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace qv::shortname {
namespace {

bool isLegal(QChar c)
{
    if (c.unicode() >= 0x80)
        return false;
    const char a = char(c.unicode());
    if ((a >= 'A' && a <= 'Z') || (a >= 'a' && a <= 'z') || (a >= '0' && a <= '9'))
        return true;
    return QByteArrayView("!#$%&'()-@^_`{}~").contains(a);
}

QString legalUpper(QStringView s, qsizetype limit)
{
    QString out;
    for (QChar c : s) {
        if (out.size() >= limit)
            break;
        if (isLegal(c))
            out += c.toUpper();
        else if (c != ' ' && c != '.')
            out += '_'; // characters DOS names cannot hold still occupy a place, as on DOS-era systems
    }
    return out;
}

// next: per basis and extension, the first number not yet known to be taken; the names taken
// only grow, so a search may start there (a directory of thousands of similar names would
// otherwise try every smaller number again for each name).
QString aliasFor(const QString& name, const QSet<QString>& taken, QHash<QString, int>& next)
{
    const qsizetype dot = name.lastIndexOf('.');
    QString basis = legalUpper(dot > 0 ? QStringView(name).left(dot) : QStringView(name), 8);
    QString ext = dot > 0 ? legalUpper(QStringView(name).mid(dot + 1), 3) : QString();
    if (basis.isEmpty()) { // ".profile" and the like: the text after the dot is the basis
        basis = legalUpper(QStringView(name).mid(dot + 1), 8);
        ext.clear();
    }
    if (basis.isEmpty())
        basis = "_";
    int& first = next[basis + QLatin1Char('.') + ext];
    for (int n = std::max(first, 1); n < 1000000; ++n) {
        const QString tail = "~" + QString::number(n);
        const QString candidate
            = basis.left(std::min<qsizetype>(6, 8 - tail.size())) + tail + (ext.isEmpty() ? QString() : "." + ext);
        if (!taken.contains(candidate)) {
            first = n;
            return candidate;
        }
    }
    return basis.left(8);
}

} // namespace

bool isValid83(const QString& name)
{
    if (name.isEmpty() || name.count('.') > 1)
        return false;
    const qsizetype dot = name.indexOf('.');
    const QStringView base = dot < 0 ? QStringView(name) : QStringView(name).left(dot);
    const QStringView ext = dot < 0 ? QStringView() : QStringView(name).mid(dot + 1);
    if (base.isEmpty() || base.size() > 8 || ext.size() > 3 || (dot >= 0 && ext.isEmpty()))
        return false;
    return std::all_of(base.begin(), base.end(), isLegal) && std::all_of(ext.begin(), ext.end(), isLegal);
}

QHash<QString, QString> shortNamesFor(QStringList names)
{
    names.sort();
    QHash<QString, QString> result;
    QSet<QString> taken;
    for (const QString& n : names)
        if (isValid83(n)) {
            result.insert(n, n.toUpper());
            taken.insert(n.toUpper());
        }
    QHash<QString, int> next;
    for (const QString& n : names) {
        if (result.contains(n))
            continue;
        const QString alias = aliasFor(n, taken, next);
        taken.insert(alias);
        result.insert(n, alias);
    }
    return result;
}

QString shortNameInDirectory(const QString& directory, const QString& fileName)
{
    if (isValid83(fileName))
        return fileName.toUpper();
    QStringList names
        = QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!names.contains(fileName))
        names << fileName;
    return shortNamesFor(names).value(fileName);
}

QString shortPathOf(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const QStringList parts = clean.split('/', Qt::SkipEmptyParts);
    QString dir = clean.startsWith('/') ? QStringLiteral("/") : QString();
    QString out = dir;
    for (const QString& part : parts) {
        const QString shortPart = shortNameInDirectory(dir.isEmpty() ? QStringLiteral(".") : dir, part);
        if (!out.isEmpty() && !out.endsWith('/'))
            out += '/';
        out += shortPart;
        if (!dir.isEmpty() && !dir.endsWith('/'))
            dir += '/';
        dir += part;
    }
    return out;
}

QString findEntryFile(const QString& directory, const QString& rowText)
{
    const QString wanted = rowText.trimmed();
    if (wanted.isEmpty() || directory.isEmpty())
        return {};
    // The name as given needs no listing of the directory.
    const QDir dir(directory);
    if (QFileInfo(dir.filePath(wanted)).isFile())
        return dir.filePath(wanted);
    return DirectoryNames(directory).find(wanted);
}

DirectoryNames::DirectoryNames(QString directory)
    : m_directory(std::move(directory))
{
    const QDir dir(m_directory);
    m_entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        m_exact.insert(n);
        m_byName.insert(n.toCaseFolded(), n);
    }
}

QString DirectoryNames::find(const QString& rowText) const
{
    const QString wanted = rowText.trimmed();
    if (wanted.isEmpty() || m_directory.isEmpty())
        return {};
    const QDir dir(m_directory);
    if (m_exact.contains(wanted))
        return dir.filePath(wanted);
    if (const auto it = m_byName.constFind(wanted.toCaseFolded()); it != m_byName.cend())
        return dir.filePath(*it);
    if (!m_aliasesMade) {
        m_aliasesMade = true;
        const QHash<QString, QString> shorts = shortNamesFor(m_entries);
        for (auto it = shorts.cbegin(); it != shorts.cend(); ++it)
            if (m_byName.contains(it.key().toCaseFolded()))
                m_byAlias.insert(it.value().toCaseFolded(), it.key());
    }
    if (const auto it = m_byAlias.constFind(wanted.toCaseFolded()); it != m_byAlias.cend())
        return dir.filePath(*it);
    return {};
}

void DirectoryNames::added(const QString& fileName)
{
    if (m_byName.contains(fileName.toCaseFolded()))
        return;
    m_exact.insert(fileName);
    m_byName.insert(fileName.toCaseFolded(), fileName);
    m_entries.append(fileName);
    // Aliases are numbered over the whole directory: a new name may shift them.
    m_aliasesMade = false;
    m_byAlias.clear();
}

} // namespace qv::shortname
