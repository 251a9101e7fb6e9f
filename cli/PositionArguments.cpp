#include "cli/PositionArguments.h"

#include <QStringList>

namespace qv {

std::optional<std::vector<int>> rowsOfPositions(const QStringList& positions, size_t rowCount, QString& problem)
{
    std::vector<int> rows;
    for (const QString& text : positions) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (!ok || n < 1 || uint64_t(n) > rowCount) {
            problem = QStringLiteral("no entry %1: the area has %2").arg(text).arg(rowCount);
            return std::nullopt;
        }
        rows.push_back(int(n - 1));
    }
    return rows;
}

} // namespace qv
