#include "tools/widgets/RepairDialog.h"

#include "tools/AreaRepairer.h"

namespace qv {

namespace {

AreaUpkeepDialog::Report reportOf(const std::vector<AreaRepairer::AreaResult>& results, bool survey)
{
    AreaUpkeepDialog::Report r;
    for (const auto& a : results) {
        for (const QString& line : a.repairs)
            r.lines << QStringLiteral("Area %1: %2").arg(a.area).arg(line);
        for (const QString& line : a.left)
            r.lines << QStringLiteral("Area %1: %2").arg(a.area).arg(line);
        if (!a.error.isEmpty()) {
            r.lines << QStringLiteral("Area %1: not repaired: %2").arg(a.area).arg(a.error);
            r.failures << QStringLiteral("Area %1: %2").arg(a.area).arg(a.error);
        }
        r.somethingToDo = r.somethingToDo || !a.repairs.isEmpty();
        r.changed = r.changed || (!survey && a.error.isEmpty() && !a.repairs.isEmpty());
    }
    r.summary = AreaRepairer::summary(results, survey);
    return r;
}

} // namespace

RepairDialog::RepairDialog(Board& board, Dialogs& dialogs, const QStringList& areaItems, QWidget* parent)
    : AreaUpkeepDialog(dialogs, areaItems, QStringLiteral("&Repair"), parent)
    , m_board(board)
{
    setObjectName("CheckAndRepair");
    setWindowTitle(QStringLiteral("Check and Repair"));
}

AreaUpkeepDialog::Report RepairDialog::survey(
    const std::vector<int>& areas, const std::function<void(size_t)>& progress)
{
    return reportOf(AreaRepairer(m_board).survey(areas, progress), true);
}

AreaUpkeepDialog::Report RepairDialog::work(const std::vector<int>& areas, const std::function<void(size_t)>& progress)
{
    return reportOf(AreaRepairer(m_board).repair(areas, progress), false);
}

} // namespace qv
