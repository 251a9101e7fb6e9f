#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace qv {

// 1-based entry numbers of the command line as 0-based rows; nullopt when one is no number of
// the area's rows (problem says which).
std::optional<std::vector<int>> rowsOfPositions(const QStringList& positions, size_t rowCount, QString& problem);

} // namespace qv
