#pragma once

// An area of entries with their files on disk, for the remove, update and sort tests: the board
// in tmp/ra, the file base in tmp/fdb, area 1 stored as C:\FILES with C: mapped to tmp.

#include "board/Board.h"
#include "storage/AreaCheck.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace qv::test {

class RemoveSortTestBoard {
public:
    static constexpr int kArea = 1;

    RemoveSortTestBoard()
    {
        builder.writeConfig("Board");
        builder.writeAreas({ { "Files", "C:\\FILES", 1 } });
        std::filesystem::create_directories(filesDir());
    }

    std::string filesDir() const { return tmp.path() + "/files"; }
    std::string file(const std::string& name) const { return filesDir() + "/" + name; }
    void putFile(const std::string& name, std::string_view bytes = "data") { writeFile(file(name), bytes); }

    std::unique_ptr<Board> open(FileIo& io = systemFileIo()) const
    {
        Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        o.drives.insert(QChar('C'), QString::fromStdString(tmp.path()));
        return std::make_unique<Board>(o, io);
    }

    AreaBytes bytes() const { return areaBytes(builder, kArea); }
    std::vector<std::string> check() const { return AreaCheck::run(systemFileIo(), builder.fileBaseDir(), kArea); }

    TempDir tmp;
    BoardBuilder builder { tmp.path() };
};

} // namespace qv::test
