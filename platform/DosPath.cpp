#include "platform/DosPath.h"

#include "storage/AreaFiles.h"
#include "storage/FileIo.h"

#include <QDir>

namespace qv {

DosPathMapper::DosPathMapper(QString boardDir, QMap<QChar, QString> drives)
    : m_boardDir(QDir::cleanPath(boardDir))
{
    for (auto it = drives.cbegin(); it != drives.cend(); ++it)
        m_drives.insert(it.key().toUpper(), QDir::cleanPath(it.value()));
}

QString DosPathMapper::driveRoot(QChar drive, const QStringList& dosParts) const
{
    if (auto it = m_drives.constFind(drive); it != m_drives.cend())
        return *it;
    // The board directory /srv/bbs/RA and C:\RA\FDB share "RA": C: is then /srv/bbs.
    const QStringList board = m_boardDir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype k = std::min(board.size(), dosParts.size()); k > 0; --k) {
        bool same = true;
        for (qsizetype i = 0; i < k && same; ++i)
            same = board[board.size() - k + i].compare(dosParts[i], Qt::CaseInsensitive) == 0;
        if (same)
            return QLatin1Char('/') + board.mid(0, board.size() - k).join(QLatin1Char('/'));
    }
    return {};
}

DosPathMapper::Mapped DosPathMapper::toHost(const QString& stored) const
{
    const QString path = stored.trimmed();
    if (path.isEmpty())
        return { {}, QStringLiteral("The path is empty") };
    if (path.startsWith(QLatin1Char('/')))
        return { path, {} };

    QChar drive;
    QString rest = path;
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) {
        drive = path[0].toUpper();
        rest = path.mid(2);
    }
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);

    QString root;
    if (drive.isNull() && !rest.startsWith(QLatin1Char('/'))) {
        // A relative path is taken from the board directory, as the board's own programs run there.
        root = m_boardDir;
    } else {
        if (drive.isNull())
            drive = QLatin1Char('C');
        root = driveRoot(drive, parts);
        if (root.isEmpty())
            return { {},
                QStringLiteral("Drive %1: is not mapped; add %1=/path to the [Drives] section of QV.INI or pass "
                               "--drive %1=/path")
                    .arg(drive) };
    }
    QString joined = root;
    for (const QString& part : parts) {
        if (!joined.endsWith(QLatin1Char('/')))
            joined += QLatin1Char('/');
        joined += part;
    }
    joined = QDir::cleanPath(joined);
    return { QString::fromStdString(resolveCaseInsensitive(systemFileIo(), joined.toStdString())), {} };
}

} // namespace qv
