#pragma once

#include "storage/FileIo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// What the file list holds of one header record; everything else is read again when needed.
struct LoadedRow {
    std::string name; // display name (capitalised long or short name), or " (Comment)"
    int32_t size = 0;
    int32_t checksum = 0;
    std::string uploader; // as stored; the list shows "(Unknown)" when blank
    int32_t uploadDate = 0;
    int32_t fileDate = 0;
    int32_t lastDownloadDate = 0;
    int downloads = 0;
    bool comment = false;
};

struct LoadError {
    enum class Kind {
        FileBasePathNotFound, // header file or its directory missing or unreadable
        Unexpected, // anything else; code is the errno
    };
    Kind kind = Kind::Unexpected;
    int code = 0;
    std::string detail;
};

struct LoadOutcome {
    std::vector<LoadedRow> rows;
    std::optional<LoadError> error;
};

// The operations through which everything reads and changes one area's files (the store's
// rewrite engine and journal are declared beside it).
class AreaStore {
public:
    AreaStore(FileIo& io, std::string fileBaseDir);

    // Loads area N in record order; progress(i, count) is called for every tenth record.
    LoadOutcome load(int area, bool useLongNames, const std::function<void(int, int)>& progress = {}) const;

    FileIo& io() const { return *m_io; }
    const std::string& fileBaseDir() const { return m_fileBaseDir; }

private:
    FileIo* m_io;
    std::string m_fileBaseDir;
};

} // namespace qv
