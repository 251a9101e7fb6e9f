#pragma once

#include "storage/AreaStore.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;
class CodePage;

// The keys follow the file list's columns.
enum class SortKey { Name, Size, FileDate, UploadDate, LastDownload, Downloads, Uploader };
inline constexpr int kSortKeyCount = 7;

struct SortRequest {
    SortKey key = SortKey::Name;
    bool descending = false;
    // 0-based rows sorted among the places they occupy; nullopt sorts the whole area.
    std::optional<std::vector<int>> only;
};

// Puts the entries of an area into a new order by one key and makes it permanent in one
// rewrite of the area. The sort is stable: rows with equal keys keep their order ascending and
// take the reverse of it descending. Keys are what the list shows, except dates, which are
// compared as stored dates (a date that is no calendar day as 01-01-1980, comment lines before
// every date).
class AreaSorter {
public:
    struct Outcome {
        uint64_t sorted = 0; // rows that took part
        bool changed = false; // false: the order was already so, nothing was written
        bool cancelled = false; // the order was worked out, then not written
        std::vector<uint64_t> order; // when changed: record k of the new files was record order[k]
        std::optional<Error> error;
        CarriedOver carried; // what the board wrote meanwhile, kept in the new files
    };
    // (rows settled, rows taking part); called before the comparison and after it.
    using Progress = std::function<void(uint64_t settled, uint64_t count)>;

    explicit AreaSorter(Board& board);

    // Record k of the new files is record order[k]; empty when the order would not change.
    static std::vector<uint64_t> order(const LoadedRows& rows, const SortRequest& request, const CodePage& codePage);

    // rows: every row of the area as loaded, row texts as the list shows them. Refused
    // (kRowsChanged) unless the area still holds them where they were shown.
    // cancelled is asked once the order is known, before anything is written.
    Outcome sort(int area, const LoadedRows& rows, const SortRequest& request, const Progress& progress = {},
        const std::function<bool()>& cancelled = {});

    // Command-line names of the keys: name, size, file-date, upload-date, last-download,
    // downloads, uploader.
    static QString keyName(SortKey key);
    static std::optional<SortKey> keyOf(const QString& name);

private:
    Board& m_board;
};

} // namespace qv
