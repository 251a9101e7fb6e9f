#include "cli/ToolSettings.h"

#include <QDir>
#include <QFile>

namespace qv {

QString ToolSettings::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/quorvex/QV.INI");
}

ToolSettings ToolSettings::read(const QString& path)
{
    ToolSettings s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return s;
    QString section;
    // QSettings would rewrite keys and treat backslashes as escapes; the file is simple enough.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        const bool main = section.compare(QLatin1String("Veltrano FE"), Qt::CaseInsensitive) == 0;
        if (main && key.compare(QLatin1String("RaDir"), Qt::CaseInsensitive) == 0)
            s.raDir = value;
        else if (main && key.compare(QLatin1String("CodePage"), Qt::CaseInsensitive) == 0)
            s.codePage = value;
        else if (section.compare(QLatin1String("Drives"), Qt::CaseInsensitive) == 0 && key.size() >= 1
            && key[0].isLetter() && (key.size() == 1 || key.mid(1) == QLatin1String(":")))
            s.drives.insert(key[0].toUpper(), value);
    }
    return s;
}

} // namespace qv
