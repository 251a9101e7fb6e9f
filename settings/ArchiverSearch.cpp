#include "settings/ArchiverSearch.h"

#include <QDir>
#include <QFileInfo>

namespace qv {

const std::vector<KnownArchiver>& knownArchivers()
{
    // The DOS programs first, with their own options; then what a Linux system has.
    // lhasa's lha is left out: it lower-cases the names of DOS archives and then matches the
    // member name with case, so it never finds FILE_ID.DIZ. 7-Zip reads LZH with any case.
    static const QString sevenZip = QStringLiteral("e -y -ssc-");
    static const QString unar = QStringLiteral("-f -D");
    static const std::vector<KnownArchiver> table {
        { 1, QStringLiteral("ARC"),
            { { QStringLiteral("Pak.exe"), QStringLiteral("-xr") }, { QStringLiteral("nomarch"), QStringLiteral("-U") },
                { QStringLiteral("unar"), unar } } },
        { 2, QStringLiteral("ARJ"),
            { { QStringLiteral("Arj.exe"), QStringLiteral("e -c -y") }, { QStringLiteral("arj"), QStringLiteral("e -y") },
                { QStringLiteral("7zz"), sevenZip }, { QStringLiteral("7z"), sevenZip } } },
        { 3, QStringLiteral("LZH"),
            { { QStringLiteral("Lha.exe"), QStringLiteral("e /cm") }, { QStringLiteral("7zz"), sevenZip },
                { QStringLiteral("7z"), sevenZip }, { QStringLiteral("unar"), unar } } },
        { 4, QStringLiteral("PAK"),
            { { QStringLiteral("Unpack.exe"), QStringLiteral("E /WA") }, { QStringLiteral("unar"), unar } } },
        { 5, QStringLiteral("RAR"),
            { { QStringLiteral("Rar.exe"), QStringLiteral("x -o+ -y") }, { QStringLiteral("unrar"), QStringLiteral("e -o+ -y") },
                { QStringLiteral("unrar-free"), QStringLiteral("-x -f --extract-no-paths") } } },
        { 6, QStringLiteral("ZIP"),
            { { QStringLiteral("Pkunzip.exe"), QString() }, { QStringLiteral("unzip"), QStringLiteral("-o -C -j") } } },
        { 7, QStringLiteral("ZOO"),
            { { QStringLiteral("Zoo.exe"), QStringLiteral("e0") }, { QStringLiteral("unar"), unar } } },
        { 8, QStringLiteral("7Z"),
            { { QStringLiteral("7zz"), sevenZip }, { QStringLiteral("7z"), sevenZip }, { QStringLiteral("7za"), sevenZip } } },
    };
    return table;
}

namespace {
// A slot whose program was not found keeps the options of the Linux program the sysop is most
// likely to install and enter later.
QString nativeOptions(const KnownArchiver& archiver)
{
    for (const KnownArchiver::Program& p : archiver.programs)
        if (!p.name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
            return p.options;
    return archiver.programs.front().options;
}

// Debian's unrar can be an alternatives link to unrar-free, which takes other options: a name
// that leads to another program of the slot gets that program's options.
QString optionsFor(const KnownArchiver& archiver, const KnownArchiver::Program& matched, const QFileInfo& file)
{
    const QString target = QFileInfo(file.canonicalFilePath()).fileName();
    for (const KnownArchiver::Program& p : archiver.programs)
        if (p.name.compare(target, Qt::CaseInsensitive) == 0)
            return p.options;
    return matched.options;
}
} // namespace

QStringList ArchiverSearch::pathDirectories(const QString& path)
{
    QStringList dirs;
    for (QString dir : path.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        dir = dir.trimmed();
        if (dir.isEmpty())
            continue;
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        dirs << dir;
    }
    return dirs;
}

void ArchiverSearch::run(const QStringList& directories, const std::function<void(const QString&)>& progress)
{
    const auto& table = knownArchivers();
    for (const QString& dir : directories) {
        if (progress)
            progress(dir + QStringLiteral("..."));
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Executable);
        for (size_t i = 0; i < table.size(); ++i) {
            if (m_hits[i])
                continue;
            for (const KnownArchiver::Program& program : table[i].programs) {
                const auto it = std::find_if(entries.begin(), entries.end(), [&](const QFileInfo& e) {
                    return e.fileName().compare(program.name, Qt::CaseInsensitive) == 0;
                });
                if (it != entries.end()) {
                    m_hits[i] = Hit { dir + it->fileName(), optionsFor(table[i], program, *it) };
                    break;
                }
            }
        }
    }
}

bool ArchiverSearch::found(int slot) const
{
    const auto& table = knownArchivers();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].slot == slot)
            return m_hits[i].has_value();
    return false;
}

std::array<ArchiverSlot, 32> ArchiverSearch::archiverSlots() const
{
    std::array<ArchiverSlot, 32> result {};
    const auto& table = knownArchivers();
    for (size_t i = 0; i < table.size(); ++i) {
        ArchiverSlot& s = result[size_t(table[i].slot - 1)];
        s.extension = table[i].extension.toStdString();
        s.path = m_hits[i] ? m_hits[i]->path.toStdString() : std::string();
        s.options = (m_hits[i] ? m_hits[i]->options : nativeOptions(table[i])).toStdString();
    }
    return result;
}

QStringList ArchiverSearch::foundPaths() const
{
    QStringList paths;
    for (const auto& hit : m_hits)
        if (hit)
            paths << hit->path;
    return paths;
}

QStringList ArchiverSearch::foundPrograms() const
{
    QStringList paths;
    QList<QStringList> extensions;
    for (size_t i = 0; i < m_hits.size(); ++i) {
        if (!m_hits[i])
            continue;
        qsizetype at = paths.indexOf(m_hits[i]->path);
        if (at < 0) {
            at = paths.size();
            paths << m_hits[i]->path;
            extensions.append(QStringList());
        }
        extensions[at] << knownArchivers()[i].extension;
    }
    QStringList lines;
    for (qsizetype k = 0; k < paths.size(); ++k)
        lines << paths[k] + QStringLiteral(" (") + extensions[k].join(QStringLiteral(", ")) + QLatin1Char(')');
    return lines;
}

QString ArchiverSearch::resultText(const QStringList& foundPaths)
{
    QString text = QStringLiteral("Quorvex has found the following archivers:\n");
    for (const QString& p : foundPaths)
        text += p + QLatin1Char('\n');
    return text
        + QStringLiteral("\nPlease check settings of additional archivers in the 'File' -> 'Preferences' menu when "
                         "Quorvex is started.");
}

} // namespace qv
