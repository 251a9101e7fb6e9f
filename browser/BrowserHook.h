#pragma once

#include <QString>

#include <functional>

namespace qv {

class Desktop;
class Dialogs;
struct Settings;

struct BrowserLaunch {
    Settings& settings; // raDir and fileBasePath already known
    Dialogs& dialogs;
    Desktop& desktop;
    // Non-empty: grab the window after the first area load into this PNG and end.
    QString screenshotFile;
    // The shutdown writer of the settings; false when a write failed.
    std::function<bool(const Settings&, bool windowNormal)> writeSettings;
};

// Browser window creation to the end of the run: reads the area configuration, creates and
// shows the window, loads the start-up area and runs the event loop. Returns the exit code.
int runBrowserWindow(BrowserLaunch& launch);

// Host directory of a stored DOS path: Unix paths as they are; for X:\rest the drive is found
// as the nearest parent of the board directory under which rest exists.
QString hostPathOf(const std::string& storedPath, const std::string& boardDir);

} // namespace qv
