#pragma once

#include "storage/AreaStore.h"

#include <string>
#include <vector>

namespace qv {

// The repairs of one area's files for what AreaCheck finds, each safe to make while the board
// runs: one rewrite of the area (records kept in place, only the damaged bytes changed), and the
// leftovers of an interrupted change finished or discarded first.
struct RepairSurvey {
    std::vector<std::string> repairs; // one line each: what is wrong, and what the repair does
    std::vector<std::string> left; // what is left as it is, and why
    bool recovery = false; // an interrupted change to finish or discard first
    bool rewrite = false; // the records need the rewrite

    bool empty() const { return repairs.empty() && left.empty(); }
};

// What repairArea would do, without changing anything.
Result<RepairSurvey> surveyRepair(FileIo& io, const std::string& fileBaseDir, int area);

// Makes the repairs (one change of the area) and returns what was done. An unreadable journal
// stops the area: it and the temporary files stay as they are, named in left.
Result<RepairSurvey> repairArea(AreaStore& store, int area);

} // namespace qv
