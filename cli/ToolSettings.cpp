#include "cli/ToolSettings.h"

#include "platform/ProfileFile.h"
#include "platform/UserPaths.h"

namespace qv {

QString ToolSettings::defaultPath()
{
    return userpaths::defaultSettingsFile(false); // the tool only reads
}

ToolSettings ToolSettings::read(const QString& path)
{
    ToolSettings s;
    const ProfileFile file(path);
    const QString main = QStringLiteral("Veltrano FE");
    s.raDir = file.read(main, QStringLiteral("RaDir"));
    s.codePage = file.read(main, QStringLiteral("CodePage"));
    const QString drives = QStringLiteral("Drives");
    for (const QString& key : file.keys(drives))
        if (!key.isEmpty() && key[0].isLetter() && (key.size() == 1 || key.mid(1) == QLatin1String(":")))
            s.drives.insert(key[0].toUpper(), file.read(drives, key));
    return s;
}

} // namespace qv
