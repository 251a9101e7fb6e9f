#include "app/BrowserLaunch.h"
#include "app/TerminationSignals.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "browser/MainWindow.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace qv {

int runBrowserWindow(BrowserLaunch& launch)
{
    Settings& s = launch.settings;
    Board::Options options = Board::optionsOf(s);
    options.useTrash = true;
    Board board(options);
    BrowserServices services { s, board, launch.dialogs, launch.desktop,
        launch.screenshotFile.isEmpty() ? launch.writeSettings : nullptr };
    // Changes a crash interrupted are finished or undone before anything reads the areas; a file
    // base that cannot be found is never searched for leftovers (the first load reports it).
    for (int area : board.recoverInterruptedChanges())
        launch.dialogs.message(
            nullptr, QStringLiteral("Quorvex"), messages::areaNeedsAttention(area), Dialogs::Icon::Warning);
    MainWindow window(services);
    window.show();
    if (launch.windowShown)
        launch.windowShown();
    if (!window.start())
        return 1;
    if (launch.screenshotFile.isEmpty()) {
        // Closed already, if the signal came while the area loaded: then nothing else would end
        // the event loop.
        if (TerminationSignals::requested())
            QTimer::singleShot(0, &window, [&window] {
                window.close();
                QApplication::quit();
            });
        return QApplication::exec();
    }

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
