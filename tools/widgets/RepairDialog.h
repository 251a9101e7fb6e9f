#pragma once

#include "tools/widgets/AreaUpkeepDialog.h"

namespace qv {

class Board;

// "Check and Repair": what the check finds in each chosen area and the repair for it, then the
// repairs; what cannot be repaired safely is named and left.
class RepairDialog : public AreaUpkeepDialog {
    Q_OBJECT
public:
    RepairDialog(Board& board, Dialogs& dialogs, const QStringList& areaItems, QWidget* parent = nullptr);

protected:
    Report survey(const std::vector<int>& areas, const std::function<void(size_t)>& progress) override;
    Report work(const std::vector<int>& areas, const std::function<void(size_t)>& progress) override;

private:
    Board& m_board;
};

} // namespace qv
