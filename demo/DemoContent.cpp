#include "demo/DemoContent.h"

#include "demo/DemoArchives.h"
#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace qv {

namespace {

int32_t date(int year, int month, int day)
{
    return enc::encodeDate({ year, month, day });
}

// A stored date whose day field is 0: the list shows it as "Invalid".
int32_t invalidDate(int year, int month)
{
    return date(year, month, 0);
}

// Board text ends its lines with CR LF.
std::string lines(std::initializer_list<std::string_view> parts)
{
    std::string text;
    for (std::string_view part : parts) {
        if (!text.empty())
            text += "\r\n";
        text += part;
    }
    return text;
}

// A frame of CP437 double lines around the given lines.
std::string doubleBox(std::initializer_list<std::string_view> inner)
{
    size_t width = 0;
    for (std::string_view line : inner)
        width = std::max(width, line.size());
    std::string text = "\xC9" + std::string(width + 2, '\xCD') + "\xBB";
    for (std::string_view line : inner)
        text += "\r\n\xBA " + std::string(line) + std::string(width - line.size(), ' ') + " \xBA";
    text += "\r\n\xC8" + std::string(width + 2, '\xCD') + "\xBC";
    return text;
}

std::string rule(std::string_view title)
{
    return "\xC4\xC4\xC4\xC4 " + std::string(title) + " \xC4\xC4\xC4\xC4";
}

// A small DOS program: an MZ header padded to the given size.
std::string program(size_t size)
{
    std::string bytes = "MZ";
    bytes.resize(std::max<size_t>(size, 64), '\0');
    for (size_t i = 64; i < bytes.size(); ++i)
        bytes[i] = char((i * 31 + 7) & 0xFF);
    return bytes;
}

std::string textFile(std::string_view title, size_t lineCount)
{
    std::string text = std::string(title) + "\r\n" + std::string(title.size(), '=') + "\r\n";
    for (size_t i = 1; i <= lineCount; ++i)
        text += "Line " + std::to_string(i) + " of the file, kept short for the demo board.\r\n";
    return text;
}

const DemoArchive& archive(std::string_view name)
{
    for (const DemoArchive& a : demoArchives())
        if (name == a.name)
            return a;
    return demoArchives().front();
}

DemoEntry file(std::string name, std::string uploader, int32_t uploaded, int32_t fileDate, std::string description,
    std::string content)
{
    DemoEntry e;
    e.name = std::move(name);
    e.uploader = std::move(uploader);
    e.uploadDate = uploaded;
    e.fileDate = fileDate;
    e.lastDownloadDate = uploaded;
    e.description = std::move(description);
    e.content = std::move(content);
    return e;
}

// An entry whose file has a long name; its 8.3 name is given by the directory's aliases.
DemoEntry longFile(std::string longName, std::string uploader, int32_t uploaded, int32_t fileDate,
    std::string description, std::string content)
{
    DemoEntry e = file({}, std::move(uploader), uploaded, fileDate, std::move(description), std::move(content));
    e.longName = std::move(longName);
    return e;
}

DemoEntry archiveFile(std::string_view name, std::string uploader, int32_t uploaded, std::string fallback = {})
{
    const DemoArchive& a = archive(name);
    std::string description = a.fileIdDiz.empty() ? std::move(fallback) : std::string(a.fileIdDiz);
    return file(a.name, std::move(uploader), uploaded, date(1996, 3, 14), std::move(description),
        std::string(reinterpret_cast<const char*>(a.bytes.data()), a.bytes.size()));
}

DemoEntry comment(std::string text)
{
    DemoEntry e;
    e.description = std::move(text);
    return e;
}

constexpr uint8_t attr(std::initializer_list<Attribute> flags)
{
    uint8_t v = 0;
    for (Attribute a : flags)
        v |= uint8_t(a);
    return v;
}

DemoArea utilities()
{
    DemoArea a { 12, "Utilities", 1, "UTIL", true, {} };
    a.entries.push_back(comment(lines(
        { doubleBox({ "Utilities for every day", "Tested on a plain 286." }), "Uploads welcome: see the Sysop." })));

    DemoEntry qbeep = archiveFile("QBEEP10.ZIP", "Sysop", date(1996, 4, 2));
    qbeep.lastDownloadDate = date(1998, 11, 5);
    qbeep.downloads = 27;
    qbeep.keywords = { "music", "speaker", "", "", "" };
    a.entries.push_back(qbeep);

    DemoEntry tidy = archiveFile("TIDYDSK3.ARJ", "Bj\x94rn \x8Elvstr\x94m", date(1997, 1, 19));
    tidy.attributes = attr({ Attribute::Free });
    tidy.downloads = 140;
    a.entries.push_back(tidy);

    DemoEntry star = archiveFile("STARMAP2.7Z", "Carla Moss", date(1998, 6, 30));
    star.keywords = { "astronomy", "stars", "atlas", "", "" };
    star.cost = 10;
    star.downloads = 8;
    a.entries.push_back(star);

    a.entries.push_back(archiveFile("PLAIN.ZIP", "", date(1999, 2, 1),
        lines({ "Notes packed in a plain archive.", "(There is no FILE_ID.DIZ inside.)" })));

    a.entries.push_back(comment(rule("Editors and viewers")));

    a.entries.push_back(longFile("Release Notes 1.5.txt", "Sysop", date(1999, 3, 1), date(1999, 2, 27),
        lines({ "Release notes of the board software.", "\xFE What changed", "\xFE What to watch for when updating" }),
        textFile("Release notes", 12)));

    DemoEntry qedit = file("QEDIT31.EXE", "Ann Lee", date(1995, 8, 12), invalidDate(1995, 7),
        lines({ doubleBox({ "QEDIT 3.1" }), "A fast text editor with macros.",
            "The file date in this entry is damaged." }),
        program(4200));
    qedit.downloads = 312;
    a.entries.push_back(qedit);

    DemoEntry hex = file("VIEWHEX.COM", "Ann Lee", date(1995, 9, 3), date(1995, 9, 1),
        "Hex viewer for files of any size.", program(900));
    hex.attributes = attr({ Attribute::Locked, Attribute::NoTime });
    hex.password = "HEXVIEW";
    hex.downloads = 64000;
    a.entries.push_back(hex);

    DemoEntry gone = file("OLDUTIL.EXE", "Sysop", date(1993, 5, 5), date(1993, 4, 30),
        "Retired tool; the file is no longer on the disk.", {});
    gone.attributes = attr({ Attribute::Deleted, Attribute::Unlisted, Attribute::MissingOffline });
    gone.content = program(1536);
    gone.onDisk = false;
    a.entries.push_back(gone);

    DemoEntry bare = file("NODESC.TXT", "", date(1999, 4, 1), date(1999, 4, 1), {}, textFile("No description", 2));
    bare.description.reset();
    a.entries.push_back(bare);
    return a;
}

DemoArea diskTools()
{
    DemoArea a { 2, "Disk and File Tools", 1, "DISK", true, {} };
    a.entries.push_back(file("FLOPCOPY.EXE", "Sysop", date(1994, 2, 10), date(1994, 1, 30),
        lines({ "Copies a floppy in one pass.", "Supports 360K to 1.44M." }), program(6100)));
    a.entries.push_back(file("DISKINFO.COM", "Carla Moss", date(1994, 3, 2), date(1994, 2, 28),
        "Shows the layout of a disk.", program(1200)));
    a.entries.push_back(
        file("UNDEL.BAT", "", date(1995, 6, 6), date(1995, 6, 6), "Batch file that restores deleted files.",
            "@echo off\r\nrem Restores what the last delete removed.\r\necho Nothing to restore.\r\n"));
    a.entries.push_back(file("DISKTOOL.DOC", "Sysop", date(1995, 6, 7), date(1995, 6, 7),
        "Manual for the disk tools of this area.", textFile("Disk tools", 20)));
    return a;
}

DemoArea archivers()
{
    DemoArea a { 3, "Archivers", 1, "ARC", true, {} };
    a.entries.push_back(comment(lines({ rule("Packers and unpackers"), "Each archive here has a description." })));
    a.entries.push_back(file("FORMATS.TXT", "Sysop", date(1996, 1, 8), date(1996, 1, 8),
        "The archive formats this board accepts.", textFile("Archive formats", 8)));
    DemoEntry longZip = longFile("Archive with a long name.zip", "Ann Lee", date(1997, 7, 7), date(1996, 3, 14),
        "A zip archive stored under a long file name.", {});
    const DemoArchive& plain = archive("PLAIN.ZIP");
    longZip.content.assign(reinterpret_cast<const char*>(plain.bytes.data()), plain.bytes.size());
    a.entries.push_back(longZip);
    a.entries.push_back(file("HOWTO.DOC", "", date(1997, 7, 8), date(1997, 7, 8),
        "How to unpack the files of this board.", textFile("How to unpack", 6)));
    return a;
}

DemoArea arcade()
{
    DemoArea a { 4, "Arcade Games", 2, "ARCADE", true, {} };
    DemoEntry rocks = file("ROCKS.EXE", "Carla Moss", date(1993, 11, 20), date(1993, 11, 1),
        lines({ "Shoot the rocks before they hit your ship.", "EGA or VGA, joystick optional." }), program(8800));
    rocks.downloads = 1520;
    a.entries.push_back(rocks);
    a.entries.push_back(file("PADDLE.COM", "Sysop", date(1994, 4, 4), date(1994, 4, 1),
        "Break the wall with a ball and a paddle.", program(2400)));
    a.entries.push_back(file("INVADE.EXE", "Bo Vikander", date(1994, 8, 15), date(1994, 8, 2),
        lines({ doubleBox({ "INVADE!", "Aliens in rows, one cannon." }), "Shareware." }), program(7300)));
    return a;
}

DemoArea boardGames()
{
    // No long-name file: the list shows the 8.3 names.
    DemoArea a { 5, "Board and Card Games", 2, "BOARD", false, {} };
    a.entries.push_back(
        file("CHESS.EXE", "", date(1995, 1, 2), date(1994, 12, 24), "Chess with a simple opponent.", program(9100)));
    a.entries.push_back(file("SOLITR.EXE", "Ann Lee", date(1995, 2, 14), date(1995, 2, 1),
        "Patience, as played with real cards.", program(5000)));
    a.entries.push_back(file("GO.DOC", "Sysop", date(1995, 3, 3), date(1995, 3, 3), "The rules of Go, with diagrams.",
        textFile("Go rules", 15)));
    return a;
}

DemoArea adventures()
{
    DemoArea a { 6, "Adventures", 2, "ADVENT", true, {} };
    a.entries.push_back(file("CAVE.EXE", "Bo Vikander", date(1996, 10, 31), date(1996, 10, 30),
        lines({ "A text adventure in a deep cave.", "Type HELP at the prompt." }), program(12000)));
    a.entries.push_back(longFile("Cave walkthrough.txt", "Carla Moss", date(1996, 11, 2), date(1996, 11, 2),
        "Every room of the cave, in order.", textFile("Cave walkthrough", 30)));
    return a;
}

DemoArea pictures()
{
    static const unsigned char kGif[] = { 'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF,
        0xFF, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3B };
    DemoArea a { 7, "Pictures", 3, "PICS", true, {} };
    a.entries.push_back(file("SUNSET.GIF", "Ann Lee", date(1997, 8, 1), date(1997, 7, 30), "A sunset over the lake.",
        std::string(reinterpret_cast<const char*>(kGif), sizeof kGif)));
    a.entries.push_back(longFile("MyPicture.JPG", "Carla Moss", date(1998, 5, 5), date(1998, 5, 4),
        "A photo under a mixed-case long name.", "\xFF\xD8\xFF\xE0 demo picture\xFF\xD9"));
    a.entries.push_back(file("BOARD.PCX", "Sysop", date(1998, 5, 6), date(1998, 5, 6), "The board's logo.",
        std::string("\x0A\x05\x01\x08", 4) + std::string(124, '\0')));
    return a;
}

DemoArea sounds()
{
    DemoArea a { 8, "Sounds and Modules", 3, "SOUND", true, {} };
    a.entries.push_back(file("SPACE.MOD", "Bo Vikander", date(1995, 12, 24), date(1995, 12, 20),
        lines({ "Four-channel module, 3:12.", "\xB0\xB1\xB2 spacey \xB2\xB1\xB0" }), std::string(1084, '\0') + "M.K."));
    a.entries.push_back(file("HELLO.WAV", "Sysop", date(1996, 1, 1), date(1996, 1, 1), "Greeting for new callers.",
        std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(28, '\0')));
    a.entries.push_back(file("TUNE.MID", "", date(1996, 2, 2), date(1996, 2, 2), "A short MIDI tune.",
        std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14)));
    return a;
}

