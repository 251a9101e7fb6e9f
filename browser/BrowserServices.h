#pragma once

#include "platform/CodePage.h"
#include "storage/AreaConfiguration.h"
#include "storage/AreaStore.h"
#include "storage/FileIo.h"

#include <QString>

#include <functional>
#include <string>

namespace qv {

class Desktop;
class Dialogs;
struct Settings;

// What the browser window works with: the settings in memory, the board's area configuration,
// the file base, and the interfaces for everything it shows or starts outside itself.
struct BrowserServices {
    Settings& settings;
    const AreaConfiguration& config;
    Dialogs& dialogs;
    Desktop& desktop;
    FileIo& io;
    std::string fileBaseDir; // host directory of the file database
    CodePage codePage;
    // Host directory of a stored DOS path (an area's file path field).
    std::function<QString(const std::string& dosPath)> hostPath;
    // Real file in a host directory for the row text shown in the list (names without case, 8.3).
    std::function<QString(const QString& directory, const QString& rowText)> resolveFile;
    // The shutdown writer; false when a write failed (it has told the user).
    std::function<bool(const Settings&, bool windowNormal)> writeSettings;
};

} // namespace qv
