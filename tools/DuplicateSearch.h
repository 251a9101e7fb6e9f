#pragma once

#include "storage/Result.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class Board;

// The same file in several places: entries of the chosen areas with one name (without regard to
// case, the long name where the entry has one), or whose files have the same size and the same
// CRC-32 of their bytes. Comment lines never count. Only reads.
class DuplicateSearch {
public:
    enum class By { Name, Content };
    struct Entry {
        int area = 0;
        uint64_t position = 0; // 0-based
        std::string name; // as the file list shows it (board bytes)
        int64_t size = 0; // by name: as stored; by content: on disk
        int32_t fileDate = 0;
        std::string uploader;
    };
    struct Group {
        std::vector<Entry> entries; // in area order, then position
    };
    struct Outcome {
        std::vector<Group> groups; // by the first entry's area and position
        std::optional<Error> error;
        bool stopped = false;
        uint64_t bytesRead = 0; // by content: file bytes checksummed
    };

    explicit DuplicateSearch(const Board& board);

    // areas in the order searched; stop may be set from another thread (checked between files
    // and between areas); progress(area) before each area.
    Outcome find(const std::vector<int>& areas, By by, const std::atomic<bool>* stop = nullptr,
        const std::function<void(int area)>& progress = {}) const;

    // CRC-32 of a file's bytes; nullopt when it cannot be read (or stop was set).
    static std::optional<uint32_t> fileCrc(const QString& path, const std::atomic<bool>* stop, uint64_t* bytesRead);

private:
    const Board& m_board;
};

} // namespace qv
