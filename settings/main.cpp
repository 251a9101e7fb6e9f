// Interim entry point: starts the browser window on a board directory or on the demo board.
// The settings file, first-run setup and send-to mode come with the start-up code.
#include "browser/BrowserHook.h"
#include "demo/DemoBoard.h"
#include "platform/widgets/QtDesktop.h"
#include "platform/widgets/QtDialogs.h"
#include "settings/Settings.h"
#include "storage/AreaConfiguration.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("quorvex");
    qv::Settings settings;
    QString screenshot;
    QString board;
    bool demo = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--screenshot" && i + 1 < args.size())
            screenshot = args[++i];
        else if (args[i] == "--demo")
            demo = true;
        else if (args[i] == "--board" && i + 1 < args.size())
            board = args[++i];
        else if (args[i] == "--list")
            settings.viewList = true;
        else if (args[i] == "--area" && i + 1 < args.size())
            settings.defaultArea = args[++i].toInt();
    }
    if (demo) {
        const QString dir = QDir::tempPath() + "/quorvex-demo";
        std::string error;
        if (!qv::writeDemoBoard(dir.toStdString(), error)) {
            std::fprintf(stderr, "quorvex: demo board: %s\n", error.c_str());
            return 1;
        }
        board = dir + "/RA";
    }
    if (board.isEmpty()) {
        std::fprintf(stderr, "usage: quorvex (--demo | --board DIR) [--screenshot FILE]\n");
        return 2;
    }
    settings.raDir = board.toStdString();
    settings.fileBasePath = qv::AreaConfiguration::readFileBasePath(qv::systemFileIo(), settings.raDir);
    qv::QtDialogs dialogs;
    qv::QtDesktop desktop;
    qv::BrowserLaunch launch { settings, dialogs, desktop, screenshot, nullptr };
    return qv::runBrowserWindow(launch);
}
