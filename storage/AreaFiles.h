#pragma once

#include "storage/FileIo.h"

#include <cstdint>
#include <string>

namespace qv {

enum class AreaFileKind { Header, Index, Description, LongName };

// Record size of a kind (0 for the description file, which has none).
size_t recordSize(AreaFileKind kind);
// Records held by a file of that length; a partial last record is ignored.
uint64_t recordCount(uint64_t fileLength, AreaFileKind kind);

// Host path of an area file: fileBaseDir/hdr/fdbN.hdr and so on. The directory and the file name
// are matched without regard to case against what exists (a board may hold HDR/FDB12.HDR); when
// nothing matches, the lower-case name is returned, which is also the name new files get.
std::string areaFilePath(FileIo& io, const std::string& fileBaseDir, int area, AreaFileKind kind);

// The directory part of a host path ("." for a bare name).
std::string directoryOf(const std::string& path);

// Resolves each component of an absolute host path without regard to case against what exists;
// components that do not exist are kept as given.
std::string resolveCaseInsensitive(FileIo& io, const std::string& path);

} // namespace qv
