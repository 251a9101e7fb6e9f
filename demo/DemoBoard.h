#pragma once

#include <string>

namespace qv {

// Writes a complete demo board under dir: dir/RA holds CONFIG.RA, FILES.RA, FILES.RDX, FGROUPS.RA
// and FGROUPS.RDX, dir/RA/FDB the file base, dir/RA/FILES/<AREA> the areas' files. The board
// stores DOS paths (C:\RA\FDB\, C:\RA\FILES\UTIL), which resolve to dir through drive inference.
//
// dir must be missing, empty or a demo board written earlier (which is replaced); anything else
// is refused before anything is written, so a mistyped directory never loses a real board. An
// earlier demo board holds only the demo's names, its configuration files exactly as written
// (the window never changes those), and at most a QV.INI beside RA.
bool writeDemoBoard(const std::string& dir, std::string* error);

inline bool writeDemoBoard(const std::string& dir, std::string& error)
{
    return writeDemoBoard(dir, &error);
}

// Name of the marker file that tells a demo board from a real one.
inline constexpr const char* kDemoMarkerName = ".quorvex-demo";

} // namespace qv