DemoArea texts()
{
    DemoArea a { 10, "Texts and Magazines", 4, "TEXT", true, {} };
    a.entries.push_back(file("MAG9611.TXT", "Sysop", date(1996, 11, 30), date(1996, 11, 29),
        lines({ doubleBox({ "The Harbour Light Magazine", "Issue 11/1996" }),
            "\xFE Interviews \xFE Reviews \xFE Board news" }),
        textFile("Magazine 11/1996", 40)));
    a.entries.push_back(file("BBSLIST.ASC", "Ann Lee", date(1997, 2, 2), date(1997, 2, 1),
        "Boards of the region with their numbers.", textFile("Board list", 25)));
    a.entries.push_back(file("WELCOME.ANS", "Sysop", date(1997, 3, 3), date(1997, 3, 3), "The colourful logon screen.",
        "\x1B[1;33m\xDB\xDB Welcome \xDB\xDB\x1B[0m\r\n"));
    return a;
}

DemoArea largeArea()
{
    static const char* const kStems[] = { "NOTE", "LIST", "INFO", "TIPS", "FAQS", "NEWS", "LOGS", "TEXT" };
    static const char* const kExts[] = { "TXT", "ASC", "DOC", "NFO", "LST", "ANS" };
    static const char* const kWho[] = { "Ann Lee", "Bo Vikander", "", "Sysop", "Carla Moss", "Bj\x94rn" };
    DemoArea a { 20, "File Archive", 4, "LARGE", true, {} };
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int i = 1; i <= kDemoLargeAreaEntries; ++i) {
        if (i % 250 == 1) {
            a.entries.push_back(comment(rule("Volume " + std::to_string(i / 250 + 1))));
            continue;
        }
        const int year = 1990 + int(next() % 10);
        const int month = 1 + int(next() % 12);
        const int day = 1 + int(next() % 28);
        char name[16];
        std::snprintf(name, sizeof name, "%s%04d.%s", kStems[next() % 8], i, kExts[next() % 6]);
        std::string description = "Archived text number " + std::to_string(i) + ".";
        if (i % 7 == 0)
            description += "\r\nA second line of description.";
        DemoEntry e = file(name, kWho[next() % 6], date(year, month, day), date(year, month, 1), description,
            textFile(name, 1 + next() % 12));
        e.downloads = int(next() % 500);
        e.lastDownloadDate = date(1999, 1 + int(next() % 12), 1 + int(next() % 28));
        if (i % 97 == 0) {
            e.longName = "Long name number " + std::to_string(i) + ".txt";
            e.name.clear();
        }
        a.entries.push_back(std::move(e));
    }
    return a;
}

