#include "board/TransferLeftovers.h"

#include "board/Board.h"
#include "platform/ShortName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace qv {

namespace {
const QString kPrefix = QStringLiteral(".qvcopy-");

QString folded(const QString& name)
{
    return name.trimmed().toCaseFolded();
}
} // namespace

QString TransferLeftovers::temporaryCopyIn(const QString& directory)
{
    static std::atomic<int> serial { 0 };
    return directory + QLatin1Char('/') + kPrefix + QStringLiteral("%1-%2.tmp").arg(::getpid()).arg(serial++);
}

qint64 TransferLeftovers::writerOf(const QString& fileName)
{
    if (!fileName.startsWith(kPrefix) || !fileName.endsWith(QLatin1String(".tmp")))
        return 0;
    const QStringList parts = fileName.mid(kPrefix.size()).chopped(4).split(QLatin1Char('-'));
    bool pidOk = false;
    bool serialOk = false;
    const qint64 pid = parts.size() == 2 ? parts[0].toLongLong(&pidOk) : 0;
    if (parts.size() == 2)
        (void)parts[1].toInt(&serialOk);
    return pidOk && serialOk && pid > 0 ? pid : 0;
}

void TransferLeftovers::removeDeadCopies(const QString& directory)
{
    if (directory.isEmpty())
        return;
    for (const QString& name : QDir(directory).entryList({ kPrefix + QLatin1Char('*') }, QDir::Files | QDir::Hidden)) {
        const qint64 pid = writerOf(name);
        // Kept while its process may still be copying (or belongs to someone else).
        if (pid <= 0 || pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        QFile::remove(directory + QLatin1Char('/') + name);
    }
}

TransferLeftovers::TransferLeftovers(Board& board)
    : m_board(board)
{
}

TransferLeftovers::Named TransferLeftovers::namedIn(int area) const
{
    Named named;
    named.area = area;
    const Board::AreaDirectory dir = m_board.areaDirectory(area);
    if (!dir.ok())
        return named;
    named.directory = dir.host;
    named.canonical = QDir(dir.host).canonicalPath();
    // A row names its file by the long name or the 8.3 name.
    for (const bool longNames : { true, false }) {
        const LoadOutcome loaded = m_board.store().load(area, longNames);
        for (size_t i = 0; i < loaded.rows.size(); ++i)
            if (!loaded.rows[i].comment)
                named.positions.insert(folded(m_board.text(loaded.rows[i].name)), uint64_t(i));
    }
    return named;
}

QStringList TransferLeftovers::find(int area)
{
    QStringList out;
    const Board::AreaDirectory dir = m_board.areaDirectory(area);
    if (!dir.ok())
        return out;
    const QDir d(dir.host);
    const QStringList every = d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList unnamed;
    const Named own = namedIn(area);
    const QHash<QString, QString> aliases = shortname::shortNamesFor(every);
    for (const QString& name : every) {
        if (writerOf(name) > 0) {
            out << QStringLiteral("temporary copy %1 left by an interrupted transfer").arg(d.filePath(name));
            continue;
        }
        if (!QFileInfo(d.filePath(name)).isFile() || own.positions.contains(folded(name))
            || own.positions.contains(folded(aliases.value(name))))
            continue;
        unnamed << name;
    }
    if (unnamed.isEmpty())
        return out;

    if (!m_areas) {
        m_areas.emplace();
        for (const AreaInfo& a : m_board.config().areas())
            m_areas->push_back(namedIn(a.number));
    }
    // A file no entry of its directory names whose twin (same name, size and time) another area's
    // entry names in that area's directory: the source of a move that did not get to delete it,
    // or a copy whose entry never reached this area.
    const QString canonical = d.canonicalPath();
    auto lookUp = [&](const Named& other, const QString& name) {
        auto it = other.positions.constFind(folded(name));
        return it != other.positions.constEnd() ? it : other.positions.constFind(folded(aliases.value(name)));
    };
    for (const QString& name : unnamed) {
        const bool namedHere = std::any_of(m_areas->begin(), m_areas->end(), [&](const Named& other) {
            return other.canonical == canonical && lookUp(other, name) != other.positions.constEnd();
        });
        if (namedHere)
            continue;
        const QFileInfo here(d.filePath(name));
        for (const Named& other : *m_areas) {
            if (other.directory.isEmpty() || other.canonical == canonical)
                continue;
            const auto it = lookUp(other, name);
            if (it == other.positions.constEnd())
                continue;
            const QFileInfo there(Board::entryFile(other.directory, name));
            if (!there.isFile() || there.size() != here.size() || there.lastModified() != here.lastModified())
                continue;
            out << QStringLiteral("file %1 left by an interrupted transfer: entry %2 of area %3 names its twin in %4")
                       .arg(here.filePath())
                       .arg(*it + 1)
                       .arg(other.area)
                       .arg(other.directory);
            break;
        }
    }
    return out;
}

} // namespace qv
