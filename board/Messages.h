#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

namespace qv {

class CodePage;
struct LoadError;

// The system's own texts for what the window and qvtool both report, written once.
namespace messages {

struct Message {
    QString title;
    QString text;
};

// "File database path PATH not found!" with the path as stored.
Message fileBaseNotFound(const QString& storedPath);
// The loader's two failures: the path above, or an unexpected error code.
Message loadFailed(const LoadError& error, const QString& storedFileBasePath);
QString areaDoesNotExist(int area);
// "Unable to read RA configuration files (FILES.RA)", the fatal start-up message.
Message noConfiguration();
// An area whose interrupted change could not be finished: it needs the sysop's attention.
QString areaNeedsAttention(int area);
// A rewrite abandoned because the board software changed the area meanwhile.
QString areaChangedMeanwhile(int area);

// Status bar panel texts: "N Object(s)" and "X MB".
QString objectCount(uint64_t rows);
QString megabytes(uint64_t totalBytes);
// The uploader column: the stored name, or "(Unknown)" when it is blank.
QString uploaderText(const std::string& stored, const CodePage& codePage);

// Extraction and adding files.
// "Extracting Description from NAME, running PROGRAM..." while an archiver runs.
QString extractingDescription(const QString& entryName, const QString& program);
// An archiver killed at the time limit; the entry keeps its description.
QString archiverTimedOut(const QString& entryName, int seconds);
QString searchingNotInBase(); // "Searching files which are not in base..."
QString addingFile(const QString& name); // "Adding NAME..."
// Files that were listed but had gone when they were to be added.
QString filesVanished(const QStringList& names);
// The Preferences dialog's archiver questions and the full table, title "Archivers".
Message replaceArchiver(const QString& extension);
Message deleteArchiver(const QString& extension);
Message archiverTableFull();

} // namespace messages
} // namespace qv
