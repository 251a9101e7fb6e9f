#pragma once

#include "settings/SettingsFile.h"

namespace qv {

class Dialogs;

namespace settingsfile {
// Writes the settings at shutdown, telling the operator when a write failed; false then (the
// program is to end).
bool writeAtShutdown(ProfileFile& file, const Settings& settings, bool windowNormal, Dialogs& dialogs);
}

} // namespace qv
