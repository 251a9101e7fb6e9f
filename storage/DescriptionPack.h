#pragma once

#include "storage/AreaStore.h"
#include "storage/RewritePlan.h"

#include <cstdint>

namespace qv {

// What packing an area's description file would do: keep only the texts some record points at
// (description pointers of header and index, the board's long-name pointer), in record order,
// a text shared by several records once.
struct PackSurvey {
    uint64_t records = 0;
    uint64_t fileBytes = 0; // the description file as it is
    uint64_t keptBytes = 0; // as a pack would leave it
    uint64_t texts = 0; // kept texts (texts sharing their end count once)
    DescriptionLayout layout;
    FileIo::Stamp header; // the header file the survey read

    uint64_t reclaimable() const { return keptBytes < fileBytes ? fileBytes - keptBytes : 0; }
};

// Reads the area's records and description file and lays the kept texts out anew. Bytes behind
// the file's last zero byte (a text without its end, or one the board is appending) are kept as
// they are, at the end. A pointer past the end stays past the end.
Result<PackSurvey> surveyPack(FileIo& io, const std::string& fileBaseDir, int area);
// Its figures (everything but the layout's stretches) for the rows a load gave, from their
// pointers (WithPointers::Yes), reading only the index and description files. Fit for showing
// what a pack would reclaim, not for a pack: the header may have changed.
Result<PackSurvey> surveyPackFigures(
    FileIo& io, const std::string& fileBaseDir, int area, std::span<const TextPointers> pointers);

struct PackOutcome {
    uint64_t bytesBefore = 0;
    uint64_t bytesAfter = 0;
    uint64_t texts = 0;
    bool written = false; // false when there was nothing to reclaim
    CarriedOver carried; // what the board wrote meanwhile and the pack kept
};

// Packs the description file: the header, index, long-name and description files are replaced
// together as one journalled change, every pointer moved with its text. Writes nothing when
// nothing would be reclaimed. Tries again (a few times) when the board wrote to the area at the
// moment of the commit.
Result<PackOutcome> packDescriptions(AreaStore& store, int area);

} // namespace qv
