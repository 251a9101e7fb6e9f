#include "storage/AreaConfiguration.h"

#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

#include <algorithm>

namespace qv {

namespace {
// Area and group numbers index tables of 65536 entries, so records and RDX words past the
// 65535th can never be reached; they are not read, which also bounds the work on a huge file.
constexpr uint64_t kMaxRecords = 65535;
constexpr size_t kTableSize = 65536;
constexpr size_t kBlockRecords = 256;

std::string boardFile(FileIo& io, const std::string& boardDir, const char* name)
{
    return resolveCaseInsensitive(io, (boardDir.empty() ? std::string(".") : boardDir) + "/" + name);
}

// Calls visit(recordNumber, bytes) for every whole record, reading a block of records at a time.
template <class Visit> void forEachRecord(FileIo& io, const std::string& path, size_t recordSize, Visit&& visit)
{
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return;
    ScopedHandle handle(io, *h);
    auto length = io.size(handle.get());
    if (!length)
        return;
    const uint64_t count = std::min(*length / recordSize, kMaxRecords);
    std::vector<uint8_t> block(recordSize * kBlockRecords);
    for (uint64_t first = 0; first < count; first += kBlockRecords) {
        const size_t wanted = size_t(std::min<uint64_t>(kBlockRecords, count - first));
        auto got = io.readAt(handle.get(), first * recordSize, block.data(), wanted * recordSize);
        if (!got)
            return;
        const size_t whole = std::min(*got, wanted * recordSize) / recordSize;
        for (size_t i = 0; i < whole; ++i)
            visit(int(first + i + 1), block.data() + i * recordSize);
        if (whole < wanted) // the file shrank while being read
            return;
    }
}

void readInverse(FileIo& io, const std::string& path, std::vector<uint16_t>& inverse)
{
    inverse.assign(kTableSize, 0);
    forEachRecord(io, path, 2, [&](int j, const uint8_t* word) { inverse[size_t(enc::getWord(word))] = uint16_t(j); });
}

// A Text[width] field at offset of a file that may end anywhere: only the bytes present count.
std::string readTextAt(FileIo& io, const std::string& path, uint64_t offset, size_t width)
{
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return {};
    ScopedHandle handle(io, *h);
    std::vector<uint8_t> field(width + 1, 0);
    auto got = io.readAt(handle.get(), offset, field.data(), field.size());
    if (!got || *got == 0)
        return {};
    const size_t available = std::min(*got, field.size()) - 1;
    return enc::getText(field.data(), width).substr(0, available);
}
}

AreaConfiguration AreaConfiguration::read(
    FileIo& io, const std::string& boardDir, bool sendToMode, const std::function<void(int)>& progress)
{
    AreaConfiguration c;
    c.m_io = &io;
    c.m_boardDir = boardDir;

    const std::string filesRdx = boardFile(io, boardDir, "FILES.RDX");
    if (io.exists(filesRdx))
        readInverse(io, filesRdx, c.m_areaInverse);
    const std::string groupsRdx = boardFile(io, boardDir, "FGROUPS.RDX");
    if (io.exists(groupsRdx))
        readInverse(io, groupsRdx, c.m_groupInverse);

    c.m_filesRaPath = boardFile(io, boardDir, "FILES.RA");
    c.m_filesRaExists = io.exists(c.m_filesRaPath) && !io.isDirectory(c.m_filesRaPath);
    if (!c.m_filesRaExists)
        return c;

    c.m_areaRecordOf.assign(kTableSize, 0);
    c.m_boardName = readTextAt(io, boardFile(io, boardDir, "CONFIG.RA"), kBoardNameOffset, kBoardNameWidth);

    if (!sendToMode) {
        forEachRecord(io, boardFile(io, boardDir, "FGROUPS.RA"), kGroupRecordSize, [&](int record, const uint8_t* r) {
            std::string name = enc::getText(r + kGroupNameOffset, kTextWidth);
            if (!text::trim(name).empty())
                c.m_groups.push_back({ c.groupNumberOfRecord(record), std::move(name) });
        });
    }

    forEachRecord(io, c.m_filesRaPath, kAreaRecordSize, [&](int record, const uint8_t* r) {
        if (progress && record % 5 == 0)
            progress(record);
        std::string name = enc::getText(r + kAreaNameOffset, kTextWidth);
        if (text::trim(name).empty())
            return;
        const int number = c.areaNumberOfRecord(record);
        c.m_areaRecordOf[size_t(number)] = uint16_t(record);
        c.m_areas.push_back({ number, std::move(name), enc::getWord(r + kAreaGroupOffset), record });
    });
    return c;
}

std::string AreaConfiguration::readFileBasePath(FileIo& io, const std::string& boardDir)
{
    auto h = io.open(boardFile(io, boardDir, "CONFIG.RA"), FileIo::Mode::Read);
    if (!h)
        return {};
    ScopedHandle handle(io, *h);
    uint8_t length = 0;
    auto gotLength = io.readAt(handle.get(), kFileBasePathOffset, &length, 1);
    if (!gotLength || *gotLength != 1)
        return {};
    // Exactly L bytes belong to the path, fewer when the file ends first.
    std::string path(length, '\0');
    auto got = io.readAt(handle.get(), kFileBasePathOffset + 1, path.data(), path.size());
    if (!got)
        return {};
    path.resize(std::min(*got, path.size()));
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::optional<int> AreaConfiguration::areaRecordOf(int area) const
{
    if (area < 0 || size_t(area) >= m_areaRecordOf.size() || m_areaRecordOf[size_t(area)] == 0)
        return std::nullopt;
    return m_areaRecordOf[size_t(area)];
}

int AreaConfiguration::areaNumberOfRecord(int record) const
{
    if (record >= 0 && size_t(record) < m_areaInverse.size() && m_areaInverse[size_t(record)] != 0)
        return m_areaInverse[size_t(record)];
    return record;
}

int AreaConfiguration::groupNumberOfRecord(int record) const
{
    if (record >= 0 && size_t(record) < m_groupInverse.size() && m_groupInverse[size_t(record)] != 0)
        return m_groupInverse[size_t(record)];
    return record;
}

const AreaInfo* AreaConfiguration::area(int number) const
{
    const auto record = areaRecordOf(number);
    if (!record)
        return nullptr;
    // The list is in record order and each record appears once.
    auto it = std::lower_bound(
        m_areas.begin(), m_areas.end(), *record, [](const AreaInfo& a, int r) { return a.record < r; });
    return it != m_areas.end() && it->record == *record ? &*it : nullptr;
}

std::string AreaConfiguration::areaFilePath(int area) const
{
    const auto record = areaRecordOf(area);
    if (!record || !m_io)
        return {};
    return readTextAt(*m_io, m_filesRaPath, uint64_t(*record - 1) * kAreaRecordSize + kAreaPathOffset, kTextWidth);
}

std::optional<AreaUpkeep> AreaConfiguration::areaUpkeep(int area) const
{
    const auto record = areaRecordOf(area);
    if (!record || !m_io)
        return std::nullopt;
    auto h = m_io->open(m_filesRaPath, FileIo::Mode::Read);
    if (!h)
        return std::nullopt;
    ScopedHandle handle(*m_io, *h);
    std::vector<uint8_t> r(kAreaRecordSize);
    auto got = m_io->readAt(handle.get(), uint64_t(*record - 1) * kAreaRecordSize, r.data(), r.size());
    if (!got || *got < r.size())
        return std::nullopt;
    AreaUpkeep u;
    u.killDaysDownload = enc::getWord(r.data() + kAreaKillDaysDownloadOffset);
    u.killDaysFileDate = enc::getWord(r.data() + kAreaKillDaysFileDateOffset);
    u.moveArea = enc::getWord(r.data() + kAreaMoveAreaOffset);
    u.cdRom = r[kAreaAttributesOffset] & kAreaCdRom;
    return u;
}

} // namespace qv
