#pragma once

#include "storage/FileIo.h"
#include "storage/HeaderRecord.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qv {

class Board;

struct ExportOptions {
    bool counters = false; // "&Include Download Counters"
    bool shortDescriptions = false; // first line only
    bool comments = false; // comment lines from column 1
};

// FILES.BBS export: the plain-text list board software reads, one line per listed file with
// name, size, date, optionally the download count, and the description, further description
// lines marked "| ". Description bytes are written as stored.
class FilesBbsExport {
public:
    // Entries with any of these attribute bits are not listed.
    static constexpr uint8_t kHiddenAttributes = uint8_t(Attribute::Deleted) | uint8_t(Attribute::Unlisted)
        | uint8_t(Attribute::NotAvailable) | uint8_t(Attribute::MissingOffline);

    explicit FilesBbsExport(const Board& board);

    // The lines of one entry (CR LF after each), or "" when it is not listed.
    static std::string entryLines(
        const HeaderRecord& header, std::string_view description, const ExportOptions& options);
    // The same appended to out, from the record's stored bytes (a list of a million entries
    // makes no string per entry).
    static void appendEntryLines(
        std::string& out, const uint8_t* record, std::string_view description, const ExportOptions& options);

    // Writes the list of an area to out in pieces; false when a read or out fails. A missing or
    // empty header file gives an empty list. started(records) is called once the count is known.
    bool writeList(int area, const ExportOptions& options, const std::function<bool(std::string_view)>& out,
        const std::function<void(uint64_t records)>& started = {}) const;

    struct AreaResult {
        bool ok = true;
        QString listPath; // the area's path as stored, "\" and "Files.bbs", for the message
        QString hostPath; // the file written, when the directory could be reached
    };
    // Replaces files.bbs in the area's directory: the list is written to a temporary file beside
    // it and renamed over the old one, so a failure leaves the old list (or none) and no half one.
    AreaResult exportArea(
        int area, const ExportOptions& options, const std::function<void(uint64_t records)>& started = {}) const;

    // Name of the temporary file in the area's directory.
    static constexpr const char* kTemporaryName = "files.b$$";

private:
    const Board& m_board;
};

} // namespace qv
