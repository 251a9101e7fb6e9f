#pragma once

// The board the editing and transfer tests build on: CONFIG.RA in tmp/ra, the file base in
// tmp/fdb, drive C: mapped to tmp. Also small readers of what a directory holds.

#include "board/Board.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

namespace qv::test {

class MappedBoard {
public:
    MappedBoard() { builder.writeConfig("Board"); }

    std::unique_ptr<Board> open(FileIo& io = systemFileIo(), bool useTrash = false) const
    {
        Board::Options o;
        o.useTrash = useTrash;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        o.drives.insert(QChar('C'), QString::fromStdString(tmp.path()));
        return std::make_unique<Board>(o, io);
    }
    AreaBytes bytes(int area) const { return areaBytes(builder, area); }

    TempDir tmp;
    BoardBuilder builder { tmp.path() };
};

// The files of a directory by name with their bytes; nothing when it cannot be read.
inline std::map<std::string, std::vector<uint8_t>> filesIn(const std::string& dir)
{
    std::map<std::string, std::vector<uint8_t>> out;
    std::error_code e;
    for (const auto& f : std::filesystem::directory_iterator(dir, e))
        out[f.path().filename().string()] = readFile(f.path().string());
    return out;
}
// The names of those that start with prefix, in order.
inline std::vector<std::string> namesIn(const std::string& dir, std::string_view prefix = {})
{
    std::vector<std::string> out;
    std::error_code e;
    for (const auto& f : std::filesystem::directory_iterator(dir, e))
        if (f.path().filename().string().starts_with(prefix))
            out.push_back(f.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace qv::test
