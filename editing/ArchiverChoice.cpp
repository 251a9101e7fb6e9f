#include "editing/ArchiverChoice.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace qv {

QString ArchiverChoice::extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).trimmed().toUpper();
}

std::optional<ArchiverSlot> ArchiverChoice::choose(
    const std::array<ArchiverSlot, 32>& table, const QString& name, bool requireProgram)
{
    const QString extension = extensionOf(name);
    if (extension.isEmpty())
        return std::nullopt;
    for (const ArchiverSlot& slot : table) {
        if (slot.extension.empty())
            break;
        if (QString::fromStdString(slot.extension).compare(extension, Qt::CaseInsensitive) != 0 || slot.path.empty())
            continue;
        if (requireProgram && !programFound(QString::fromStdString(slot.path)))
            continue;
        return slot;
    }
    return std::nullopt;
}

QString ArchiverChoice::resolveProgram(const QString& path)
{
    const QString p = path.trimmed();
    if (p.isEmpty())
        return {};
    if (!p.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(p);
    const QFileInfo file(p);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

} // namespace qv
