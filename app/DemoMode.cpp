#include "app/DemoMode.h"

#include "demo/DemoBoard.h"
#include "platform/ProfileFile.h"
#include "settings/ArchiverSearch.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>

namespace qv {

QString prepareDemo(const QString& directory, const QString& searchPath, QString& error)
{
    if (!QFileInfo::exists(directory + QLatin1Char('/') + QLatin1String(kDemoMarkerName))) {
        std::string why;
        if (!writeDemoBoard(directory.toStdString(), why)) {
            error = QString::fromStdString(why);
            return {};
        }
    }
    const QString settingsPath = directory + QStringLiteral("/QV.INI");
    ProfileFile profile(settingsPath);
    if (profile.read(settingsfile::kSection, QStringLiteral("RaDir")).isEmpty()) {
        // What the first-run setup would have written for this board.
        ArchiverSearch search;
        search.run(ArchiverSearch::pathDirectories(searchPath));
        if (!profile.write(settingsfile::kSection, QStringLiteral("RaDir"), directory + QStringLiteral("/RA/"))
            || !profile.write(settingsfile::kSection, QStringLiteral("OriginalOrder"), QStringLiteral("False"))
            || !settingsfile::writeArchiverSlots(profile, search.archiverSlots())) {
            error = QStringLiteral("cannot write ") + settingsPath;
            return {};
        }
    }
    return settingsPath;
}

} // namespace qv
