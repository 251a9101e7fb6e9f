#include "editing/DescriptionExtractor.h"
#include "editing/FileAdder.h"
#include "editing/PendingFiles.h"

#include "tests/editing/EditingTestBoard.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Entry;

using test::recordAt;

const std::vector<Entry> kThree { { .name = "ONE.ZIP", .description = "one" },
    { .name = "TWO.ZIP", .description = "two" }, { .name = "THREE.ZIP", .description = "three" } };

TEST(FileAdder, NewEntriesLandTogetherAfterTheGivenRowWithEveryField)
{
    test::FilesTestBoard b(kThree);
    b.put("Read me first.txt", "hello");
    b.put("README.TXT", "123456", QDateTime(QDate(2001, 2, 3), QTime(23, 59)));
    const bool zipped = b.zip("DESC.ZIP", "From the archive\r\n");
    auto board = b.open();
    const auto before = test::readFile(b.builder.descriptionPath(1));
    DescriptionExtractor extractor(b.settings, b.temp);
    extractor.setBlocking(true);
    QStringList progress;
    FileAdder::Request request;
    request.names = { "read me first.txt", "readme.txt", zipped ? "desc.zip" : "readme.txt", "gone.zip" };
    request.uploader = "Sysop Name";
    request.after = 1;
    const QDate today(2024, 6, 30);
    const auto r = FileAdder::add(
        *board, 1, request, &extractor, [&](const QString& n) { progress << n; }, today);
    ASSERT_FALSE(r.error) << r.error->message;
    EXPECT_EQ(r.vanished, QStringList({ "gone.zip" }));
    EXPECT_EQ(r.at, 1u);
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0].name, "Read me first.txt");
    EXPECT_EQ(r.rows[1].name, "Readme.txt");
    EXPECT_EQ(progress.first(), "Read me first.txt");

    const auto [hdr, idx, lfn, txt] = b.bytes();
    ASSERT_EQ(hdr.size(), 6 * 194u);
    // The rows shown hold the records as stored, so a change resting on them is not refused.
    for (size_t k = 0; k < r.rows.size(); ++k)
        EXPECT_TRUE(std::equal(r.rows[k].record.begin(), r.rows[k].record.end(), hdr.begin() + (1 + k) * 194)) << k;
    ASSERT_EQ(idx.size(), 6 * 41u);
    ASSERT_EQ(lfn.size(), 6 * 256u);
    EXPECT_EQ(recordAt<HeaderRecord>(hdr, 0).name(), "ONE.ZIP");
    EXPECT_EQ(recordAt<HeaderRecord>(hdr, 4).name(), "TWO.ZIP");
    EXPECT_EQ(recordAt<HeaderRecord>(hdr, 5).name(), "THREE.ZIP");
    const int32_t todayPacked = enc::encodeDate({ 2024, 6, 30 });
    const HeaderRecord first = recordAt<HeaderRecord>(hdr, 1);
    EXPECT_EQ(first.name(), "README~1.TXT");
    EXPECT_EQ(recordAt<LongNameRecord>(lfn, 1).name(), "Read me first.txt");
    EXPECT_EQ(first.size(), 5);
    EXPECT_EQ(first.uploader(), "Sysop Name");
    EXPECT_EQ(first.uploadDate(), todayPacked);
    EXPECT_EQ(first.lastDownloadDate(), todayPacked);
    EXPECT_EQ(first.downloads(), 0);
    EXPECT_EQ(first.attributes(), 0);
    EXPECT_EQ(first.checksum(), 0);
    for (uint8_t byte : first.freeBytes())
        EXPECT_EQ(byte, 0);
    const HeaderRecord second = recordAt<HeaderRecord>(hdr, 2);
    EXPECT_EQ(second.name(), "README.TXT");
    EXPECT_EQ(recordAt<LongNameRecord>(lfn, 2).name(), "") << "chosen under its 8.3 name: no long name";
    EXPECT_EQ(second.fileDate(), enc::encodeDate({ 2001, 2, 3 }));
    EXPECT_EQ(second.size(), 6);
    // Texts appended in order: the extracted one as stored, the others one zero byte.
    std::vector<uint8_t> expected = before;
    expected.push_back(0);
    expected.push_back(0);
    const std::string diz = zipped ? "From the archive\r\n" : "";
    expected.insert(expected.end(), diz.begin(), diz.end());
    expected.push_back(0);
    // The long name follows the descriptions, for the board's pointer at 174; an entry without one
    // keeps 0 there.
    EXPECT_EQ(first.longNamePointer(), int32_t(expected.size()));
    EXPECT_EQ(second.longNamePointer(), 0);
    const std::string shown = "Read me first.txt";
    expected.insert(expected.end(), shown.begin(), shown.end());
    expected.push_back(0);
    EXPECT_EQ(txt, expected);
    for (size_t i = 1; i <= 3; ++i) {
        const auto h = recordAt<HeaderRecord>(hdr, i);
        const auto x = recordAt<IndexRecord>(idx, i);
        EXPECT_EQ(h.descriptionPointer(), x.descriptionPointer());
        EXPECT_EQ(x.name(), h.name());
        EXPECT_EQ(x.uploadDate(), todayPacked);
    }
    EXPECT_EQ(recordAt<HeaderRecord>(hdr, 1).descriptionPointer(), int32_t(before.size()));
    EXPECT_EQ(recordAt<HeaderRecord>(hdr, 3).descriptionPointer(), int32_t(before.size() + 2));
    EXPECT_TRUE(b.check().empty());
}

