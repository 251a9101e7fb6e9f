#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <string>

namespace qv {

class Board;
class HeaderRecord;

// One entry as qvtool's JSON shows it, shared by every command that prints entries.
QJsonObject entryJson(const Board& board, uint64_t position, const HeaderRecord& header, const std::string& longName,
    std::string_view rowText, const std::string& description);

// The attribute bits as letters in bit order (D U F N L M T), "-" for a clear bit, and 8 for the
// unnamed top bit.
QString attributeLetters(uint8_t attributes);

} // namespace qv
