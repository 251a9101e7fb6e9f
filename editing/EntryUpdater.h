#pragma once

#include "storage/AreaStore.h"
#include "storage/HeaderRecord.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;

// Refreshes the stored size and file date of entries from their files on disk. A missing file
// gets size 0, the date 01-01-1980 and the Missing/Offline bit; a file that is there never clears
// the bit. All changed records go into the area in one rewrite.
class EntryUpdater {
public:
    struct Changed {
        uint64_t position = 0;
        int32_t size = 0;
        int32_t fileDate = 0;
        uint8_t attributes = 0;
        bool missing = false;
        HeaderRecord::Bytes record {}; // the header record as now stored
    };
    struct Outcome {
        std::vector<Changed> changed; // records whose bytes changed, in list order
        QStringList missing; // row texts whose file is gone
        QStringList skipped; // row texts whose file exists but cannot be read: left as they are
        std::optional<Error> error; // the change failed: nothing changed
    };

    explicit EntryUpdater(Board& board);

    // rows: every row of the area as loaded; selected: 0-based positions (comment lines and
    // positions past the end are passed over). Refused (kRowsChanged) unless the updated
    // positions still hold the records shown. checked(done, total) after each file looked at.
    Outcome update(int area, const LoadedRows& rows, std::vector<int> selected,
        const std::function<void(size_t done, size_t total)>& checked = {});

    // The stored form of 01-01-1980, the date a missing file gets.
    static int32_t missingFileDate();

private:
    Board& m_board;
};

} // namespace qv
