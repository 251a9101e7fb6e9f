#pragma once

#include "tools/widgets/AreaUpkeepDialog.h"

namespace qv {

class Board;

// "Pack Descriptions": how many bytes each chosen area's description file would lose, then the
// pack of those that have any to lose.
class PackDialog : public AreaUpkeepDialog {
    Q_OBJECT
public:
    PackDialog(Board& board, Dialogs& dialogs, const QStringList& areaItems, QWidget* parent = nullptr);

protected:
    Report survey(const std::vector<int>& areas, const std::function<void(size_t)>& progress) override;
    Report work(const std::vector<int>& areas, const std::function<void(size_t)>& progress) override;

private:
    Board& m_board;
};

} // namespace qv
