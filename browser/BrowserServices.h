#pragma once

#include "board/Board.h"

#include <functional>

namespace qv {

class Desktop;
class Dialogs;
struct Settings;

// What the browser window works with: the settings in memory, the opened board, and the
// interfaces for everything it shows or starts outside itself.
struct BrowserServices {
    Settings& settings;
    Board& board;
    Dialogs& dialogs;
    Desktop& desktop;
    // The shutdown writer; false when a write failed (it has told the user).
    std::function<bool(const Settings&, bool windowNormal)> writeSettings;
};

} // namespace qv
