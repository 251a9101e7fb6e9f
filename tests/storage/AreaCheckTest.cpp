#include "storage/AreaCheck.h"

#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

using qv::test::BoardBuilder;
using qv::test::Entry;

struct CheckCase {
    const char* label;
    std::function<void(BoardBuilder&)> apply;
    std::vector<std::string> problems; // with <fdb> standing for the file base directory
};

void resize(const std::string& path, size_t size)
{
    std::filesystem::resize_file(path, size);
}

TEST(AreaCheck, ReportsExactlyTheProblems)
{
    const CheckCase cases[] = {
        // The comment line has pointer -1 and a lower-case header name is upper-cased in the index.
        { "sound", [](BoardBuilder&) {}, {} },
        { "shortLongNameFileIsNormal", [](BoardBuilder& b) { resize(b.longNamePath(4), 256); }, {} },
        { "trailingLongNameBytes", [](BoardBuilder& b) { resize(b.longNamePath(4), 256 + 7); },
            { "long-name file has 7 trailing bytes after its 1 record" } },
        { "noLongNameFile", [](BoardBuilder& b) { std::remove(b.longNamePath(4).c_str()); }, {} },
        { "trailingHeaderBytes", [](BoardBuilder& b) { resize(b.headerPath(4), 3 * 194 + 6); },
            { "header file has 6 trailing bytes after its 3 records" } },
        { "indexMissing", [](BoardBuilder& b) { std::remove(b.indexPath(4).c_str()); },
            { "index file is missing for 3 header records" } },
        { "indexLonger", [](BoardBuilder& b) { resize(b.indexPath(4), 4 * 41); },
            { "index file holds 4 records, header file 3" } },
        { "descriptionFileGone", [](BoardBuilder& b) { std::remove(b.descriptionPath(4).c_str()); },
            { "record 1: header description pointer 0 is past the end of the description file (0 bytes)",
                "record 1: index description pointer 0 is past the end of the description file (0 bytes)",
                "record 3: header description pointer 6 is past the end of the description file (0 bytes)",
                "record 3: index description pointer 6 is past the end of the description file (0 bytes)" } },
        { "journalAndLongNameTemporary",
            [](BoardBuilder& b) {
                qv::test::writeFile(b.fileBaseDir() + "/hdr/fdb4.jnl", std::string("j"));
                qv::test::writeFile(b.fileBaseDir() + "/hdr/fdb4.l$$", std::string());
                qv::test::writeFile(b.fileBaseDir() + "/idx/fdb4.$$$", std::string());
                qv::test::writeFile(b.fileBaseDir() + "/hdr/fdb5.$$$", std::string()); // another area's
            },
            { "leftover file <fdb>/idx/fdb4.$$$ from an interrupted rewrite",
                "leftover file <fdb>/hdr/fdb4.l$$ from an interrupted rewrite",
                "leftover file <fdb>/hdr/fdb4.jnl from an interrupted rewrite",
                "journal <fdb>/hdr/fdb4.jnl cannot be read; the area needs attention" } },
        { "indexNameInAnotherCase",
            [](BoardBuilder& b) {
                qv::test::patchFile(b.indexPath(4), 2 * 41 + 1, qv::test::bytesOf("t")); // "three.txt" as it was
                qv::test::patchFile(b.indexPath(4), 1, qv::test::bytesOf("o"));
            },
            {} },
        { "indexNameDiffers", [](BoardBuilder& b) { qv::test::patchFile(b.indexPath(4), 1, qv::test::bytesOf("X")); },
            { "record 1: index name \"XNE.ZIP\" does not match header name \"ONE.ZIP\"" } },
        { "longNamesOfOtherEntries",
            [](BoardBuilder& b) {
                // Records moved without the long-name file: two no longer fit their 8.3 names.
                std::vector<qv::LongNameRecord> lfn(3);
                lfn[0].setName("one.zip");
                lfn[1].setName("Release notes 1.5.txt");
                lfn[2].setName("Archive with a long name.zip");
                std::vector<uint8_t> bytes;
                for (const auto& r : lfn)
                    bytes.insert(bytes.end(), r.encode().begin(), r.encode().end());
                qv::test::writeFile(b.longNamePath(4), bytes);
            },
            { "record 2: long name \"Release notes 1.5.txt\" does not belong to header name \"\"",
                "record 3: long name \"Archive with a long name.zip\" does not belong to header name \"three.txt\"" } },
        { "boardLongNamePointerPastTheEnd",
            [](BoardBuilder& b) {
                qv::test::patchLong(b.headerPath(4), qv::HeaderRecord::kLongNamePointerOffset, 11);
                qv::test::patchLong(b.headerPath(4), 194 + qv::HeaderRecord::kLongNamePointerOffset, 12);
                qv::test::patchLong(b.headerPath(4), 388 + qv::HeaderRecord::kLongNamePointerOffset, -1);
            },
            { "record 2: long-name pointer 12 is past the end of the description file (12 bytes)" } },
        { "headerMissing", [](BoardBuilder& b) { std::remove(b.headerPath(4).c_str()); },
            { "header file <fdb>/hdr/fdb4.hdr not found" } }
    };
    for (const CheckCase& c : cases) {
        qv::test::TempDir tmp;
        BoardBuilder board(tmp.path());
        board.writeEntries(4,
            { Entry { .name = "ONE.ZIP", .description = "first" }, Entry { .name = "", .description = std::nullopt },
                Entry { .name = "three.txt", .description = "third" } });
        c.apply(board);
        std::vector<std::string> expected;
        for (std::string p : c.problems) {
            if (auto at = p.find("<fdb>"); at != std::string::npos)
                p.replace(at, 5, board.fileBaseDir());
            expected.push_back(p);
        }
        EXPECT_EQ(qv::AreaCheck::run(qv::systemFileIo(), board.fileBaseDir(), 4), expected) << c.label;
    }
}

} // namespace
