#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace qv {

class Board;

// Repairs what the check finds in chosen areas, where a repair is safe: one change of the store
// per area, and the temporary copies that transfers of ended processes left in its directory.
// What it cannot repair safely (an unreadable journal, a file a transfer left twice) is listed.
class AreaRepairer {
public:
    struct AreaResult {
        int area = 0;
        QStringList repairs; // what is wrong, and what the repair does (or did)
        QStringList left; // found, left as it is
        QString error; // the repair failed; nothing of the area changed
    };

    explicit AreaRepairer(Board& board);

    // What a repair would do; changes nothing.
    std::vector<AreaResult> survey(const std::vector<int>& areas, const std::function<void(size_t done)>& progress = {},
        const std::atomic<bool>* stop = nullptr) const;
    std::vector<AreaResult> repair(const std::vector<int>& areas, const std::function<void(size_t done)>& progress = {},
        const std::atomic<bool>* stop = nullptr) const;

    // "3 repairs in 2 of 5 area(s); 1 problem left as it is."
    static QString summary(const std::vector<AreaResult>& results, bool survey);

private:
    AreaResult run(int area, bool change) const;

    Board& m_board;
};

} // namespace qv