TEST(FileAdder, WithoutExtractionOrPositionEntriesAreAppendedWithEmptyTexts)
{
    test::FilesTestBoard b(kThree);
    if (!b.zip("DESC.ZIP", "text"))
        GTEST_SKIP() << "no zip";
    auto board = b.open();
    DescriptionExtractor extractor(b.settings, b.temp);
    FileAdder::Request request;
    request.names = { "DESC.ZIP" };
    request.extract = false;
    const auto r = FileAdder::add(*board, 1, request, &extractor);
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.at, 3u);
    const auto txt = test::readFile(b.builder.descriptionPath(1));
    EXPECT_EQ(txt.back(), 0);
    EXPECT_EQ(board->store().readDescription(1, 3), "");
    EXPECT_EQ(recordAt<HeaderRecord>(b.bytes().hdr, 3).descriptionPointer(), int32_t(txt.size() - 1));
}

// A name or uploader the code page cannot hold would be stored with a substitute and then name no
// file: the whole addition is refused, naming the character, and pending says so beforehand.
TEST(FileAdder, ANameOrUploaderOutsideTheCodePageIsRefusedNotSubstituted)
{
    const QString euro = QString::fromUtf8("na\xC3\xAFve\xE2\x82\xAC.txt");
    const QString accented = QString::fromUtf8("na\xC3\xAFve.txt"); // i-diaeresis is in CP437
    struct Case {
        QStringList names;
        QString uploader;
        QString refusal; // empty: added
    };
    const Case cases[] = {
        { { "plain.txt", euro }, "Sysop",
            QString::fromUtf8("The character \"\xE2\x82\xAC\" (U+20AC) of the file name ") + euro
                + " cannot be stored in the board's code page IBM437." },
        { { "plain.txt" }, QString::fromUtf8("Jos\xC3\xA9 \xE2\x82\xAC"),
            QString::fromUtf8("The character \"\xE2\x82\xAC\" (U+20AC) cannot be stored in the board's code page "
                              "IBM437. Nothing was written.") },
        { { accented }, QString::fromUtf8("Jos\xC3\xA9"), {} },
    };
    for (const Case& c : cases) {
        test::FilesTestBoard b(kThree);
        b.put("plain.txt", "p");
        b.put(euro, "e");
        b.put(accented, "a");
        auto board = b.open();
        const auto before = b.bytes();
        FileAdder::Request request;
        request.names = c.names;
        request.uploader = c.uploader;
        request.extract = false;
        const auto r = FileAdder::add(*board, 1, request, nullptr);
        if (c.refusal.isEmpty()) {
            ASSERT_FALSE(r.error) << r.error->message;
            const HeaderRecord added = recordAt<HeaderRecord>(b.bytes().hdr, 3);
            EXPECT_EQ(added.uploader(), "Jos\x82");
            EXPECT_EQ(recordAt<LongNameRecord>(b.bytes().lfn, 3).name(), "na\x8Bve.txt");
            continue;
        }
        ASSERT_TRUE(r.error) << c.names.join(',').toStdString();
        EXPECT_EQ(QString::fromStdString(r.error->message), c.refusal);
        EXPECT_TRUE(r.rows.empty() && r.added.isEmpty());
        EXPECT_EQ(b.bytes(), before);
    }

    test::FilesTestBoard b(kThree);
    b.put(euro, "e");
    b.put(accented, "a");
    auto board = b.open();
    const auto listing = PendingFiles::list(b.files, "*.*", {}, &board->codePage());
    EXPECT_EQ(listing.notInBase.size(), 2);
    EXPECT_EQ(listing.refused,
        QStringList({ QString::fromUtf8("The character \"\xE2\x82\xAC\" (U+20AC) of the file name ") + euro
            + " cannot be stored in the board's code page IBM437." }));
}

} // namespace
} // namespace qv
