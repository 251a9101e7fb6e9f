#pragma once

#include "board/Board.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <memory>

namespace qv::test {

// A board in a temporary directory for the find and export tests; areas live in files/.
struct ToolsTestBoard {
    TempDir tmp;
    BoardBuilder builder { tmp.path() };

    ToolsTestBoard() { builder.writeConfig("Board"); }

    std::string areaDir(const std::string& name) const { return tmp.path() + "/files/" + name; }

    std::unique_ptr<Board> open(FileIo& io = systemFileIo(), QByteArray codePage = CodePage::kDefaultName) const
    {
        Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        o.codePage = codePage;
        return std::make_unique<Board>(o, io);
    }
};

} // namespace qv::test
