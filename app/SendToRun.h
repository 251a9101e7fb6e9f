#pragma once

#include <QString>

namespace qv {

class Dialogs;
struct Settings;

// A run started with a file: only the "Send To Area" window, then the copy or move and the new
// entry; no browser window, and no settings are written. Returns the exit code.
int runSendTo(const Settings& settings, Dialogs& dialogs, const QString& tempDir);

} // namespace qv
