#include "tests/support/BoardBuilder.h"

#include "storage/Encoding.h"
#include "storage/Text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qv::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string templ = (fs::temp_directory_path() / "qvtest-XXXXXX").string();
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = templ;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void writeFile(const std::string& path, std::string_view bytes)
{
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty())
        fs::create_directories(parent);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

std::vector<uint8_t> bytesOf(std::string_view text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

int32_t appendBytes(const std::string& path, std::span<const uint8_t> bytes)
{
    auto file = readFile(path);
    const auto at = int32_t(file.size());
    file.insert(file.end(), bytes.begin(), bytes.end());
    writeFile(path, file);
    return at;
}

int32_t appendText(const std::string& path, std::string_view text)
{
    auto bytes = bytesOf(text);
    bytes.push_back(0);
    return appendBytes(path, bytes);
}

void patchFile(const std::string& path, size_t offset, std::span<const uint8_t> bytes)
{
    auto file = readFile(path);
    file.resize(std::max(file.size(), offset + bytes.size()));
    std::copy(bytes.begin(), bytes.end(), file.begin() + long(offset));
    writeFile(path, file);
}

void patchLong(const std::string& path, size_t offset, int32_t value)
{
    uint8_t bytes[4];
    enc::putLong(bytes, value);
    patchFile(path, offset, bytes);
}

NewEntry newEntry(const std::string& name, const std::string& longName)
{
    NewEntry e;
    e.header.setName(name);
    e.index.setName(name);
    e.longName.setName(longName);
    return e;
}

namespace {
// Plain 16 bits; values outside 0..65535 keep their low 16 bits, for damaged files.
void putWordAny(uint8_t* p, int value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

void applyRaw(std::vector<uint8_t>& bytes, const std::vector<std::pair<size_t, uint8_t>>& raw)
{
    for (const auto& [offset, value] : raw)
        if (offset < bytes.size())
            bytes[offset] = value;
}
}

std::vector<uint8_t> areaRecordBytes(const AreaRecordSpec& fields)
{
    std::vector<uint8_t> r(168, 0);
    enc::putText(r.data() + 4, 40, fields.name);
    enc::putText(r.data() + 46, 40, fields.path);
    putWordAny(r.data() + 111, fields.group);
    r[45] = fields.attributes;
    putWordAny(r.data() + 87, fields.killDaysDownload);
    putWordAny(r.data() + 89, fields.killDaysFileDate);
    putWordAny(r.data() + 107, fields.moveArea);
    applyRaw(r, fields.raw);
    return r;
}

std::vector<uint8_t> wordBytes(const std::vector<int>& words)
{
    std::vector<uint8_t> bytes(words.size() * 2, 0);
    for (size_t j = 0; j < words.size(); ++j)
        putWordAny(bytes.data() + j * 2, words[j]);
    return bytes;
}

std::vector<uint8_t> configBytes(std::string_view boardName, std::string_view fileBasePath, size_t minSize)
{
    const size_t pathLength = fileBasePath.size() > 255 ? 255 : fileBasePath.size();
    std::vector<uint8_t> bytes(std::max(minSize, size_t(3090) + pathLength), 0);
    enc::putText(bytes.data() + 1258, 35, boardName);
    bytes[3089] = uint8_t(pathLength);
    std::copy_n(fileBasePath.begin(), pathLength, bytes.begin() + 3090);
    return bytes;
}

HeaderRecord headerOf(const Entry& e, int32_t descriptionPointer)
{
    HeaderRecord h;
    h.setName(e.name);
    h.setSize(e.size);
    h.setChecksum(e.checksum);
    h.setUploader(e.uploader);
    h.setUploadDate(e.uploadDate);
    h.setFileDate(e.fileDate);
    h.setLastDownloadDate(e.lastDownloadDate);
    putWordAny(h.bytes().data() + HeaderRecord::kDownloadsOffset, e.downloads);
    h.setAttributes(e.attributes);
    h.setPassword(e.password);
    for (size_t k = 0; k < e.keywords.size() && k < HeaderRecord::kKeywordCount; ++k)
        h.setKeyword(k, e.keywords[k]);
    putWordAny(h.bytes().data() + HeaderRecord::kCostOffset, e.cost);
    h.setDescriptionPointer(descriptionPointer);
    return h;
}

IndexRecord indexOf(const Entry& e, int32_t descriptionPointer)
{
    IndexRecord r;
    r.setName(text::toUpper(e.name));
    r.setUploadDate(e.uploadDate);
    r.setDescriptionPointer(descriptionPointer);
    return r;
}

BoardBuilder::BoardBuilder(const std::string& root)
    : BoardBuilder(root + "/ra", root + "/fdb")
{
}

BoardBuilder::BoardBuilder(const std::string& boardDir, const std::string& fileBaseDir)
    : m_boardDir(boardDir)
    , m_fileBaseDir(fileBaseDir)
{
    fs::create_directories(m_boardDir);
    fs::create_directories(m_fileBaseDir);
}

std::string BoardBuilder::writeConfig(
    std::string_view boardName, std::string_view fileBasePath, const std::string& fileName)
{
    return writeBoardFile(fileName, configBytes(boardName, fileBasePath));
}

std::string BoardBuilder::writeAreas(const std::vector<AreaRecordSpec>& records, const std::string& fileName)
{
    std::vector<uint8_t> bytes;
    for (const auto& r : records) {
        const auto rec = areaRecordBytes(r);
        bytes.insert(bytes.end(), rec.begin(), rec.end());
    }
    return writeBoardFile(fileName, bytes);
}

std::string BoardBuilder::writeGroups(const std::vector<GroupRecordSpec>& records, const std::string& fileName)
{
    std::vector<uint8_t> bytes;
    for (const auto& r : records) {
        std::vector<uint8_t> rec(153, 0);
        enc::putText(rec.data() + 2, 40, r.name);
        bytes.insert(bytes.end(), rec.begin(), rec.end());
    }
    return writeBoardFile(fileName, bytes);
}

std::string BoardBuilder::writeFilesRdx(const std::vector<int>& words, const std::string& fileName)
{
    return writeBoardFile(fileName, wordBytes(words));
}

std::string BoardBuilder::writeBoardFile(const std::string& fileName, const std::vector<uint8_t>& bytes)
{
    const std::string path = m_boardDir + "/" + fileName;
    writeFile(path, bytes);
    return path;
}

std::string BoardBuilder::areaPath(const char* dir, int area, const char* ext) const
{
    std::string rel = std::string(dir) + "/fdb" + std::to_string(area) + ext;
    return m_fileBaseDir + "/" + (m_upper ? text::toUpper(rel) : rel);
}

std::string BoardBuilder::headerPath(int area) const
{
    return areaPath("hdr", area, ".hdr");
}
std::string BoardBuilder::indexPath(int area) const
{
    return areaPath("idx", area, ".idx");
}
std::string BoardBuilder::descriptionPath(int area) const
{
    return areaPath("txt", area, ".txt");
}
std::string BoardBuilder::longNamePath(int area) const
{
    return areaPath("hdr", area, ".lfn");
}

void BoardBuilder::writeAreaFiles(int area, const std::vector<HeaderRecord>& headers,
    const std::vector<IndexRecord>& indexes, const std::optional<std::vector<LongNameRecord>>& longNames,
    const std::vector<uint8_t>& descriptions)
{
    std::vector<uint8_t> hdr, idx, lfn;
    for (const auto& h : headers)
        hdr.insert(hdr.end(), h.encode().begin(), h.encode().end());
    for (const auto& i : indexes)
        idx.insert(idx.end(), i.encode().begin(), i.encode().end());
    writeFile(headerPath(area), hdr);
    writeFile(indexPath(area), idx);
    writeFile(descriptionPath(area), descriptions);
    if (longNames) {
        for (const auto& l : *longNames)
            lfn.insert(lfn.end(), l.encode().begin(), l.encode().end());
        writeFile(longNamePath(area), lfn);
    }
}

AreaFiles BoardBuilder::writeEntries(int area, const std::vector<Entry>& entries, bool withLongNames)
{
    AreaFiles files;
    for (const Entry& e : entries) {
        int32_t pointer = -1;
        if (e.description) {
            pointer = int32_t(files.descriptions.size());
            files.descriptions.insert(files.descriptions.end(), e.description->begin(), e.description->end());
            files.descriptions.push_back(0);
        }
        files.headers.push_back(headerOf(e, pointer));
        files.indexes.push_back(indexOf(e, pointer));
        files.longNames.emplace_back().setName(e.longName);
    }
    writeAreaFiles(area, files.headers, files.indexes, withLongNames ? std::optional(files.longNames) : std::nullopt,
        files.descriptions);
    return files;
}

AreaBytes areaBytes(const BoardBuilder& builder, int area)
{
    return { readFile(builder.headerPath(area)), readFile(builder.indexPath(area)),
        readFile(builder.longNamePath(area)), readFile(builder.descriptionPath(area)) };
}

AreaBytes areaBytesOf(const AreaFiles& written, const std::vector<size_t>& records)
{
    AreaBytes b;
    for (size_t r : records) {
        b.hdr.insert(b.hdr.end(), written.headers[r].encode().begin(), written.headers[r].encode().end());
        b.idx.insert(b.idx.end(), written.indexes[r].encode().begin(), written.indexes[r].encode().end());
        b.lfn.insert(b.lfn.end(), written.longNames[r].encode().begin(), written.longNames[r].encode().end());
    }
    b.txt = written.descriptions;
    return b;
}

} // namespace qv::test
