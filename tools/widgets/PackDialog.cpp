#include "tools/widgets/PackDialog.h"

#include "tools/DescriptionPacker.h"

namespace qv {

PackDialog::PackDialog(Board& board, Dialogs& dialogs, const QStringList& areaItems, QWidget* parent)
    : AreaUpkeepDialog(dialogs, areaItems, QStringLiteral("&Pack"), parent)
    , m_board(board)
{
    setObjectName("PackDescriptions");
    setWindowTitle(QStringLiteral("Pack Descriptions"));
}

AreaUpkeepDialog::Report PackDialog::survey(const std::vector<int>& areas, const std::function<void(size_t)>& progress)
{
    Report r;
    const auto results = DescriptionPacker(m_board).survey(areas, progress);
    for (const auto& a : results) {
        if (!a.error.isEmpty())
            r.lines << QStringLiteral("Area %1: cannot be read: %2").arg(a.area).arg(a.error);
        else if (a.reclaimed() == 0)
            r.lines << QStringLiteral("Area %1: nothing to reclaim (%2 bytes)").arg(a.area).arg(a.bytesBefore);
        else
            r.lines << QStringLiteral("Area %1: %2 -> %3 bytes, %4 to reclaim (%5 texts kept)")
                           .arg(a.area)
                           .arg(a.bytesBefore)
                           .arg(a.bytesAfter)
                           .arg(a.reclaimed())
                           .arg(a.texts);
        r.somethingToDo = r.somethingToDo || a.reclaimed() > 0;
    }
    r.summary = DescriptionPacker::summary(results, true);
    return r;
}

AreaUpkeepDialog::Report PackDialog::work(const std::vector<int>& areas, const std::function<void(size_t)>& progress)
{
    Report r;
    const auto results = DescriptionPacker(m_board).pack(areas, progress);
    for (const auto& a : results) {
        if (!a.error.isEmpty()) {
            r.lines << QStringLiteral("Area %1: not packed: %2").arg(a.area).arg(a.error);
            r.failures << QStringLiteral("Area %1: %2").arg(a.area).arg(a.error);
        } else if (!a.written) {
            r.lines << QStringLiteral("Area %1: nothing to reclaim").arg(a.area);
        } else {
            r.lines
                << QStringLiteral("Area %1: packed, %2 -> %3 bytes").arg(a.area).arg(a.bytesBefore).arg(a.bytesAfter);
        }
        r.changed = r.changed || a.written;
    }
    r.summary = DescriptionPacker::summary(results, false);
    return r;
}

} // namespace qv
