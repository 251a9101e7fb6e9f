#pragma once

#include <QString>

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

// A FILES.BBS that could not be written: "Could not open: C:\FILES\Files.bbs!" with the area's
// path as stored.
Message filesBbsNotWritten(const QString& listPath);

// Status bar panel texts: "N Object(s)" and "X MB".
QString objectCount(uint64_t rows);
QString megabytes(uint64_t totalBytes);
// The uploader column: the stored name, or "(Unknown)" when it is blank.
QString uploaderText(const std::string& stored, const CodePage& codePage);

} // namespace messages
} // namespace qv
