#pragma once

// Areas with upkeep settings for the clean tests (C: mapped to tmp, today 01-12-2026):
//   1 "Expire to 2"  C:\FILES\A  30 days without download, file date 365 days, moves to 2
//   2 "Old files"    C:\FILES\B
//   3 "Disc"         C:\CD       CD-ROM, 30 days without download
//   4 "Plain"        C:\FILES\D  30 days without download, file date 365 days, no move area
//   5 "Lost"         C:\NOWHERE  (no such directory)
//   6 "Self"         C:\FILES\F  as 1, but moves to itself;  7 "To disc" C:\FILES\G moves to 3;
//   8 "To nowhere"   C:\FILES\H  moves to 99
// entries() fills an area with one entry of each kind, files() names the files put beside them.

#include "board/TransferLeftovers.h"
#include "storage/AreaCheck.h"
#include "storage/Encoding.h"
#include "tests/editing/MappedBoard.h"

#include <QDate>

namespace qv::test {

class CleanTestBoard : public MappedBoard {
public:
    static inline const QDate kToday { 2026, 12, 1 };

    static int32_t date(int y, int m, int d) { return enc::encodeDate({ y, m, d }); }

    CleanTestBoard()
    {
        struct Area {
            const char* name;
            const char* path;
            int download, fileDate, move;
            uint8_t attributes = 0; // 8: CD-ROM
        };
        const Area areas[] = { { "Expire to 2", "C:\\FILES\\A", 30, 365, 2 }, { "Old files", "C:\\FILES\\B", 0, 0, 0 },
            { "Disc", "C:\\CD", 30, 0, 0, 8 }, { "Plain", "C:\\FILES\\D", 30, 365, 0 },
            { "Lost", "C:\\NOWHERE", 30, 0, 0 }, { "Self", "C:\\FILES\\F", 30, 365, 6 },
            { "To disc", "C:\\FILES\\G", 30, 365, 3 }, { "To nowhere", "C:\\FILES\\H", 30, 365, 99 } };
        std::vector<AreaRecordSpec> records;
        for (const Area& a : areas)
            records.push_back({ .name = a.name,
                .path = a.path,
                .group = 1,
                .killDaysDownload = a.download,
                .killDaysFileDate = a.fileDate,
                .moveArea = a.move,
                .attributes = a.attributes });
        builder.writeAreas(records);
        for (int area : { 1, 2, 3, 4, 6, 7, 8 }) {
            std::filesystem::create_directories(dir(area));
            builder.writeEntries(area, {});
        }
    }

    std::string dir(int area) const
    {
        static const char* const dirs[]
            = { "", "/FILES/A", "/FILES/B", "/CD", "/FILES/D", "/NOWHERE", "/FILES/F", "/FILES/G", "/FILES/H" };
        return tmp.path() + dirs[area];
    }
    std::string file(int area, const std::string& name) const { return dir(area) + "/" + name; }
    void putFile(int area, const std::string& name) { writeFile(file(area, name), "data of " + name); }

    // One entry of each kind, dated by days before today; positions are named in the tests.
    static std::vector<Entry> entries(const QDate& today = kToday)
    {
        auto ago = [&](int days) {
            const QDate d = today.addDays(-days);
            return date(d.year(), d.month(), d.day());
        };
        const int32_t recent = ago(6);
        const int32_t old = date(2019, 5, 5);
        auto e = [&](std::string name, int downloads, int32_t up, int32_t last, int32_t fileDate,
                     uint8_t attributes = 0, std::string longName = {}) {
            std::string description = "about " + name;
            return Entry { .name = std::move(name),
                .uploadDate = up,
                .fileDate = fileDate,
                .lastDownloadDate = last,
                .downloads = downloads,
                .attributes = attributes,
                .description = std::move(description),
                .longName = std::move(longName) };
        };
        return {
            e("OLDDL.ZIP", 3, old, ago(91), recent), // 0: last downloaded 91 days ago
            e("FRESH.ZIP", 1, old, ago(30), ago(365)), // 1: each age just at its limit, not past it
            e("NEVER.ZIP", 0, ago(61), ago(1), recent), // 2: never, uploaded 61 days ago
            e("NEWUP.ZIP", 0, recent, recent, recent), // 3
            e("OLDFD.ZIP", 2, old, ago(2), ago(700)), // 4: file date 700 days old
            Entry { .name = "", .uploadDate = old, .description = "-- a comment --" }, // 5
            e("LOCKED.ZIP", 0, old, old, old, 0x11), // 6: locked, deleted, old and missing
            e("GONE.ZIP", 1, recent, recent, recent), // 7: file missing
            e("DEL.ZIP", 1, recent, recent, recent, 0x01), // 8: deleted
            e("BADDATE.ZIP", 0, 0, 0, date(2026, 13, 40)), // 9: dates that are no days
            e("LONGFI~1.ZIP", 1, recent, recent, recent, 0, "Long File.zip"), // 10: file under its long name
            e("SHORTN~1.ZIP", 1, recent, recent, recent, 0, "short name.zip"), // 11: file under its 8.3 name
            e("SHARED.ZIP", 1, recent, recent, recent, 0x01), // 12: deleted, file named by 13
            e("SHARED.ZIP", 1, recent, recent, recent), // 13
        };
    }
    static std::vector<std::string> files()
    {
        return { "OLDDL.ZIP", "FRESH.ZIP", "NEVER.ZIP", "NEWUP.ZIP", "OLDFD.ZIP", "DEL.ZIP", "BADDATE.ZIP",
            "Long File.zip", "SHORTN~1.ZIP", "SHARED.ZIP" };
    }
    AreaFiles fill(int area, const QDate& today = kToday)
    {
        const AreaFiles written = builder.writeEntries(area, entries(today));
        for (const std::string& f : files())
            putFile(area, f);
        return written;
    }
    std::vector<std::string> filesIn(int area) const { return namesIn(dir(area)); }

    // What qvtool check reports for the area: its files, and what transfers left in its directory.
    std::vector<std::string> check(int area) const
    {
        std::vector<std::string> out = AreaCheck::run(systemFileIo(), builder.fileBaseDir(), area);
        auto board = open();
        for (const QString& line : TransferLeftovers(*board).find(area))
            out.push_back(line.toStdString());
        return out;
    }
};

} // namespace qv::test
