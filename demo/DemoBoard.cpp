#include "demo/DemoBoard.h"

#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace qv {

namespace {
struct DemoEntry {
    std::string name;
    int32_t size;
    std::string uploader;
    std::string longName;
    std::string description;
};
struct DemoArea {
    int number;
    const char* name;
    int group;
    const char* dir;
    std::vector<DemoEntry> entries;
};

int32_t packedDate(int year, int month, int day)
{
    return int32_t(uint32_t(year - 1980) << 25 | uint32_t(month) << 21 | uint32_t(day) << 16);
}

bool write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

std::vector<DemoEntry> largeArea()
{
    static const char* const kExt[] = { "ZIP", "TXT", "EXE", "GIF", "MOD", "ARJ", "WAV", "DOC" };
    static const char* const kWho[] = { "Ann Lee", "Bo Vikander", "", "Sysop", "Carla Moss" };
    std::vector<DemoEntry> entries;
    for (int i = 1; i <= 3000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "FILE%04d.%s", i, kExt[i % 8]);
        entries.push_back({ name, int32_t(1000 + (i * 7919) % 900000), kWho[i % 5], "",
            "Demo file number " + std::to_string(i) + "\r\nA line of description." });
    }
    return entries;
}
}

bool writeDemoBoard(const std::string& dir, std::string& error)
{
    namespace fs = std::filesystem;
    const fs::path root(dir);
    std::error_code ec;
    for (const char* sub : { "RA", "FDB/hdr", "FDB/idx", "FDB/txt" })
        fs::create_directories(root / sub, ec);
    if (ec) {
        error = ec.message();
        return false;
    }

    const std::vector<std::string> groups = { "Utilities and Tools", "Games", "Pictures and Sound" };
    std::vector<DemoArea> areas = {
        { 12, "Utilities", 1, "UTIL",
            {
                { "PKZ204G.EXE", 202574, "Sysop", "", "PKZIP 2.04g compression utilities\r\nShareware." },
                { "LIST92.ZIP", 118340, "Ann Lee", "", "LIST 9.2 - file viewer for text and hex" },
                { "", 0, "", "", "---- Disk tools ----" },
                { "README.TXT", 2310, "", "ReadMe first.TXT", "How to use the utilities area." },
                { "DISKED.ARJ", 75102, "Bo Vikander", "", "Sector editor for floppies and hard disks" },
                { "QEDIT3.ZIP", 1048576, "", "", "A fast text editor." },
            } },
        { 3, "Games", 2, "GAMES",
            {
                { "DOOMSW.ZIP", 2411018, "Carla Moss", "", "Shareware episode of a famous shooter." },
                { "CHESS.EXE", 81200, "", "", "Chess with a simple opponent." },
                { "TETRIS.COM", 9870, "Sysop", "", "Falling blocks." },
            } },
        { 4, "Pictures", 3, "PICS",
            {
                { "SUNSET.GIF", 184200, "Ann Lee", "", "A sunset over the lake." },
                { "LOGO.PCX", 40210, "", "", "Board logo." },
                { "BEACH.JPG", 301111, "", "Summer Beach.JPG", "Photo of a beach." },
            } },
        { 5, "Sounds and Modules", 3, "SOUND",
            {
                { "SPACE.MOD", 120000, "", "", "Four-channel module." },
                { "HELLO.WAV", 22050, "", "", "Greeting for new callers." },
            } },
        { 7, "Large archive", 1, "LARGE", largeArea() },
        { 9, "New uploads", 99, "NEW", {} },
    };

    // CONFIG.RA: board name and file base path (a host path, used as it is).
    std::vector<uint8_t> config(4096, 0);
    enc::putText(config.data() + 1258, 35, "Kestrel Demo BBS");
    const std::string fileBase = (root / "FDB").string();
    if (fileBase.size() > 255) {
        error = "demo directory path too long";
        return false;
    }
    config[3089] = uint8_t(fileBase.size());
    std::copy(fileBase.begin(), fileBase.end(), config.begin() + 3090);
    if (!write(root / "RA" / "CONFIG.RA", config, error))
        return false;

    std::vector<uint8_t> groupBytes(groups.size() * 153, 0);
    for (size_t i = 0; i < groups.size(); ++i)
        enc::putText(groupBytes.data() + i * 153 + 2, 40, groups[i]);
    if (!write(root / "RA" / "FGROUPS.RA", groupBytes, error))
        return false;

    std::vector<uint8_t> files(areas.size() * 168, 0);
    std::vector<uint8_t> rdx(2 * 12, 0);
    const int32_t date = packedDate(1998, 11, 5);
    for (size_t i = 0; i < areas.size(); ++i) {
        const DemoArea& a = areas[i];
        const fs::path areaDir = root / "FILES" / a.dir;
        fs::create_directories(areaDir, ec);
        uint8_t* r = files.data() + i * 168;
        enc::putText(r + 4, 40, a.name);
        enc::putText(r + 46, 40, areaDir.string());
        enc::putWord(r + 111, a.group);
        enc::putWord(rdx.data() + (a.number - 1) * 2, int(i) + 1);

        std::vector<uint8_t> hdr, idx, lfn, txt;
        for (const DemoEntry& e : a.entries) {
            HeaderRecord h;
            h.setName(e.name);
            h.setSize(e.size);
            h.setUploader(e.uploader);
            h.setUploadDate(date);
            h.setFileDate(packedDate(1996, 3, 14));
            h.setLastDownloadDate(date);
            h.setDownloads(int(e.size % 97));
            h.setDescriptionPointer(int32_t(txt.size()));
            IndexRecord::Bytes index {};
            enc::putLong(index.data() + IndexRecord::kDescriptionPointerOffset, int32_t(txt.size()));
            txt.insert(txt.end(), e.description.begin(), e.description.end());
            txt.push_back(0);
            hdr.insert(hdr.end(), h.encode().begin(), h.encode().end());
            idx.insert(idx.end(), index.begin(), index.end());
            std::vector<uint8_t> longName(256, 0);
            enc::putText(longName.data(), 255, e.longName);
            lfn.insert(lfn.end(), longName.begin(), longName.end());
            if (!e.name.empty() && a.entries.size() < 100) {
                std::vector<uint8_t> content(size_t(std::min<int32_t>(e.size, 4096)), 'x');
                if (!write(areaDir / e.name, content, error))
                    return false;
            }
        }
        const std::string n = std::to_string(a.number);
        if (!write(root / "FDB" / "hdr" / ("fdb" + n + ".hdr"), hdr, error)
            || !write(root / "FDB" / "idx" / ("fdb" + n + ".idx"), idx, error)
            || !write(root / "FDB" / "txt" / ("fdb" + n + ".txt"), txt, error)
            || !write(root / "FDB" / "hdr" / ("fdb" + n + ".lfn"), lfn, error))
            return false;
    }
    return write(root / "RA" / "FILES.RA", files, error) && write(root / "RA" / "FILES.RDX", rdx, error);
}

} // namespace qv
