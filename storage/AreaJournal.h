#pragma once

#include "storage/FileIo.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

// The note an area rewrite leaves in the header directory (fdbN.jnl) between its commit point and
// its last rename: which temporary file replaces which area file, and how long each temporary
// file is. A complete journal means every temporary file was complete and on disk when it was
// written, so the replacements can always be finished; an incomplete one (the process died while
// writing it) means nothing was replaced yet. Paths are relative to the file base directory, so
// a board that moved still recovers.
struct AreaJournal {
    struct Replacement {
        std::string temporary;
        std::string target;
        uint64_t size = 0;
    };
    std::vector<Replacement> replacements;

    std::string serialize() const;
    // nullopt for a journal cut short or not written by this program.
    static std::optional<AreaJournal> parse(const std::string& text);
};

// The journal's path for area N: beside the header file, lower case.
std::string journalPath(const std::string& headerDirectory, int area);

// Outcome of looking for an interrupted rewrite of one area.
enum class Recovery {
    Nothing, // no journal and no temporary files
    Discarded, // the rewrite had not reached its commit point: temporary files removed
    Completed, // the rewrite was committed: its remaining replacements were carried out
};

// Finishes or discards an interrupted rewrite of area N. Fails only when a committed rewrite
// cannot be finished (the journal then stays for the next attempt).
Result<Recovery> recoverArea(FileIo& io, const std::string& fileBaseDir, int area);

} // namespace qv
