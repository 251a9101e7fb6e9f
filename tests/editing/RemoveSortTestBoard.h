#pragma once

// An area of entries with their files on disk, for the remove, update and sort tests: area 1
// stored as C:\FILES, its files in tmp/files.

#include "storage/AreaCheck.h"
#include "tests/editing/MappedBoard.h"

#include <gtest/gtest.h>

namespace qv::test {

class RemoveSortTestBoard : public MappedBoard {
public:
    static constexpr int kArea = 1;

    RemoveSortTestBoard()
    {
        builder.writeAreas({ { "Files", "C:\\FILES", 1 } });
        std::filesystem::create_directories(filesDir());
    }

    std::string filesDir() const { return tmp.path() + "/files"; }
    std::string file(const std::string& name) const { return filesDir() + "/" + name; }
    void putFile(const std::string& name, std::string_view bytes = "data") { writeFile(file(name), bytes); }

    AreaBytes bytes(int area = kArea) const { return MappedBoard::bytes(area); }
    std::vector<std::string> check() const { return AreaCheck::run(systemFileIo(), builder.fileBaseDir(), kArea); }
};

} // namespace qv::test
