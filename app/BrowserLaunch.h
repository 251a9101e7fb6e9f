#pragma once

#include <QString>

#include <functional>

namespace qv {

class Desktop;
class Dialogs;
struct Settings;

struct BrowserLaunch {
    Settings& settings; // boardDirectory, fileBasePath and the values read at start-up already known
    Dialogs& dialogs;
    Desktop& desktop;
    // Non-empty: grab the window after the first area load into this PNG and end, writing nothing.
    QString screenshotFile;
    // The shutdown writer of the settings; false when a write failed.
    std::function<bool(const Settings&, bool windowNormal)> writeSettings;
    // Called once the window is up (start-up closes its splash window then).
    std::function<void()> windowShown = {};
};

// Browser window creation to the end of the run: reads the area configuration, creates and
// shows the window, loads the start-up area and runs the event loop. Returns the exit code.
int runBrowserWindow(BrowserLaunch& launch);

} // namespace qv
