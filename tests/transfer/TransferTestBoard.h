#pragma once

// Three areas with their files on disk, for the transfer tests. Area 1 "Alpha" is C:\FILES\A,
// area 2 "Beta" C:\FILES\B, area 3 "Shared" lives in Alpha's directory too.

#include "storage/AreaCheck.h"
#include "tests/editing/MappedBoard.h"
#include "transfer/Clipboard.h"

namespace qv::test {

class TransferTestBoard : public MappedBoard {
public:
    TransferTestBoard()
    {
        builder.writeAreas(
            { { "Alpha", "C:\\FILES\\A", 1 }, { "Beta", "C:\\FILES\\B", 1 }, { "Shared", "C:\\FILES\\A", 1 } });
        std::filesystem::create_directories(dir(1));
        std::filesystem::create_directories(dir(2));
    }

    std::string dir(int area) const { return tmp.path() + (area == 2 ? "/FILES/B" : "/FILES/A"); }
    std::string file(int area, const std::string& name) const { return dir(area) + "/" + name; }
    void putFile(int area, const std::string& name, std::string_view bytes = "data")
    {
        writeFile(file(area, name), bytes);
    }

    // Alpha: three files and a comment line between them; Beta: one file.
    void writeSmallAreas()
    {
        builder.writeEntries(1,
            { Entry { .name = "A1.ZIP", .description = "one" }, Entry { .name = "A2.ZIP", .description = "two" },
                Entry { .name = "", .description = "comment" }, Entry { .name = "A4.ZIP", .description = "four" } });
        builder.writeEntries(2, { Entry { .name = "B1.ZIP", .description = "bee" } });
        for (const char* f : { "A1.ZIP", "A2.ZIP", "A4.ZIP" })
            putFile(1, f, std::string("alpha ") + f);
        putFile(2, "B1.ZIP", "beta");
    }

    std::vector<std::string> check(int area) const
    {
        return AreaCheck::run(systemFileIo(), builder.fileBaseDir(), area);
    }

    // The clipboard items for rows of an area as loading shows them.
    static std::vector<Clipboard::Item> items(Board& board, int area, const std::vector<uint64_t>& positions)
    {
        const auto rows = board.store().load(area, true).rows;
        std::vector<Clipboard::Item> out;
        for (uint64_t p : positions)
            out.push_back({ p, rows.at(size_t(p)) });
        return out;
    }
};

} // namespace qv::test
