#pragma once

#include <QString>

#include <cstdint>

namespace qv {

class CodePage;
struct LoadedRow;

// The texts of an entry's columns as every list of entries shows them (the file list, the find
// window's hits): the columns Name, Size, FLDate, ULDate, DLDate, TD and Uploader, in that order.
namespace entrycolumns {

enum Column { Name, Size, FileDate, UploadDate, DownloadDate, Downloads, Uploader, Count };

QString caption(int column);
// A stored date in the system's short date format; a day that is not on the calendar reads
// "Invalid".
QString dateText(int32_t packed);
// The cell of a column other than Name: empty on a comment line.
QString cellText(const LoadedRow& row, int column, const CodePage& codePage);

} // namespace entrycolumns
} // namespace qv
