#include "browser/BrowserHook.h"

#include "browser/MainWindow.h"
#include "platform/DosPath.h"
#include "platform/ShortName.h"
#include "settings/Settings.h"
#include "storage/AreaStore.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace qv {

int runBrowserWindow(BrowserLaunch& launch)
{
    Settings& s = launch.settings;
    const AreaConfiguration config = AreaConfiguration::read(systemFileIo(), s.raDir);
    QMap<QChar, QString> drives;
    for (const auto& [letter, dir] : s.drives)
        drives.insert(QChar(letter), QString::fromStdString(dir));
    const DosPathMapper mapper(QString::fromStdString(s.raDir), drives);
    // An unmapped drive gives no host path; the load then reports the path as not found.
    auto hostPath
        = [mapper](const std::string& stored) { return mapper.toHost(QString::fromStdString(stored)).hostPath; };
    BrowserServices services { s, config, launch.dialogs, launch.desktop, systemFileIo(),
        hostPath(s.fileBasePath).toStdString(), CodePage(QByteArray::fromStdString(s.codePage)), hostPath,
        [](const QString& dir, const QString& row) {
            // Row texts may be long names or 8.3 names in any case; fall back to the plain path
            // so that messages still name the file the sysop expects.
            const QString found = shortname::findEntryFile(dir, row);
            return found.isEmpty() ? dir + "/" + row : found;
        },
        launch.screenshotFile.isEmpty() ? launch.writeSettings : nullptr };
    // Changes a crash interrupted are finished or undone before anything reads the areas.
    for (int area : AreaStore(services.io, services.fileBaseDir).recoverAll())
        std::fprintf(stderr, "quorvex: an interrupted change of area %d could not be finished yet\n", area);
    MainWindow window(services);
    window.show();
    if (launch.windowShown)
        launch.windowShown();
    if (!window.start())
        return 1;
    if (launch.screenshotFile.isEmpty())
        return QApplication::exec();

    window.ensureFirstActivation();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    if (!window.grab().save(launch.screenshotFile, "PNG")) {
        std::fprintf(stderr, "quorvex: cannot write %s\n", qPrintable(launch.screenshotFile));
        return 1;
    }
    std::printf("Screenshot written to %s\n", qPrintable(QFileInfo(launch.screenshotFile).absoluteFilePath()));
    return 0;
}

} // namespace qv
