#pragma once

#include "editing/DescriptionExtractor.h"
#include "storage/HeaderRecord.h"
#include "storage/Result.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;

// "E&xtract Description" for chosen rows of an area: each row's archive is extracted in list
// order, and every new text is stored in one change of the area at the end (all or nothing).
class DescriptionExtraction {
public:
    struct Row {
        uint64_t position = 0; // 0-based
        QString rowText; // the name the file list shows
        bool comment = false;
        HeaderRecord::Bytes record {}; // as shown: the change is refused unless it is still there
    };
    struct RowResult {
        uint64_t position = 0;
        QString rowText;
        DescriptionExtractor::Outcome outcome = DescriptionExtractor::Outcome::NoArchiver;
        size_t bytes = 0;
        bool inPlace = false;
    };
    struct Result {
        std::vector<RowResult> rows; // comment rows are left out
        std::optional<Error> error; // the change was not made (kRowsChanged: the rows had changed)
        int stored() const;
    };

    // extracted(position, text) is called as each text comes out (the description pane shows it).
    static Result run(Board& board, int area, const std::vector<Row>& rows, const DescriptionExtractor& extractor,
        const std::function<void(uint64_t, const std::string&)>& extracted = {});
};

} // namespace qv
