#pragma once

// Boards for the editing tests, built byte by byte with BoardBuilder.
//
// FilesTestBoard: area 1 holds the entries given, its files in tmp/files (stored as C:\FILES,
// C: mapped to tmp); area 2 is empty and shares the directory. ZIP is extracted with the
// system's unzip; ARJ's program does not exist.
// EditingTestBoard: area 1 holds four entries (two sharing a name, one comment line, one without
// a description) and no files; it is opened.

#include "board/Board.h"
#include "settings/Settings.h"
#include "storage/Encoding.h"
#include "tests/editing/RemoveSortTestBoard.h"
#include "tests/support/ArchiveBuilder.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace qv::test {

// Rows as a command shows them: their records as stored now.
inline RowIdentity shownAt(const Board& board, int area, uint64_t position)
{
    auto h = board.store().readHeader(area, position);
    return { position, h ? h->encode() : HeaderRecord::Bytes {} };
}
inline std::vector<RowIdentity> shownAt(const Board& board, int area, std::initializer_list<uint64_t> positions)
{
    std::vector<RowIdentity> out;
    for (uint64_t p : positions)
        out.push_back(shownAt(board, area, p));
    return out;
}

inline int32_t packedDate(int year, int month, int day)
{
    return enc::encodeDate({ year, month, day });
}

// Record i of an area file's bytes.
template <class Record> Record recordAt(const std::vector<uint8_t>& file, size_t i)
{
    return Record::decode(std::span<const uint8_t, Record::kSize>(file.data() + i * Record::kSize, Record::kSize));
}

// Area 1's files and what its directory holds, to compare before and after a change.
struct AreaState {
    AreaBytes bytes;
    std::vector<std::string> files;
    bool operator==(const AreaState&) const = default;
};

class FilesTestBoard : public RemoveSortTestBoard {
public:
    explicit FilesTestBoard(const std::vector<Entry>& entries = {})
    {
        QDir().mkpath(temp);
        builder.writeAreas({ { "Files", "C:\\FILES", 1 }, { "Copy", "C:\\FILES", 1 } });
        original = builder.writeEntries(1, entries);
        builder.writeEntries(2, {});
        settings.archivers[0] = { "ZIP", QStandardPaths::findExecutable("unzip").toStdString(), "-o -C -j" };
        settings.archivers[1] = { "ARJ", "/nonexistent/arj", "e -y" };
    }
    virtual ~FilesTestBoard() = default;

    // A file of the area directory, dated 03-02-2001 unless told otherwise.
    void put(const QString& name, const QByteArray& bytes = "data",
        const QDateTime& modified = QDateTime(QDate(2001, 2, 3), QTime(12, 0))) const
    {
        writeBytes(files + "/" + name, bytes);
        QFile f(files + "/" + name);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    // A ZIP in the area directory holding FILE_ID.DIZ with the given text; false without zip.
    bool zip(const QString& name, const QByteArray& diz) const
    {
        if (QStandardPaths::findExecutable("zip").isEmpty() || QStandardPaths::findExecutable("unzip").isEmpty())
            return false;
        const QString work = temp + "/zipsrc";
        QDir(work).removeRecursively();
        QDir().mkpath(work);
        writeBytes(work + "/FILE_ID.DIZ", diz);
        QProcess p;
        p.setWorkingDirectory(work);
        p.start("zip", { "-q", files + "/" + name, "FILE_ID.DIZ" });
        const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
        QDir(work).removeRecursively();
        return ok;
    }

    AreaState state() const { return { bytes(), namesIn(filesDir()) }; }

    QString files = QString::fromStdString(filesDir());
    QString temp = QString::fromStdString(tmp.path()) + "/tmp";
    Settings settings;
    AreaFiles original;
};

class EditingTestBoard : public FilesTestBoard {
public:
    explicit EditingTestBoard(FileIo& io = systemFileIo())
        : FilesTestBoard({
            Entry { .name = "FOOARC~1.ZIP",
                .size = 1234,
                .uploader = "Ann",
                .uploadDate = packedDate(1998, 11, 5),
                .fileDate = packedDate(1996, 3, 14),
                .lastDownloadDate = 0,
                .downloads = 5,
                .attributes = 0x85,
                .password = "pw",
                .keywords = { "one", "", "three" },
                .cost = 3,
                .description = std::string("First line\r\nsecond\rthird\nend"),
                .longName = "Foo archive.zip" },
            Entry { .name = "", .uploader = "Sysop", .description = std::string("-- tools --") },
            Entry { .name = "FOOARC~1.ZIP", .size = 9, .description = std::nullopt },
            Entry { .name = "BAR.ARJ", .size = 77, .description = std::string("bar text") },
        })
    {
        reopen(io);
    }

    void reopen(FileIo& io = systemFileIo()) { board = open(io); }

    // The header file as it was written, with record `position` replaced.
    std::vector<uint8_t> headersWith(size_t position, const HeaderRecord& record) const
    {
        return with(original.headers, position, record);
    }
    std::vector<uint8_t> indexesWith(size_t position, const IndexRecord& record) const
    {
        return with(original.indexes, position, record);
    }
    std::vector<uint8_t> descriptionsPlus(std::string_view appended) const
    {
        std::vector<uint8_t> out = original.descriptions;
        out.insert(out.end(), appended.begin(), appended.end());
        out.push_back(0);
        return out;
    }

    std::unique_ptr<Board> board;

private:
    template <class Record>
    static std::vector<uint8_t> with(const std::vector<Record>& records, size_t position, const Record& record)
    {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < records.size(); ++i) {
            const auto& r = i == position ? record.encode() : records[i].encode();
            out.insert(out.end(), r.begin(), r.end());
        }
        return out;
    }
};

} // namespace qv::test
