#include "browser/BrowserHook.h"

#include "browser/MainWindow.h"
#include "platform/ShortName.h"
#include "settings/Settings.h"
#include "storage/AreaFiles.h"
#include "storage/Text.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace qv {

QString hostPathOf(const std::string& storedPath, const std::string& boardDir)
{
    const std::string trimmed(text::trim(storedPath));
    if (trimmed.empty() || trimmed[0] == '/')
        return QString::fromStdString(trimmed);
    std::string rest = trimmed.size() >= 2 && trimmed[1] == ':' ? trimmed.substr(2) : trimmed;
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    QDir root(QString::fromStdString(boardDir));
    do {
        const std::string candidate
            = resolveCaseInsensitive(systemFileIo(), root.absolutePath().toStdString() + "/" + rest);
        if (QFileInfo::exists(QString::fromStdString(candidate)))
            return QString::fromStdString(candidate);
    } while (root.cdUp());
    return QString::fromStdString("/" + rest);
}

int runBrowserWindow(BrowserLaunch& launch)
{
    Settings& s = launch.settings;
    const AreaConfiguration config = AreaConfiguration::read(systemFileIo(), s.raDir);
    const std::string boardDir = s.raDir;
    BrowserServices services { s, config, launch.dialogs, launch.desktop, systemFileIo(),
        hostPathOf(s.fileBasePath, boardDir).toStdString(), CodePage(QByteArray::fromStdString(s.codePage)),
        [boardDir](const std::string& dos) { return hostPathOf(dos, boardDir); },
        [](const QString& dir, const QString& row) {
            // Row texts may be long names or 8.3 names in any case; fall back to the plain path
            // so that messages still name the file the sysop expects.
            const QString found = shortname::findEntryFile(dir, row);
            return found.isEmpty() ? dir + "/" + row : found;
        },
        launch.screenshotFile.isEmpty() ? launch.writeSettings : nullptr };
    MainWindow window(services);
    window.show();
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
