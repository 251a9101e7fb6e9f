#pragma once

// Builds test boards byte by byte in a directory, so tests can assert on the exact bytes the
// program reads and writes.
//
//   qv::test::TempDir tmp;                        // removed with everything in it at scope end
//   qv::test::BoardBuilder board(tmp.path());     // board dir = tmp/ra, file base = tmp/fdb
//   board.writeConfig("My Board", "C:\\RA\\FDB\\");   // CONFIG.RA: name @1258, path @3089
//   board.writeAreas({ { "Uploads", "/srv/up", 1 }, { "" }, { "Games", "/srv/g", 2 } });
//   board.writeGroups({ { "General" }, { "Fun" } });
//   board.writeFilesRdx({ 3, 1 });                 // words; area j -> record word[j-1]
//   board.writeEntries(1, { { .name = "A.ZIP", .description = "First" },
//                           { .name = "", .description = "a comment line" } });
//   auto bytes = qv::test::readFile(board.headerPath(1));
//
// Lower level: areaRecordBytes / wordBytes / configBytes give the bytes of one
// record or file; writeAreaFiles takes HeaderRecord / IndexRecord / LongNameRecord lists and the
// description file's bytes as they are. Every write* returns the path it wrote. Names are written
// as given ("FILES.RA" by default; pass "files.ra" to test case matching); area files are lower
// case unless the builder was told otherwise with setUpperCaseAreaFiles(true) (HDR/FDB1.HDR).

#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/RewritePlan.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::test {

// A fresh directory under the system's temporary directory, deleted recursively on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Whole-file helpers; writeFile creates missing parent directories and replaces the file.
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeFile(const std::string& path, std::string_view bytes);
std::vector<uint8_t> readFile(const std::string& path); // empty when missing
bool fileExists(const std::string& path);
std::vector<uint8_t> bytesOf(std::string_view text);
// Appends to the file (text with its zero byte, as the board stores one); returns where it begins.
int32_t appendBytes(const std::string& path, std::span<const uint8_t> bytes);
int32_t appendText(const std::string& path, std::string_view text);
// Writes bytes over the file's own at offset, as another program changes a field in place.
void patchFile(const std::string& path, size_t offset, std::span<const uint8_t> bytes);
void patchLong(const std::string& path, size_t offset, int32_t value);
// Every whole record of a file of records (HeaderRecord, IndexRecord or LongNameRecord).
template <class Record> std::vector<Record> recordsIn(const std::string& path)
{
    const auto bytes = readFile(path);
    std::vector<Record> out;
    for (size_t at = 0; at + Record::kSize <= bytes.size(); at += Record::kSize)
        out.push_back(Record::decode(std::span<const uint8_t, Record::kSize>(bytes.data() + at, Record::kSize)));
    return out;
}
// A new entry of that name in header and index, with that long name.
NewEntry newEntry(const std::string& name, const std::string& longName = "");

// One FILES.RA record (168 bytes); its word at 0, which the reader ignores, stays 0.
struct AreaRecordSpec {
    std::string name = {}; // Text[40] at 4; blank = not an area
    std::string path = {}; // Text[40] at 46, the area's file directory as stored
    int group = 0; // Word at 111
    std::vector<std::pair<size_t, uint8_t>> raw = {}; // byte overrides (offset, value), applied last
    int killDaysDownload = 0; // Word at 87
    int killDaysFileDate = 0; // Word at 89
    int moveArea = 0; // Word at 107
    uint8_t attributes = 0; // Byte at 45 (bit 3: CD-ROM)
};

// One FGROUPS.RA record (153 bytes).
struct GroupRecordSpec {
    std::string name = {}; // Text[40] at 2
};

std::vector<uint8_t> areaRecordBytes(const AreaRecordSpec& spec);
// Words as plain unsigned 16 bits (values outside 0..65535 keep their low 16 bits).
std::vector<uint8_t> wordBytes(const std::vector<int>& words);
// CONFIG.RA: board name Text[35] at 1258, length byte at 3089 then the path; padded with zero
// bytes to at least minSize.
std::vector<uint8_t> configBytes(std::string_view boardName, std::string_view fileBasePath, size_t minSize = 4096);

