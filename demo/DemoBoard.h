#pragma once

#include <string>

namespace qv {

// Writes a small board with a few groups and areas (one of them large) into dir:
// dir/RA holds the configuration, dir/FDB the file base, dir/FILES/<name> the areas' files.
bool writeDemoBoard(const std::string& dir, std::string& error);

} // namespace qv
