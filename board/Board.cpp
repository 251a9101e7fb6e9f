#include "board/Board.h"

#include "board/TransferLeftovers.h"
#include "board/UndoStack.h"
#include "platform/ShortName.h"
#include "platform/Trash.h"
#include "settings/Settings.h"
#include "storage/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace qv {

namespace {
std::string hostBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
}

Board::Board(Options options, FileIo& io)
    : m_options(std::move(options))
    , m_io(&io)
    , m_codePage(m_options.codePage)
    , m_mapper(m_options.boardDirectory, m_options.drives)
{
    // No board directory is no board, never the current directory.
    const std::string boardDir = hostBytes(m_options.boardDirectory);
    if (!boardDir.empty()) {
        m_config = AreaConfiguration::read(io, boardDir, m_options.sendToMode);
        m_fileBasePath = AreaConfiguration::readFileBasePath(io, boardDir);
    }
    if (text::trim(m_fileBasePath).empty()) {
        m_fileBaseProblem = QStringLiteral("CONFIG.RA holds no file database path");
    } else {
        // The file base decides the root of its drive for every path on it, area paths included.
        m_mapper.learnDriveRoot(text(text::trim(m_fileBasePath)));
        const DosPathMapper::Mapped mapped = hostPathOf(m_fileBasePath);
        if (mapped.ok())
            m_fileBaseDir = mapped.hostPath;
        else
            m_fileBaseProblem = mapped.error;
    }
    m_store = std::make_unique<AreaStore>(io, hostBytes(m_fileBaseDir));
}

Board::Options Board::optionsOf(const Settings& settings)
{
    Options o;
    o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(settings.boardDirectory));
    for (const auto& [letter, dir] : settings.drives)
        o.drives.insert(QChar(letter).toUpper(), QFile::decodeName(QByteArray::fromStdString(dir)));
    o.codePage = QByteArray::fromStdString(settings.codePage);
    o.sendToMode = !settings.sendToFile.empty();
    return o;
}

Board::Discarded Board::discardFile(const QString& path) const
{
    Discarded d;
    // Not QFile::moveToTrash: without an existing data directory it moves the file into the
    // working directory and calls that the trash.
    if (m_options.useTrash)
        d.inTrash = trash::moveToTrash(path);
    if (!d.inTrash.isEmpty()) {
        d.gone = true;
        if (m_undo)
            m_undo->noteFile({ UndoStack::FileOp::Kind::Trashed, path, d.inTrash });
        return d;
    }
    d.gone = bool(m_io->remove(QFile::encodeName(path).toStdString()));
    if (d.gone && m_undo)
        m_undo->noteFile({ UndoStack::FileOp::Kind::Unlinked, path, {} });
    return d;
}

void Board::noteFileAppeared(const QString& path) const
{
    if (m_undo)
        m_undo->noteFile({ UndoStack::FileOp::Kind::Appeared, path, {} });
}

QString Board::areaName(int area) const
{
    const AreaInfo* info = m_config.area(area);
    return info ? text(info->name) : QString();
}

DosPathMapper::Mapped Board::hostPathOf(const std::string& storedBytes) const
{
    return m_mapper.toHost(text(text::trim(storedBytes)));
}

Board::AreaDirectory Board::areaDirectory(int area) const
{
    AreaDirectory dir;
    const std::string stored = m_config.areaFilePath(area);
    dir.stored = text(text::trim(stored));
    while (dir.stored.endsWith(QLatin1Char('\\')) && dir.stored.size() > 1)
        dir.stored.chop(1);
    if (dir.stored.isEmpty()) {
        dir.problem = m_config.areaExists(area) ? QStringLiteral("Area %1 has no file path").arg(area)
                                                : QStringLiteral("Area %1 does not exist").arg(area);
        return dir;
    }
    const DosPathMapper::Mapped mapped = hostPathOf(stored);
    if (mapped.ok())
        dir.host = mapped.hostPath;
    else
        dir.problem = mapped.error;
    return dir;
}

LoadOutcome Board::loadArea(
    int area, bool useLongNames, const std::function<void(int, int)>& progress, WithPointers withPointers) const
{
    const AreaDirectory dir = areaDirectory(area);
    if (dir.ok())
        TransferLeftovers::removeDeadCopies(dir.host);
    return m_store->load(area, useLongNames, progress, withPointers);
}

QString Board::entryFile(const QString& hostDirectory, const QString& rowText)
{
    const QString found = shortname::findEntryFile(hostDirectory, rowText);
    return found.isEmpty() ? hostDirectory + QLatin1Char('/') + rowText : found;
}

QString Board::entryFile(
    const QString& hostDirectory, const QString& rowText, std::optional<shortname::DirectoryNames>& listed)
{
    const QString wanted = rowText.trimmed();
    const QString plain = hostDirectory + QLatin1Char('/') + rowText;
    if (wanted.isEmpty() || hostDirectory.isEmpty())
        return plain;
    if (const QString given = QDir(hostDirectory).filePath(wanted); QFileInfo(given).isFile())
        return given;
    if (!listed || listed->directory() != hostDirectory)
        listed.emplace(hostDirectory);
    const QString found = listed->find(wanted);
    return found.isEmpty() ? plain : found;
}

QString Board::numberedItem(int area, const QString& name)
{
    return QStringLiteral("%1: ").arg(area, 5, 10, QLatin1Char('0')) + name;
}

QStringList Board::numberedAreaItems() const
{
    QStringList items;
    for (const AreaInfo& a : m_config.areas())
        if (!text::trim(a.name).empty())
            items.append(numberedItem(a.number, text(a.name)));
    return items;
}

QStringList Board::areaNamesSorted() const
{
    QStringList names;
    for (const AreaInfo& a : m_config.areas())
        if (!text::trim(a.name).empty())
            names.append(text(a.name));
    std::sort(names.begin(), names.end(),
        [](const QString& l, const QString& r) { return QString::compare(l, r, Qt::CaseInsensitive) < 0; });
    return names;
}

std::vector<int> Board::recoverInterruptedChanges()
{
    if (m_fileBaseDir.isEmpty())
        return {};
    return m_store->recoverAll();
}

} // namespace qv