DemoArea lostAndFound()
{
    DemoArea a { 13, "Lost and Found", 99, "LOST", true, {} };
    a.entries.push_back(file("FOUND.TXT", "", date(1998, 1, 1), date(1998, 1, 1), "This area's group does not exist.",
        textFile("Found", 3)));
    a.entries.push_back(comment("Files nobody claimed."));
    return a;
}

}

DemoLayout demoLayout()
{
    DemoLayout layout;
    layout.boardName = "Harbour Light BBS";
    layout.groups
        = { { 1, "Utilities and Tools" }, { 2, "Games" }, { 3, "Pictures and Sound" }, { 4, "Texts and Archives" } };
    layout.records.push_back(utilities());
    layout.records.push_back(diskTools());
    layout.records.push_back(archivers());
    layout.records.push_back(arcade());
    layout.records.push_back(boardGames());
    layout.records.push_back(std::nullopt); // a blank record keeps its place
    layout.records.push_back(adventures());
    layout.records.push_back(pictures());
    layout.records.push_back(sounds());
    layout.records.push_back(texts());
    layout.records.push_back(largeArea());
    layout.records.push_back(DemoArea { 11, "New Uploads", 1, "NEW", true, {} });
    layout.records.push_back(lostAndFound());
    return layout;
}

} // namespace qv
