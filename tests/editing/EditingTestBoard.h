#pragma once

// A board for the editing tests: area 1 holds four entries (two sharing a name, one comment
// line, one without a description), area 2 is empty. Built byte by byte with BoardBuilder.

#include "board/Board.h"
#include "storage/Encoding.h"
#include "tests/support/BoardBuilder.h"

#include <QFile>

#include <memory>

namespace qv::test {

// Rows as a command shows them: their records as stored now.
inline RowIdentity shownAt(const Board& board, int area, uint64_t position)
{
    auto h = board.store().readHeader(area, position);
    return { position, h ? h->encode() : HeaderRecord::Bytes {} };
}
inline std::vector<RowIdentity> shownAt(const Board& board, int area, std::initializer_list<uint64_t> positions)
{
    std::vector<RowIdentity> out;
    for (uint64_t p : positions)
        out.push_back(shownAt(board, area, p));
    return out;
}

inline int32_t packedDate(int year, int month, int day)
{
    return enc::encodeDate({ year, month, day });
}

class EditingTestBoard {
public:
    explicit EditingTestBoard(FileIo& io = systemFileIo())
        : builder(tmp.path())
    {
        builder.writeConfig("Editing Board");
        builder.writeAreas({ { "Files", tmp.path() + "/files", 1 }, { "Empty", tmp.path() + "/empty", 1 } });
        original = builder.writeEntries(1,
            {
                Entry { .name = "FOOARC~1.ZIP",
                    .size = 1234,
                    .uploader = "Ann",
                    .uploadDate = packedDate(1998, 11, 5),
                    .fileDate = packedDate(1996, 3, 14),
                    .lastDownloadDate = 0,
                    .downloads = 5,
                    .attributes = 0x85,
                    .password = "pw",
                    .keywords = { "one", "", "three" },
                    .cost = 3,
                    .description = std::string("First line\r\nsecond\rthird\nend"),
                    .longName = "Foo archive.zip" },
                Entry { .name = "", .uploader = "Sysop", .description = std::string("-- tools --") },
                Entry { .name = "FOOARC~1.ZIP", .size = 9, .description = std::nullopt },
                Entry { .name = "BAR.ARJ", .size = 77, .description = std::string("bar text") },
            });
        builder.writeEntries(2, {});
        open(io);
    }

    void open(FileIo& io = systemFileIo())
    {
        Board::Options o;
        o.boardDirectory = QFile::decodeName(QByteArray::fromStdString(builder.boardDir()));
        board = std::make_unique<Board>(o, io);
    }

    AreaBytes bytes(int area = 1) const { return areaBytes(builder, area); }

    // The header file as it was written, with record `position` replaced.
    std::vector<uint8_t> headersWith(size_t position, const HeaderRecord& record) const
    {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < original.headers.size(); ++i) {
            const auto& r = i == position ? record.encode() : original.headers[i].encode();
            out.insert(out.end(), r.begin(), r.end());
        }
        return out;
    }
    std::vector<uint8_t> indexesWith(size_t position, const IndexRecord& record) const
    {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < original.indexes.size(); ++i) {
            const auto& r = i == position ? record.encode() : original.indexes[i].encode();
            out.insert(out.end(), r.begin(), r.end());
        }
        return out;
    }
    std::vector<uint8_t> descriptionsPlus(std::string_view appended) const
    {
        std::vector<uint8_t> out = original.descriptions;
        out.insert(out.end(), appended.begin(), appended.end());
        out.push_back(0);
        return out;
    }

    TempDir tmp;
    BoardBuilder builder;
    AreaFiles original;
    std::unique_ptr<Board> board;
};

} // namespace qv::test
