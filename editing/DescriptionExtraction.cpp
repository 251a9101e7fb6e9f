#include "editing/DescriptionExtraction.h"

#include "board/Board.h"

#include <cerrno>

namespace qv {

int DescriptionExtraction::Result::stored() const
{
    if (error)
        return 0;
    int n = 0;
    for (const RowResult& r : rows)
        n += r.outcome == DescriptionExtractor::Outcome::Extracted;
    return n;
}

DescriptionExtraction::Result DescriptionExtraction::run(Board& board, int area, const std::vector<Row>& rows,
    const DescriptionExtractor& extractor, const std::function<void(uint64_t, const std::string&)>& extracted)
{
    Result result;
    const Board::AreaDirectory directory = board.areaDirectory(area);
    std::vector<AreaStore::DescriptionChange> changes;
    std::vector<RowIdentity> shown;
    std::vector<size_t> changed;
    for (const Row& row : rows) {
        if (row.comment)
            continue;
        RowResult r { row.position, row.rowText };
        if (!directory.ok()) {
            r.outcome = DescriptionExtractor::Outcome::MissingFile;
        } else {
            const auto e = extractor.extract(Board::entryFile(directory.host, row.rowText), row.rowText, false);
            r.outcome = e.outcome;
            if (e.outcome == DescriptionExtractor::Outcome::Extracted) {
                r.bytes = e.text.size();
                changes.push_back({ row.position, e.text });
                shown.push_back({ row.position, row.record });
                changed.push_back(result.rows.size());
                if (extracted)
                    extracted(row.position, e.text);
            }
        }
        result.rows.push_back(r);
    }
    if (changes.empty())
        return result;
    auto stored = board.store().setDescriptions(area, changes, shown);
    if (!stored) {
        result.error = stored.error();
        return result;
    }
    for (size_t k = 0; k < changed.size(); ++k)
        result.rows[changed[k]].inPlace = (*stored)[k];
    return result;
}

} // namespace qv
