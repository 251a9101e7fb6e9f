#pragma once

#include "storage/AreaStore.h"
#include "storage/RowIdentity.h"

#include <QString>

#include <vector>

namespace qv {

class Board;

struct DescriptionsResult {
    enum class Outcome {
        Written,
        NothingToWrite, // no entry was named
        Refused, // a text that cannot be stored or an entry the area lacks; nothing was written
        Failed, // the files could not be read or written; nothing was changed
    };
    Outcome outcome = Outcome::NothingToWrite;
    QString message; // Refused, Failed: the system's message
    bool rowsChanged = false; // Failed: the rows no longer hold what was shown
    int appended = 0; // entries that got a copy of the text at the end of the description file
    int overwritten = 0; // entries whose text was overwritten in place
    QString description; // the text as stored, line breaks as '\n'
    // giveAll: the entries' header records as they now stand, for the list's rows
    std::vector<RowIdentity> records;
    // insertComment: the new entry's 0-based position and its file list row
    uint64_t position = 0;
    LoadedRow row;
};

// Descriptions of several entries and comment lines, each one change of the area.
class Descriptions {
public:
    Descriptions(const Board& board, int area);

    // Gives every entry shown (any order) the text: written over an entry's own text when it is
    // not longer, else appended as a copy of its own with both pointers moved. All entries or
    // none, and none unless each position still holds the record shown.
    DescriptionsResult giveAll(std::vector<RowIdentity> shown, const QString& text) const;

    // Inserts a comment line after the first `after` entries (clamped to the count), with the
    // text as its description and the uploader of the run. behind: the row shown at after - 1,
    // which must still be there; without it the place is taken as it is when the change commits.
    DescriptionsResult insertComment(uint64_t after, const QString& text, const QString& uploader,
        std::optional<RowIdentity> behind = std::nullopt) const;

    // Length of the text at pointer with its zero byte, read through an open description file;
    // 0 for a negative pointer or when no zero byte follows (such a text is never overwritten).
    static Result<size_t> storedLength(FileIo& io, FileIo::Handle file, int32_t pointer);
    // The same for one entry, opening the area's description file (0 when it does not exist).
    static Result<size_t> storedLength(FileIo& io, const std::string& descriptionFile, int32_t pointer);

private:
    const Board& m_board;
    int m_area;
};

} // namespace qv
