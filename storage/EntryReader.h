#pragma once

#include "storage/FileIo.h"
#include "storage/HeaderRecord.h"
#include "storage/Result.h"

#include <string>

namespace qv {

// Single-record reads for the browser: the window never opens board files itself.

// Header record n (1-based) of an area, read afresh from its header file.
Result<HeaderRecord> readHeaderRecord(FileIo& io, const std::string& fileBaseDir, int area, int n);

// The long description of entry n: the bytes at the record's description pointer up to the first
// zero byte. Missing files, a record past the end and a negative pointer all give "".
std::string readEntryDescription(FileIo& io, const std::string& fileBaseDir, int area, int n);

} // namespace qv
