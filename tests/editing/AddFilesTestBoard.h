#pragma once

// A board with one area whose directory holds real files, for the extraction and add tests.
#include "board/Board.h"
#include "settings/Settings.h"

#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

namespace qv::test {

struct AddFilesTestBoard {
    TempDir tmp;
    BoardBuilder builder { tmp.path() };
    QString files = QString::fromStdString(tmp.path()) + "/files";
    QString temp = QString::fromStdString(tmp.path()) + "/tmp";
    Settings settings;

    explicit AddFilesTestBoard(const std::vector<Entry>& entries = {})
    {
        QDir().mkpath(files);
        QDir().mkpath(temp);
        builder.writeConfig("Board");
        builder.writeAreas({ { "Uploads", files.toStdString(), 1 } });
        builder.writeEntries(1, entries);
        const QString unzip = QStandardPaths::findExecutable("unzip");
        settings.archivers[0] = { "ZIP", unzip.toStdString(), "-o -C -j" };
        settings.archivers[1] = { "ARJ", "/nonexistent/arj", "e -y" };
    }
    Board::Options options() const
    {
        Board::Options o;
        o.boardDirectory = QString::fromStdString(builder.boardDir());
        return o;
    }
    std::unique_ptr<Board> open(FileIo& io = systemFileIo()) const { return std::make_unique<Board>(options(), io); }
    QString file(const QString& name) const { return files + "/" + name; }
    void put(const QString& name, const QByteArray& bytes) const { writeBytes(file(name), bytes); }
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
        p.start("zip", { "-q", file(name), "FILE_ID.DIZ" });
        const bool ok = p.waitForFinished(60000) && p.exitCode() == 0;
        QDir(work).removeRecursively();
        return ok;
    }
    std::vector<uint8_t> bytes(const std::string& path) const { return readFile(path); }
};

} // namespace qv::test