// A file entry; the builder derives consistent header, index and long-name records from it.
struct Entry {
    std::string name = {}; // header name; "" makes a comment line
    int32_t size = 0;
    int32_t checksum = 0;
    std::string uploader = {};
    int32_t uploadDate = 0x1CA50000; // 05-05-1994
    int32_t fileDate = 0x1CA50000;
    int32_t lastDownloadDate = 0x1CA50000;
    int downloads = 0;
    uint8_t attributes = 0;
    std::string password = {};
    std::vector<std::string> keywords = {}; // up to 5; index checksums stay 0
    int cost = 0;
    std::optional<std::string> description = std::string(); // nullopt: pointer -1, nothing stored
    std::string longName = {}; // long-name record text
};

HeaderRecord headerOf(const Entry& e, int32_t descriptionPointer);
IndexRecord indexOf(const Entry& e, int32_t descriptionPointer);

// What writeEntries produced, for comparing against the bytes the program writes later.
struct AreaFiles {
    std::vector<HeaderRecord> headers;
    std::vector<IndexRecord> indexes;
    std::vector<LongNameRecord> longNames;
    std::vector<uint8_t> descriptions;
};

class BoardBuilder {
public:
    // boardDir defaults to root/ra, the file base to root/fdb; both are created.
    explicit BoardBuilder(const std::string& root);
    BoardBuilder(const std::string& boardDir, const std::string& fileBaseDir);

    const std::string& boardDir() const { return m_boardDir; }
    const std::string& fileBaseDir() const { return m_fileBaseDir; }
    void setUpperCaseAreaFiles(bool upper) { m_upper = upper; }

    // Configuration files in the board directory.
    std::string writeConfig(
        std::string_view boardName, std::string_view fileBasePath, const std::string& fileName = "CONFIG.RA");
    // The file base path as this host sees it (fileBaseDir()); what CONFIG.RA should usually hold.
    std::string writeConfig(std::string_view boardName) { return writeConfig(boardName, m_fileBaseDir); }
    std::string writeAreas(const std::vector<AreaRecordSpec>& records, const std::string& fileName = "FILES.RA");
    std::string writeGroups(const std::vector<GroupRecordSpec>& records, const std::string& fileName = "FGROUPS.RA");
    std::string writeFilesRdx(const std::vector<int>& words, const std::string& fileName = "FILES.RDX");
    // Any bytes under any name in the board directory (truncated or damaged files).
    std::string writeBoardFile(const std::string& fileName, const std::vector<uint8_t>& bytes);

    // Area files under the file base (hdr/fdbN.hdr, idx/fdbN.idx, txt/fdbN.txt, hdr/fdbN.lfn).
    std::string headerPath(int area) const;
    std::string indexPath(int area) const;
    std::string descriptionPath(int area) const;
    std::string longNamePath(int area) const;

    // Writes the given records as they are; longNames is skipped (no .lfn file) when nullopt.
    void writeAreaFiles(int area, const std::vector<HeaderRecord>& headers, const std::vector<IndexRecord>& indexes,
        const std::optional<std::vector<LongNameRecord>>& longNames, const std::vector<uint8_t>& descriptions);
    // Derives the records from entries; descriptions are appended in order, each with its zero
    // byte, and both pointers set to the offset. withLongNames = false leaves out the .lfn file.
    AreaFiles writeEntries(int area, const std::vector<Entry>& entries, bool withLongNames = true);

private:
    std::string areaPath(const char* dir, int area, const char* ext) const;

    std::string m_boardDir;
    std::string m_fileBaseDir;
    bool m_upper = false;
};

// The four files of an area as they are on disk, to compare before and after a change.
struct AreaBytes {
    std::vector<uint8_t> hdr, idx, lfn, txt;
    bool operator==(const AreaBytes&) const = default;
    bool sameRecords(const AreaBytes& o) const { return hdr == o.hdr && idx == o.idx && lfn == o.lfn; }
};
AreaBytes areaBytes(const BoardBuilder& builder, int area);
// The bytes of an area holding the given records of `written`, in that order, and its
// description file as written.
AreaBytes areaBytesOf(const AreaFiles& written, const std::vector<size_t>& records);

} // namespace qv::test
