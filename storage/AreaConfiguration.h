#pragma once

#include "storage/FileIo.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct AreaInfo {
    int number = 0; // area number (FILES.RDX or the record number)
    std::string name; // as stored, untrimmed
    int group = 0; // group number field of the record
    int record = 0; // 1-based FILES.RA record
};

// An area's own upkeep settings in its FILES.RA record, as the board's maintenance tools read them.
struct AreaUpkeep {
    int killDaysDownload = 0; // expire after this many days without a download; 0: never
    int killDaysFileDate = 0; // expire when the file date is this many days old; 0: never
    int moveArea = 0; // where expired entries go; 0: they are removed
    bool cdRom = false; // the files are on a CD-ROM: never deleted
    friend bool operator==(const AreaUpkeep&, const AreaUpkeep&) = default;
};

struct GroupInfo {
    int number = 0;
    std::string name; // as stored
};

// The board's area configuration: CONFIG.RA, FILES.RA, FILES.RDX, FGROUPS.RA, FGROUPS.RDX in the
// board directory (names matched without regard to case). Read only: nothing here writes them.
class AreaConfiguration {
public:
    static constexpr size_t kAreaRecordSize = 168;
    static constexpr size_t kAreaNameOffset = 4; // Text[40]
    static constexpr size_t kAreaAttributesOffset = 45; // Byte
    static constexpr uint8_t kAreaCdRom = 1 << 3;
    static constexpr size_t kAreaPathOffset = 46; // Text[40]
    static constexpr size_t kAreaKillDaysDownloadOffset = 87; // Word
    static constexpr size_t kAreaKillDaysFileDateOffset = 89; // Word
    static constexpr size_t kAreaMoveAreaOffset = 107; // Word
    static constexpr size_t kAreaGroupOffset = 111; // Word
    static constexpr size_t kGroupRecordSize = 153;
    static constexpr size_t kGroupNameOffset = 2; // Text[40]
    static constexpr size_t kTextWidth = 40;
    static constexpr size_t kBoardNameOffset = 1258; // Text[35] in CONFIG.RA
    static constexpr size_t kBoardNameWidth = 35;
    static constexpr size_t kFileBasePathOffset = 3089; // length byte L, then L bytes

    // Reads the configuration in the board's order. Groups are skipped in send-to mode.
    // progress(record) is called at every fifth FILES.RA record.
    static AreaConfiguration read(FileIo& io, const std::string& boardDir, bool sendToMode = false,
        const std::function<void(int)>& progress = {});

    // The file database path as stored in CONFIG.RA, one trailing backslash removed; "" when
    // CONFIG.RA does not exist.
    static std::string readFileBasePath(FileIo& io, const std::string& boardDir);

    bool filesRaExists() const { return m_filesRaExists; }
    const std::string& boardName() const { return m_boardName; }
    const std::vector<AreaInfo>& areas() const { return m_areas; }
    const std::vector<GroupInfo>& groups() const { return m_groups; }

    // AreaRecordOf: the FILES.RA record of an area number (a later duplicate wins).
    std::optional<int> areaRecordOf(int area) const;
    bool areaExists(int area) const { return areaRecordOf(area).has_value(); }
    // Area number of a FILES.RA record, group number of a FGROUPS.RA record (inverse tables).
    int areaNumberOfRecord(int record) const;
    int groupNumberOfRecord(int record) const;
    // The area with this number as AreaRecordOf finds it.
    const AreaInfo* area(int number) const;

    // The area's file path field (Text[40], untrimmed), read afresh from FILES.RA on each call;
    // empty when the area or the file is missing.
    std::string areaFilePath(int area) const;

    // The area's upkeep settings, read afresh from FILES.RA like its path; nullopt when the area
    // or its whole record cannot be read.
    std::optional<AreaUpkeep> areaUpkeep(int area) const;

    const std::string& boardDir() const { return m_boardDir; }

private:
    FileIo* m_io = nullptr;
    std::string m_boardDir;
    std::string m_filesRaPath;
    bool m_filesRaExists = false;
    std::string m_boardName;
    std::vector<AreaInfo> m_areas;
    std::vector<GroupInfo> m_groups;
    // 65536 entries each, 0 = empty; records and numbers never exceed 65535. An inverse table
    // stays empty when its RDX file is missing.
    std::vector<uint16_t> m_areaRecordOf;
    std::vector<uint16_t> m_areaInverse;
    std::vector<uint16_t> m_groupInverse;
};

} // namespace qv
