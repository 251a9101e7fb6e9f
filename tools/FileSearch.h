#pragma once

#include "storage/AreaStore.h"
#include "tools/CaseFold.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace qv {

class Board;

struct SearchQuery {
    enum class Mode { Keyword, FileName };
    Mode mode = Mode::Keyword;
    QString text; // as typed; blanks at both ends are dropped
    int firstArea = 1;
    int lastArea = 65535;
    bool useLongNames = true; // file-name mode also tries the long names
    size_t rowLimit = 0; // rows of the results list, area rows included; 0 for no limit
};

struct SearchHit {
    int area = 0;
    uint64_t position = 0; // 0-based record of the area
    bool firstOfArea = false; // an area row goes before it
    LoadedRow row; // row.name is the text the results list shows, as board bytes
};

enum class SearchOutcome { Finished, Stopped, RowLimit };

// Find files: entries whose name matches a pattern or whose description holds a text, over a
// range of areas in ascending number. Reads the area files directly and writes nothing; holds
// no shared mutable state, so it may run on a worker thread while the window goes on.
class FileSearch {
public:
    struct Callbacks {
        std::function<void(int area)> areaStarted;
        std::function<void(const SearchHit&)> hit; // the hit lasts only for the call
    };

    explicit FileSearch(const Board& board);

    // The areas a search from first to last visits: configured, with a name, ascending.
    std::vector<int> areasInRange(int first, int last) const;
    // The highest configured area number with a name; 0 without areas.
    int highestArea() const;

    // Hits arrive in area order and, within an area, in record order. stop is read between
    // blocks of records and of description text, so a stop takes effect within milliseconds.
    SearchOutcome run(const SearchQuery& query, const std::atomic<bool>& stop, const Callbacks& callbacks);
    // Rows the last run produced (area rows included).
    size_t rows() const { return m_rows; }

private:
    class HitSink;
    SearchOutcome searchNames(
        int area, const NamePattern& pattern, bool longNames, const std::atomic<bool>& stop, HitSink& sink);
    SearchOutcome searchDescriptions(
        int area, const FoldedFinder& finder, const std::atomic<bool>& stop, HitSink& sink);

    // Working memory kept from area to area and run to run; grown without clearing, as every
    // byte is read over before it is looked at.
    class Scratch {
    public:
        uint8_t* take(size_t size);

    private:
        std::unique_ptr<uint8_t[]> m_bytes;
        size_t m_size = 0;
    };

    const Board& m_board;
    CaseFold m_fold;
    Scratch m_scratch;
    size_t m_rows = 0;
};

} // namespace qv
