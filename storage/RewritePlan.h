#pragma once

#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

// The three records of one entry that does not exist yet (an added file or comment line).
struct NewEntry {
    HeaderRecord header;
    IndexRecord index;
    LongNameRecord longName;
};

// How the new header, index and long-name files of an area are made from the old ones: a list of
// runs, each saying that the next records of the new files are records of this area, records of
// one other area, or new entries. Insertion, removal, sorting, pasting and transfers between
// areas are all plans, so one engine keeps the three files in step for all of them.
//
//   RewritePlan plan;
//   plan.keep(0, p);                 // records 0..p-1 of this area
//   plan.add(entry);                 // then a new entry
//   plan.keep(p, count - p);         // then the rest
//
// Positions are 0-based record numbers.
class RewritePlan {
public:
    enum class Source : uint8_t { ThisArea, OtherArea, New };
    struct Run {
        Source source = Source::ThisArea;
        uint64_t first = 0; // record of the source area, or index into newEntries()
        uint64_t count = 0;
        // For a record of another area: the description pointer it gets in this area (its text
        // is copied into this area's description file first). Runs with a pointer hold one record.
        std::optional<int32_t> pointer;
    };

    void keep(uint64_t first, uint64_t count = 1);
    // A record of this area whose description pointers (header and index) become pointer.
    void keepRepointed(uint64_t first, int32_t pointer);
    void take(uint64_t first, std::optional<int32_t> pointer = std::nullopt);
    void takeRun(uint64_t first, uint64_t count);
    void add(NewEntry entry);

    // The area that OtherArea runs read from (0: none).
    void setOtherArea(int area) { m_otherArea = area; }
    int otherArea() const { return m_otherArea; }
    // Writes a long-name file even when the area has none yet (inserting an entry creates it).
    void setCreateLongNames(bool create) { m_createLongNames = create; }
    bool createLongNames() const { return m_createLongNames; }

    const std::vector<Run>& runs() const { return m_runs; }
    const std::vector<NewEntry>& newEntries() const { return m_new; }
    uint64_t size() const { return m_size; } // records of the new files

    // The entry inserted after the first p of count records.
    static RewritePlan insertion(uint64_t count, uint64_t p, NewEntry entry);
    // Every record except the given positions (in any order; duplicates and positions past the
    // end are ignored).
    static RewritePlan removal(uint64_t count, std::vector<uint64_t> positions);
    // Record k of the new files is record order[k] of this area.
    static RewritePlan permutation(const std::vector<uint64_t>& order);

private:
    void push(Run run);

    std::vector<Run> m_runs;
    std::vector<NewEntry> m_new;
    uint64_t m_size = 0;
    int m_otherArea = 0;
    bool m_createLongNames = false;
};

} // namespace qv
