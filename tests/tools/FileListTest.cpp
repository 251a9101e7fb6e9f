#include "storage/Encoding.h"
#include "tools/FileList.h"

#include "tests/support/ArchiveBuilder.h"
#include "tests/support/FaultyFileIo.h"
#include "tests/tools/ToolsTestBoard.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

using test::Entry;

int32_t packed(int y, int m, int d)
{
    return enc::encodeDate({ y, m, d });
}

struct ListBoard : test::ToolsTestBoard {
    ListBoard()
    {
        builder.writeAreas({ { "Utilities", areaDir("u"), 1 }, { "Games <&>", areaDir("g"), 2 } });
        builder.writeEntries(1,
            { { .name = "", .description = "\xC9\xCD\xBB Tools" },
                { .name = "NEW.ZIP",
                    .size = 10,
                    .uploadDate = packed(2024, 6, 28),
                    .fileDate = packed(2024, 6, 1),
                    .downloads = 3,
                    .description = "a <b> & c\r\nsecond \xCD line" },
                { .name = "GONE.ZIP", .size = 99, .attributes = uint8_t(Attribute::Deleted), .description = "x" },
                { .name = "OLD.ZIP",
                    .size = 20,
                    .uploadDate = packed(2020, 1, 1),
                    .fileDate = packed(2019, 12, 31) } });
        builder.writeEntries(2, { { .name = "GAME.ARJ", .size = 5, .uploadDate = packed(2021, 1, 1) } });
    }
    std::string list(FileList::Options o) const
    {
        auto board = open();
        o.today = QDate(2024, 6, 30);
        std::string out;
        EXPECT_TRUE(FileList(*board)
                        .write(o,
                            [&](std::string_view b) {
                                out += b;
                                return true;
                            })
                        .ok);
        return out;
    }
};

const std::string kRule(79, '=');
std::string heading(const std::string& area, const std::string& counts)
{
    return "\r\n" + kRule + "\r\n Area " + area + "\r\n " + counts + "\r\n" + kRule + "\r\n";
}

TEST(FileList, TextListsEveryAreaWithHeadingsTotalsBannerAndFooter)
{
    ListBoard b;
    struct Case {
        std::optional<int> days;
        std::string expected;
    };
    const std::string newLine
        = "NEW.ZIP            10 06/01/24 0003  a <b> & c\r\n" + std::string(36, ' ') + "| second \xCD line\r\n";
    const std::string total = "\r\n" + kRule + "\r\n Total: ";
    const Case cases[] = {
        { std::nullopt,
            "\xDB banner\r\n" + heading("1: Utilities", "2 files, 30 bytes") + "\xC9\xCD\xBB Tools\r\n" + newLine
                + "OLD.ZIP            20 12/31/19 0000  \r\n" + heading("2: Games <&>", "1 file, 5 bytes")
                + "GAME.ARJ            5 05/05/94 0000  \r\n" + total + "3 files, 35 bytes in 2 areas\r\n" + kRule
                + "\r\nfoot" },
        // A new-files list: the comment line and the area without new files are left out.
        { 5,
            "\xDB banner\r\n" + heading("1: Utilities", "1 file, 10 bytes") + newLine + total
                + "1 file, 10 bytes in 1 area\r\n" + kRule + "\r\nfoot" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            b.list({ .areas = { 1, 2 }, .days = c.days, .banner = "\xDB banner\r\n", .footer = "foot" }), c.expected)
            << (c.days ? "new files" : "all files");
}

TEST(FileList, HtmlReadsBackWithEveryEntryAndCharacter)
{
    ListBoard b;
    const std::string page = b.list({ .areas = { 2, 1 }, .html = true, .banner = "<\xCD>", .footer = "& end" });
    QXmlStreamReader xml(QByteArray::fromStdString(page));
    QStringList cells, pres, headings, links, anchors;
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"a")
                links << xml.attributes().value("href").toString();
            if (xml.name() == u"section")
                anchors << "#" + xml.attributes().value("id").toString();
            if (xml.name() == u"td")
                cells << xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.name() == u"pre")
                pres << xml.readElementText();
            else if (xml.name() == u"h2")
                headings << xml.readElementText();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    EXPECT_EQ(headings, QStringList({ "2: Games <&>", "1: Utilities" }));
    EXPECT_EQ(links, anchors);
    EXPECT_EQ(links, QStringList({ "#area2", "#area1" }));
    EXPECT_EQ(pres, QStringList({ "<═>", "& end" }));
    EXPECT_EQ(cells,
        QStringList({ "GAME.ARJ", "5", "05/05/94", "0", "", "╔═╗ Tools", "NEW.ZIP", "10", "06/01/24", "3",
            "a <b> & c\nsecond ═ line", "OLD.ZIP", "20", "12/31/19", "0", "" }));
}

TEST(FileList, AFileIsReplacedKeepingItsMode)
{
    ListBoard b;
    auto board = b.open();
    const QString path = QString::fromStdString(b.tmp.path()) + "/allfiles.txt";
    test::writeBytes(path, "old list");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const auto r = FileList(*board).writeFile(path, { .areas = { 2 } });
    ASSERT_TRUE(r.ok) << r.problem.toStdString();
    EXPECT_EQ(r.totals.files, 1u);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(path.toStdString()).permissions(),
        perms::owner_read | perms::owner_write | perms::group_read);
    EXPECT_FALSE(QFile::exists(path + ".q$$"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("GAME.ARJ"));

    // A write, flush, close or rename that fails is reported and leaves the old list in place.
    using Op = test::FaultyFileIo::Op;
    for (const Op op : { Op::Write, Op::Sync, Op::Close, Op::Rename }) {
        SCOPED_TRACE(int(op));
        test::writeBytes(path, "old list");
        test::FaultyFileIo io(systemFileIo());
        io.failFrom(op, 1, EIO);
        auto failing = b.open(io);
        EXPECT_FALSE(FileList(*failing).writeFile(path, { .areas = { 2 } }).ok);
        EXPECT_EQ(test::readBytes(path), "old list");
        EXPECT_FALSE(QFile::exists(path + ".q$$"));
    }

    // A list that cannot take the place of what is there leaves nothing of its own behind.
    const QString taken = QString::fromStdString(b.tmp.path()) + "/taken";
    ASSERT_TRUE(QDir().mkpath(taken + "/inside"));
    EXPECT_FALSE(FileList(*board).writeFile(taken, { .areas = { 2 } }).ok);
    EXPECT_FALSE(QFile::exists(taken + ".q$$"));
    EXPECT_TRUE(QFileInfo(taken + "/inside").isDir());
}

} // namespace
} // namespace qv
