#pragma once

#include "board/Board.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <fstream>
#include <memory>

namespace qv::test {

// A board in a temporary directory for the find and export tests; areas live in files/.
struct ToolsTestBoard {
    TempDir tmp;
    BoardBuilder builder { tmp.path() };

    ToolsTestBoard() { builder.writeConfig("Board"); }

    std::string areaDir(const std::string& name) const { return tmp.path() + "/files/" + name; }
    // The area's description file grown by that many MiB of text no entry points at.
    void growDescriptions(int area, int mib) const
    {
        std::ofstream out(builder.descriptionPath(area), std::ios::binary | std::ios::app);
        const std::string chunk(1 << 20, 'q');
        for (int i = 0; i < mib; ++i)
            out << chunk;
    }

    std::unique_ptr<Board> open(FileIo& io = systemFileIo(), QByteArray codePage = CodePage::kDefaultName) const
    {
        Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        o.codePage = codePage;
        return std::make_unique<Board>(o, io);
    }
};

} // namespace qv::test
