#include "board/Messages.h"
#include "browser/FileIcons.h"
#include "browser/FileListModel.h"

#include <QAbstractItemModelTester>
#include <QDate>
#include <QFont>
#include <QItemSelectionModel>
#include <QLocale>
#include <gtest/gtest.h>

using namespace qv;

namespace {

int32_t packed(int year, int month, int day)
{
    return int32_t(uint32_t(year - 1980) << 25 | uint32_t(month) << 21 | uint32_t(day) << 16);
}

LoadedRow entry(const std::string& name, int32_t size, const std::string& uploader = "Ann")
{
    LoadedRow r;
    r.name = name;
    HeaderRecord h;
    h.setSize(size);
    h.setUploader(uploader);
    h.setFileDate(packed(1998, 11, 5));
    h.setUploadDate(packed(2001, 2, 28));
    h.setLastDownloadDate(packed(2001, 2, 30)); // not a day of the calendar
    h.setDownloads(17);
    r.record = h.encode();
    return r;
}

LoadedRow comment()
{
    LoadedRow r;
    r.name = " (Comment)";
    r.comment = true;
    return r;
}

QString cell(const FileListModel& m, int row, int column, int role = Qt::DisplayRole)
{
    return m.index(row, column).data(role).toString();
}

TEST(FileListModel, ColumnsHaveTheirCaptionsAlignmentsAndWidths)
{
    struct Column {
        const char* caption;
        Qt::Alignment horizontal;
        int twips; // 0: the date rule
    };
    const Column columns[] = {
        { "Name", Qt::AlignLeft, 2649 },
        { "Size", Qt::AlignRight, 1061 },
        { "FLDate", Qt::AlignLeft, 0 },
        { "ULDate", Qt::AlignLeft, 0 },
        { "DLDate", Qt::AlignLeft, 0 },
        { "TD", Qt::AlignRight, 294 },
        { "Uploader", Qt::AlignLeft, 3522 },
    };
    FileListModel model;
    model.setRows({ entry("Foo.zip", 1) });
    QFont font;
    font.setPointSize(8);
    const int dateTwips = 10 * 8 * int(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).size());
    for (int c = 0; c < 7; ++c) {
        SCOPED_TRACE(columns[c].caption);
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), columns[c].caption);
        const auto header = model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        const auto body = model.index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(header & Qt::AlignHorizontal_Mask, columns[c].horizontal);
        EXPECT_EQ(body & Qt::AlignHorizontal_Mask, columns[c].horizontal);
        EXPECT_EQ(FileListModel::columnWidthTwips(c, font), columns[c].twips ? columns[c].twips : dateTwips);
    }
    EXPECT_FALSE(model.headerData(7, Qt::Horizontal, Qt::DisplayRole).isValid());
}

