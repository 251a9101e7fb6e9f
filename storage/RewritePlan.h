#pragma once

#include "storage/AreaFiles.h"
#include "storage/FileIo.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/LargeTable.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qv {

// The three records of one entry that does not exist yet (an added file or comment line).
struct NewEntry {
    HeaderRecord header;
    IndexRecord index;
    LongNameRecord longName;
};

// A description file written anew beside the records (a pack): stretches of the old file at
// new offsets, gaps between them zero bytes, then everything the old file holds from tailFrom
// on as it is at the commit point, so texts the board appends meanwhile come along. Every
// description and long-name pointer of the records is moved with the bytes it points at.
struct DescriptionLayout {
    struct Stretch {
        uint64_t from = 0; // in the old file
        uint64_t length = 0;
        uint64_t to = 0; // in the new file
    };
    LargeVector<Stretch> stretches; // sorted by from, not overlapping
    uint64_t tailFrom = 0;
    uint64_t tailTo = 0;
    // The old file as the layout was made from it: replaced or shorter at the commit point, the
    // rewrite gives up with kChangedMeanwhile.
    FileIo::Stamp read;

    // Where the byte at old offset p is in the new file, nullopt when it is not kept. Offsets
    // from tailFrom on move with the tail whether the old file holds them or not.
    std::optional<uint64_t> moved(uint64_t p) const;
    // Length of the new file without the tail.
    uint64_t packedLength() const { return tailTo; }
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

    // Changes each record of this area as it is copied into the new files (kind, its record
    // number in the old files, its bytes); records the board writes meanwhile are not edited.
    using RecordEdit = std::function<void(AreaFileKind kind, uint64_t record, uint8_t* bytes)>;
    void setRecordEdit(RecordEdit edit) { m_edit = std::move(edit); }
    const RecordEdit& recordEdit() const { return m_edit; }
    // Writes only the index file, for a plan that keeps every record where it is: the header and
    // long-name files stay as they are.
    void setIndexOnly(bool only) { m_indexOnly = only; }
    bool indexOnly() const { return m_indexOnly; }
    // Writes the description file anew too (only for plans of this area's own records).
    void setDescriptionLayout(DescriptionLayout layout) { m_layout = std::move(layout); }
    const std::optional<DescriptionLayout>& descriptionLayout() const { return m_layout; }

    // The area that OtherArea runs read from (0: none).
    void setOtherArea(int area) { m_otherArea = area; }
    int otherArea() const { return m_otherArea; }
    // Writes a long-name file even when the area has none yet (inserting an entry creates it).
    void setCreateLongNames(bool create) { m_createLongNames = create; }
    bool createLongNames() const { return m_createLongNames; }

    const std::vector<Run>& runs() const { return m_runs; }
    const std::vector<NewEntry>& newEntries() const { return m_new; }
    uint64_t size() const { return m_size; } // records of the new files

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
    bool m_indexOnly = false;
    RecordEdit m_edit;
    std::optional<DescriptionLayout> m_layout;
};

} // namespace qv
