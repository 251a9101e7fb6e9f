#include "storage/AreaConfiguration.h"

#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

namespace qv {

namespace {
constexpr uint64_t kConfigLimit = 1 << 20;
constexpr uint64_t kListLimit = 64ull << 20;

std::string boardFile(FileIo& io, const std::string& boardDir, const char* name)
{
    return resolveCaseInsensitive(io, boardDir + "/" + name);
}

std::vector<int> readInverse(FileIo& io, const std::string& path)
{
    std::vector<int> inverse(65536, 0);
    auto bytes = readWholeFile(io, path, 1 << 20);
    if (!bytes)
        return inverse;
    for (size_t j = 1; j * 2 <= bytes->size(); ++j)
        inverse[size_t(enc::getWord(bytes->data() + (j - 1) * 2)) & 0xFFFF] = int(j);
    return inverse;
}
}

AreaConfiguration AreaConfiguration::read(
    FileIo& io, const std::string& boardDir, bool sendToMode, const std::function<void(int)>& progress)
{
    AreaConfiguration c;
    c.m_io = &io;
    c.m_boardDir = boardDir;
    c.m_areaRecordOf.assign(65536, 0);
    const std::string filesRdx = boardFile(io, boardDir, "FILES.RDX");
    const std::string groupsRdx = boardFile(io, boardDir, "FGROUPS.RDX");
    c.m_areaInverse = io.exists(filesRdx) ? readInverse(io, filesRdx) : std::vector<int>(65536, 0);
    c.m_groupInverse = io.exists(groupsRdx) ? readInverse(io, groupsRdx) : std::vector<int>(65536, 0);
    c.m_filesRaPath = boardFile(io, boardDir, "FILES.RA");
    c.m_filesRaExists = io.exists(c.m_filesRaPath);
    if (!c.m_filesRaExists)
        return c;

    if (auto config = readWholeFile(io, boardFile(io, boardDir, "CONFIG.RA"), kConfigLimit);
        config && config->size() >= kBoardNameOffset + 1 + kBoardNameWidth)
        c.m_boardName = enc::getText(config->data() + kBoardNameOffset, kBoardNameWidth);

    if (!sendToMode) {
        if (auto groups = readWholeFile(io, boardFile(io, boardDir, "FGROUPS.RA"), kListLimit)) {
            for (size_t i = 0; (i + 1) * kGroupRecordSize <= groups->size(); ++i) {
                const std::string name
                    = enc::getText(groups->data() + i * kGroupRecordSize + kGroupNameOffset, kTextWidth);
                if (text::trim(name).empty())
                    continue;
                c.m_groups.push_back({ c.groupNumberOfRecord(int(i) + 1), name });
            }
        }
    }

    if (auto areas = readWholeFile(io, c.m_filesRaPath, kListLimit)) {
        for (size_t i = 0; (i + 1) * kAreaRecordSize <= areas->size(); ++i) {
            const int record = int(i) + 1;
            if (progress && record % 5 == 0)
                progress(record);
            const uint8_t* r = areas->data() + i * kAreaRecordSize;
            const std::string name = enc::getText(r + kAreaNameOffset, kTextWidth);
            if (text::trim(name).empty())
                continue;
            const int number = c.areaNumberOfRecord(record);
            c.m_areaRecordOf[size_t(number) & 0xFFFF] = record;
            c.m_areas.push_back({ number, name, enc::getWord(r + kAreaGroupOffset), record });
        }
    }
    return c;
}

std::string AreaConfiguration::readFileBasePath(FileIo& io, const std::string& boardDir)
{
    auto config = readWholeFile(io, boardFile(io, boardDir, "CONFIG.RA"), kConfigLimit);
    if (!config || config->size() <= kFileBasePathOffset)
        return {};
    const size_t length = (*config)[kFileBasePathOffset];
    const size_t available = std::min(length, config->size() - kFileBasePathOffset - 1);
    std::string path(reinterpret_cast<const char*>(config->data() + kFileBasePathOffset + 1), available);
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::optional<int> AreaConfiguration::areaRecordOf(int area) const
{
    if (area < 0 || area > 65535 || m_areaRecordOf.empty() || m_areaRecordOf[size_t(area)] == 0)
        return std::nullopt;
    return m_areaRecordOf[size_t(area)];
}

int AreaConfiguration::areaNumberOfRecord(int record) const
{
    if (record >= 0 && record < 65536 && !m_areaInverse.empty() && m_areaInverse[size_t(record)] != 0)
        return m_areaInverse[size_t(record)];
    return record;
}

int AreaConfiguration::groupNumberOfRecord(int record) const
{
    if (record >= 0 && record < 65536 && !m_groupInverse.empty() && m_groupInverse[size_t(record)] != 0)
        return m_groupInverse[size_t(record)];
    return record;
}

const AreaInfo* AreaConfiguration::area(int number) const
{
    const auto record = areaRecordOf(number);
    if (!record)
        return nullptr;
    for (const AreaInfo& a : m_areas)
        if (a.record == *record)
            return &a;
    return nullptr;
}

std::string AreaConfiguration::areaFilePath(int area) const
{
    const auto record = areaRecordOf(area);
    if (!record || !m_io)
        return {};
    auto h = m_io->open(m_filesRaPath, FileIo::Mode::Read);
    if (!h)
        return {};
    ScopedHandle handle(*m_io, *h);
    uint8_t field[kTextWidth + 1] = {};
    auto got
        = m_io->readAt(handle.get(), uint64_t(*record - 1) * kAreaRecordSize + kAreaPathOffset, field, sizeof field);
    if (!got || *got != sizeof field)
        return {};
    return enc::getText(field, kTextWidth);
}

} // namespace qv
