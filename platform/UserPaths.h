#pragma once

#include <QString>

namespace qv::userpaths {

// $XDG_CONFIG_HOME/quorvex/QV.INI, ~/.config when the variable is unset. The directory is made
// when missing (and asked for) so that the first write can succeed.
QString defaultSettingsFile(bool makeDirectory = true);
// $XDG_DATA_HOME/quorvex/demo, ~/.local/share when the variable is unset.
QString demoDirectory();

} // namespace qv::userpaths
