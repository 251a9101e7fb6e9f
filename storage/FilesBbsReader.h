#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Reads a FILES.BBS list: the fixed columns the export writes, and the common form of other
// boards and CD-ROMs (a name at the start of the line, optional size, date and "[N]" download
// columns, then the description; lines starting with a blank continue it, with or without a
// "|" or "+" in front). Lines that are no entry become comment lines. A list is untrusted: names
// with a path, a drive or a control character are refused, never taken as a file.
class FilesBbsReader {
public:
    struct Item {
        enum class Kind { File, Comment, Refused };
        Kind kind = Kind::Comment;
        size_t line = 0; // 1-based, of the item's first line
        std::string name; // File and Refused: as listed
        std::string description; // lines joined by CR LF; a comment's text
        std::optional<int64_t> size;
        std::optional<int32_t> fileDate; // packed as stored; 0 for the export's "Invalid"
        std::optional<int> downloads;
        std::string reason; // Refused: why
    };

    static std::vector<Item> read(std::string_view list);

    // Why a name cannot be a file of an area's directory ("" when it can): a path, a drive, "..",
    // a control character.
    static std::string unsafeName(std::string_view name);
};

} // namespace qv
