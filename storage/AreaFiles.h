#pragma once

#include "storage/FileIo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

enum class AreaFileKind { Header, Index, Description, LongName };

// Record size of a kind (0 for the description file, which has none).
size_t recordSize(AreaFileKind kind);
// Records held by a file of that length; a partial last record is ignored.
uint64_t recordCount(uint64_t fileLength, AreaFileKind kind);

// Host path of an area file: fileBaseDir/hdr/fdbN.hdr and so on. The directory and the file name
// are matched without regard to case against what exists (a board may hold HDR/FDB12.HDR); when
// nothing matches, the lower-case name is returned, which is also the name new files get. The
// long-name file always lies beside the header file. Empty without a file base directory, so that
// nothing is ever taken from the current directory.
std::string areaFilePath(FileIo& io, const std::string& fileBaseDir, int area, AreaFileKind kind);

// The directory part of a host path ("." for a bare name).
std::string directoryOf(const std::string& path);

// Resolves a host path without regard to case against what exists. Every spelling of every
// component is tried, the exact one first, and the first that leads to an existing file wins
// (directories HDR and hdr may each hold some of the areas). When none does, each existing
// directory is taken in its first spelling and the missing rest is kept as given.
std::string resolveCaseInsensitive(FileIo& io, const std::string& path);

// Every existing path that differs from path only in case, the exact one first.
std::vector<std::string> caseVariants(FileIo& io, const std::string& path);

// A name inside one directory: the exact name when it exists, else the first existing name that
// differs only in case, else the name as given.
std::string resolveNameIn(FileIo& io, const std::string& directory, const std::string& name);

} // namespace qv
