// Splits the input into the five configuration files of a board held in memory, reads the
// configuration and checks its tables against each other and that no file was touched.
//
// Input: a flag byte (bits 0-4: CONFIG.RA, FILES.RA, FILES.RDX, FGROUPS.RA, FGROUPS.RDX present;
// bit 5: lower-case names; bit 6: CONFIG.RA bytes are spread over the two used fields so short
// inputs reach them; bit 7: send-to mode), five 16-bit little-endian lengths, then the contents.
#include "fuzz/support/Check.h"
#include "storage/AreaConfiguration.h"
#include "storage/MemoryFileIo.h"
#include "storage/Text.h"

#include <algorithm>
#include <vector>

namespace {
const char* const kNames[5] = { "CONFIG.RA", "FILES.RA", "FILES.RDX", "FGROUPS.RA", "FGROUPS.RDX" };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 11)
        return 0;
    const uint8_t flags = data[0];
    size_t pos = 11;
    qv::MemoryFileIo io;
    io.addDirectory("/board");
    std::vector<std::pair<std::string, std::vector<uint8_t>>> written;
    for (int f = 0; f < 5; ++f) {
        const size_t wanted = size_t(data[1 + 2 * f]) | size_t(data[2 + 2 * f]) << 8;
        const size_t n = std::min(wanted, size - pos);
        std::vector<uint8_t> bytes(data + pos, data + pos + n);
        pos += n;
        if (!(flags & (1 << f)))
            continue;
        if (f == 0 && (flags & 0x40)) {
            std::vector<uint8_t> spread(qv::AreaConfiguration::kBoardNameOffset, 0);
            const size_t head = std::min<size_t>(bytes.size(), 36);
            spread.insert(spread.end(), bytes.begin(), bytes.begin() + head);
            spread.resize(qv::AreaConfiguration::kFileBasePathOffset, 0);
            spread.insert(spread.end(), bytes.begin() + head, bytes.end());
            bytes = std::move(spread);
        }
        const std::string name = (flags & 0x20) ? qv::text::toLower(kNames[f]) : kNames[f];
        io.setFile("/board/" + name, bytes);
        written.emplace_back("/board/" + name, std::move(bytes));
    }

    int lastProgress = 0;
    const auto c = qv::AreaConfiguration::read(io, "/board", flags & 0x80, [&](int record) {
        check(record > lastProgress && record % 5 == 0);
        lastProgress = record;
    });
    const std::string basePath = qv::AreaConfiguration::readFileBasePath(io, "/board");
    check(basePath.size() <= 255);
    check(c.boardName().size() <= qv::AreaConfiguration::kBoardNameWidth);

    int previousRecord = 0;
    for (const qv::AreaInfo& a : c.areas()) {
        check(a.record > previousRecord && a.record <= 65535);
        previousRecord = a.record;
        check(!qv::text::trim(a.name).empty());
        check(a.number == c.areaNumberOfRecord(a.record));
        check(a.number >= 0 && a.number <= 65535);
        const auto record = c.areaRecordOf(a.number);
        check(record && *record >= a.record);
        const qv::AreaInfo* found = c.area(a.number);
        check(found && found->record == *record);
        check(c.areaFilePath(a.number).size() <= qv::AreaConfiguration::kTextWidth);
    }
    for (const qv::GroupInfo& g : c.groups())
        check(!qv::text::trim(g.name).empty());
    if (flags & 0x80)
        check(c.groups().empty());
    check(c.areaFilePath(0).empty() || c.areaExists(0));
    check(io.openHandles() == 0);

    // Read only: the same files with the same bytes, and nothing new.
    for (const auto& [path, bytes] : written)
        check(io.file(path) == bytes);
    auto entries = io.list("/board");
    check(entries && entries->size() == written.size());
    return 0;
}