TEST(FileListModel, CellsOfEntriesAndCommentLines)
{
    FileListModel model;
    model.setArchiverExtensions({ "ZIP" });
    model.setRows({ entry("Foo.zip", 500000, "   "), comment(), entry("Readme.txt", 0, "Bo Smith") });
    const QLocale locale = QLocale::system();
    EXPECT_EQ(cell(model, 0, FileListModel::Size), "500000");
    EXPECT_EQ(cell(model, 0, FileListModel::FileDate), locale.toString(QDate(1998, 11, 5), QLocale::ShortFormat));
    EXPECT_EQ(cell(model, 0, FileListModel::UploadDate), locale.toString(QDate(2001, 2, 28), QLocale::ShortFormat));
    EXPECT_EQ(cell(model, 0, FileListModel::DownloadDate), "Invalid");
    EXPECT_EQ(cell(model, 0, FileListModel::Downloads), "17");
    EXPECT_EQ(cell(model, 0, FileListModel::Uploader), "(Unknown)");
    EXPECT_EQ(cell(model, 2, FileListModel::Uploader), "Bo Smith");
    EXPECT_EQ(cell(model, 2, FileListModel::Size), "0");

    EXPECT_EQ(cell(model, 1, FileListModel::Name), " (Comment)");
    for (int c = 1; c < FileListModel::ColumnCount; ++c)
        EXPECT_TRUE(cell(model, 1, c).isEmpty()) << c;
    EXPECT_EQ(model.smallIconIndexOf(0), 3);
    EXPECT_EQ(model.smallIconIndexOf(1), 2);
    // Icons only beside the name, and nothing is edited in place.
    EXPECT_FALSE(model.index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(model.index(0, 1).data(Qt::DecorationRole).isNull());
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        EXPECT_FALSE(model.flags(model.index(0, c)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
    EXPECT_EQ(model.totalSize(), 500000u);
}

TEST(FileListModel, DatesThatAreNoDayReadInvalid)
{
    const QLocale locale = QLocale::system();
    struct Case {
        uint32_t value;
        QString expected;
    };
    const Case cases[] = {
        { uint32_t(packed(1998, 11, 5)) | 0xBEEF, locale.toString(QDate(1998, 11, 5), QLocale::ShortFormat) },
        { uint32_t(packed(2107, 12, 31)), locale.toString(QDate(2107, 12, 31), QLocale::ShortFormat) },
        { uint32_t(packed(2000, 2, 29)), locale.toString(QDate(2000, 2, 29), QLocale::ShortFormat) },
        { 0, "Invalid" },
        { uint32_t(packed(1998, 11, 0)), "Invalid" },
        { uint32_t(packed(1998, 0, 5)), "Invalid" },
        { uint32_t(packed(1998, 13, 5)), "Invalid" },
        { uint32_t(packed(1999, 2, 29)), "Invalid" },
        { uint32_t(packed(1998, 4, 31)), "Invalid" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileListModel::dateText(int32_t(c.value)), c.expected) << std::hex << c.value;
}

TEST(FileIcons, SmallIconFollowsTheExtensionAfterTheLastPeriodAndEachHasAPicture)
{
    struct Case {
        const char* name;
        bool comment;
        QStringList archivers;
        int icon;
    };
    const QStringList usual = { "ZIP", "ARJ", "LZH", "" };
    const Case cases[] = {
        { " (Comment)", true, usual, 2 },
        { "Foo.zip", false, usual, 3 },
        { "Foo.ZIP", false, { "zip" }, 3 }, // slots compare in upper case
        { "Picture.jpg.zip", false, usual, 3 }, // as the archiver choice sees it
        { "Backup.tar.gz", false, { "TAR.GZ" }, 1 },
        { "Song.v2.mp3", false, usual, 7 },
        { "Readme.txt", false, usual, 5 },
        { "Run.bat", false, usual, 4 },
        { "Image.jpeg", false, usual, 6 },
        { "Tune.xm", false, usual, 8 },
        { "Noextension", false, usual, 1 },
        { "Trailing.", false, usual, 1 },
        // The archiver test comes first, even for an extension of the fixed table.
        { "Notes.txt", false, { "TXT" }, 3 },
        // The scan stops at the first blank slot: RAR after it is not an archiver.
        { "Foo.rar", false, { "ZIP", "  ", "RAR" }, 1 },
        { "Foo.exe", false, { "ZIP", "", "EXE" }, 4 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileIcons::smallIconIndex(QString::fromLatin1(c.name), c.comment, c.archivers), c.icon) << c.name;
    // Every index has a picture.
    for (int i = 1; i <= 8; ++i)
        EXPECT_FALSE(FileIcons::smallIcon(i).isNull()) << i;
    EXPECT_FALSE(FileIcons::folderIcon(true).isNull());
    EXPECT_FALSE(FileIcons::folderIcon(false).isNull());
}

// The size panel under the list: megabytes cut, not rounded, to one decimal.
TEST(FileListModel, TotalSizeShowsInMegabytesTruncated)
{
    const std::pair<uint64_t, const char*> cases[]
        = { { 0, "0 MB" }, { 500000, "0.4 MB" }, { 1000000, "0.9 MB" }, { 1048576, "1 MB" }, { 1572864, "1.5 MB" } };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(messages::megabytes(bytes), text) << bytes;
}

QStringList names(const FileListModel& m)
{
    QStringList out;
    for (int row = 0; row < m.rowCount(); ++row)
        out << cell(m, row, FileListModel::Name);
    return out;
}

TEST(FileListModel, StaysConsistentThroughEveryChangeAndInPlaceChangesKeepTheSelectionOnItsEntries)
{
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows({ entry("Foo.zip", 1), comment(), entry("Bar.txt", 2) });
    EXPECT_EQ(model.columnCount(), 7);
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    model.setRows({ entry("Again.zip", 3) });
    // Rows have no children: the List view must not see a tree.
    EXPECT_EQ(model.rowCount(model.index(0, 0)), 0);
    EXPECT_FALSE(model.index(0, 0, model.index(0, 0)).isValid());

    model.setRows({ entry("A", 1), entry("B", 2), entry("C", 3), entry("D", 4), entry("E", 5) });
    QItemSelectionModel selection(&model);
    selection.select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection.setCurrentIndex(model.index(3, 0), QItemSelectionModel::NoUpdate);

    model.insertEntries(1, { entry("X", 9), entry("Y", 9) });
    EXPECT_EQ(names(model), QStringList({ "A", "X", "Y", "B", "C", "D", "E" }));
    EXPECT_EQ(selection.currentIndex().row(), 5);

    // Runs that are not next to each other, in any order, with a duplicate.
    model.removeEntries({ 6, 1, 3, 2, 1 });
    EXPECT_EQ(names(model), QStringList({ "A", "C", "D" }));
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(selection.selectedRows()[0].row(), 2);

    model.updateEntry(0, entry("A2", 7));
    EXPECT_EQ(names(model)[0], "A2");
    EXPECT_EQ(model.totalSize(), 7u + 3u + 4u);

    model.moveEntries({ 2, 0 }, 1); // D then A2, after C
    EXPECT_EQ(names(model), QStringList({ "C", "D", "A2" }));
    model.insertEntries(99, { entry("Z", 1) }); // past the end: appended
    EXPECT_EQ(names(model).back(), "Z");
}

} // namespace
