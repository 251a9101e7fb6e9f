#include "platform/DosPath.h"

#include "storage/AreaFiles.h"
#include "storage/FileIo.h"

#include <QDir>

namespace qv {

DosPathMapper::DosPathMapper(QString boardDir, QMap<QChar, QString> drives)
    : m_boardDir(QDir::cleanPath(boardDir))
    , m_learned(std::make_shared<QMap<QChar, QString>>())
{
    for (auto it = drives.cbegin(); it != drives.cend(); ++it)
        m_drives.insert(it.key().toUpper(), QDir::cleanPath(it.value()));
}

DosPathMapper::DosParts DosPathMapper::split(const QString& stored)
{
    const QString path = stored.trimmed();
    DosParts out;
    QString rest = path;
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) {
        out.drive = path[0].toUpper();
        rest = path.mid(2);
    }
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // "\RA\FDB" names the board's own drive, taken as C:.
    if (out.drive.isNull() && rest.startsWith(QLatin1Char('/')))
        out.drive = QLatin1Char('C');
    out.parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return out;
}

QString DosPathMapper::inferRoot(const QStringList& dosParts) const
{
    // The board directory /srv/bbs/RA and C:\RA\FDB share "RA": C: is then /srv/bbs.
    const QStringList board = m_boardDir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!m_boardDir.startsWith(QLatin1Char('/')))
        return {};
    for (qsizetype k = std::min(board.size(), dosParts.size()); k > 0; --k) {
        bool same = true;
        for (qsizetype i = 0; i < k && same; ++i)
            same = board[board.size() - k + i].compare(dosParts[i], Qt::CaseInsensitive) == 0;
        if (same)
            return QLatin1Char('/') + board.mid(0, board.size() - k).join(QLatin1Char('/'));
    }
    return {};
}

QString DosPathMapper::driveRoot(QChar drive, const QStringList& dosParts) const
{
    if (auto it = m_drives.constFind(drive); it != m_drives.cend())
        return *it;
    if (auto it = m_learned->constFind(drive); it != m_learned->cend())
        return *it;
    const QString root = inferRoot(dosParts);
    if (!root.isEmpty())
        m_learned->insert(drive, root);
    return root;
}

QChar DosPathMapper::learnDriveRoot(const QString& stored)
{
    const DosParts dos = split(stored);
    if (dos.drive.isNull() || driveRoot(dos.drive, dos.parts).isEmpty())
        return {};
    return dos.drive;
}

DosPathMapper::Mapped DosPathMapper::toHost(const QString& stored) const
{
    const QString path = stored.trimmed();
    if (path.isEmpty())
        return { {}, QStringLiteral("The path is empty") };
    if (path.startsWith(QLatin1Char('/')))
        return { QDir::cleanPath(path), {} };

    const DosParts dos = split(path);
    QString root;
    if (dos.drive.isNull()) {
        // A relative path is taken from the board directory, as the board's own programs run there.
        root = m_boardDir;
    } else {
        root = driveRoot(dos.drive, dos.parts);
        if (root.isEmpty())
            return { {},
                QStringLiteral("Drive %1: is not mapped; add %1=/path to the [Drives] section of QV.INI or pass "
                               "--drive %1=/path")
                    .arg(dos.drive) };
    }
    QString joined = root;
    for (const QString& part : dos.parts) {
        if (!joined.isEmpty() && !joined.endsWith(QLatin1Char('/')))
            joined += QLatin1Char('/');
        joined += part;
    }
    joined = QDir::cleanPath(joined);
    if (!joined.startsWith(QLatin1Char('/')))
        return { {}, QStringLiteral("The path %1 cannot be mapped to an absolute host path").arg(path) };
    return { QString::fromStdString(resolveCaseInsensitive(systemFileIo(), joined.toStdString())), {} };
}

} // namespace qv
