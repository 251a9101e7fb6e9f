#include "editing/DescriptionExtraction.h"

#include "tests/editing/EditingTestBoard.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using Outcome = DescriptionExtractor::Outcome;

// The rows as the list shows them, with their records as stored.
std::vector<DescriptionExtraction::Row> allRows(Board& board, size_t n, const std::vector<QString>& texts)
{
    std::vector<DescriptionExtraction::Row> rows;
    for (size_t i = 0; i < n; ++i)
        rows.push_back({ i, texts[i], texts[i] == " (Comment)", board.store().readHeader(1, i).valueOr({}).encode() });
    return rows;
}

TEST(DescriptionExtraction, EachRowIsExtractedInPlaceOrAppendedAndSkippedRowsKeepTheirText)
{
    test::FilesTestBoard b(
        { { .name = "SHORT.ZIP", .description = "0123456789" }, { .name = "", .description = "comment" },
            { .name = "LONG.ZIP", .description = "ab" }, { .name = "GONE.ZIP", .description = "gone" },
            { .name = "PLAIN.TXT", .description = "plain" }, { .name = "NODIZ.ZIP", .description = "nodiz" },
            { .name = "A.ARJ", .description = "arj" }, { .name = "V1.2.ZIP", .description = std::nullopt } });
    if (!b.zip("SHORT.ZIP", "012345678") || !b.zip("LONG.ZIP", "much longer text") || !b.zip("V1.2.ZIP", "dots"))
        GTEST_SKIP() << "no zip and unzip";
    b.put("PLAIN.TXT", "x");
    b.put("A.ARJ", "not run: its archiver does not exist");
    {
        QProcess p;
        p.setWorkingDirectory(b.files);
        p.start("zip", { "-q", b.files + "/NODIZ.ZIP", "PLAIN.TXT" });
        ASSERT_TRUE(p.waitForFinished(60000));
    }
    auto board = b.open();
    const auto before = test::readFile(b.builder.descriptionPath(1));
    DescriptionExtractor extractor(b.settings, b.temp);
    QStringList status;
    extractor.setStatus([&](const QString& s) { status << s; });
    std::vector<uint64_t> shown;
    const auto r = DescriptionExtraction::run(*board, 1,
        allRows(*board, 8,
            { "Short.zip", " (Comment)", "Long.zip", "Gone.zip", "Plain.txt", "Nodiz.zip", "A.arj", "V1.2.zip" }),
        extractor, [&](uint64_t p, const std::string&) { shown.push_back(p); });
    ASSERT_FALSE(r.error);
    ASSERT_EQ(r.rows.size(), 7u) << "the comment row is skipped";
    const std::vector<Outcome> outcomes { Outcome::Extracted, Outcome::Extracted, Outcome::MissingFile,
        Outcome::NoArchiver, Outcome::NoDescription, Outcome::NoDescription, Outcome::Extracted };
    for (size_t i = 0; i < outcomes.size(); ++i)
        EXPECT_EQ(r.rows[i].outcome, outcomes[i]) << r.rows[i].rowText.toStdString();
    EXPECT_EQ(shown, std::vector<uint64_t>({ 0, 2, 7 }));
    EXPECT_TRUE(r.rows[0].inPlace);
    EXPECT_FALSE(r.rows[1].inPlace);
    EXPECT_EQ(status.first(),
        "Extracting Description from Short.zip, running " + QString::fromStdString(b.settings.archivers[0].path)
            + "...");
    EXPECT_EQ(status[1], "");

    // One byte shorter in place: the old last byte stays behind the new zero byte.
    const auto txt = test::readFile(b.builder.descriptionPath(1));
    std::vector<uint8_t> expected = before;
    const std::string shorter = "012345678";
    std::copy(shorter.begin(), shorter.end(), expected.begin());
    expected[9] = 0;
    EXPECT_EQ(expected[10], 0);
    for (const std::string t : { "much longer text", "dots" }) {
        expected.insert(expected.end(), t.begin(), t.end());
        expected.push_back(0);
    }
    EXPECT_EQ(txt, expected);
    EXPECT_EQ(board->store().readDescription(1, 2), "much longer text");
    EXPECT_EQ(board->store().readDescription(1, 3), "gone");
    EXPECT_EQ(board->store().readDescription(1, 7), "dots");
    EXPECT_EQ(
        board->store().readIndex(1, 2)->descriptionPointer(), board->store().readHeader(1, 2)->descriptionPointer());
    EXPECT_TRUE(b.check().empty());
}

} // namespace
} // namespace qv
