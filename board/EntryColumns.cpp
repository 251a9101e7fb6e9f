#include "board/EntryColumns.h"

#include "board/Messages.h"
#include "platform/CodePage.h"
#include "storage/AreaStore.h"

#include <QDate>
#include <QLocale>

namespace qv::entrycolumns {

QString caption(int column)
{
    static const char* const kCaptions[] = { "Name", "Size", "FLDate", "ULDate", "DLDate", "TD", "Uploader" };
    return column >= 0 && column < Count ? QString::fromLatin1(kCaptions[column]) : QString();
}

QString dateText(int32_t packed)
{
    const auto v = uint32_t(packed);
    const int day = int((v >> 16) & 31);
    const int month = int((v >> 21) & 15);
    const int year = 1980 + int(v >> 25);
    // Day and month are not range-checked on disk: a 31 February has no short-format text either.
    const QDate date(year, month, day);
    if (day == 0 || !date.isValid())
        return QStringLiteral("Invalid");
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString cellText(const LoadedRow& r, int column, const CodePage& codePage)
{
    if (r.comment)
        return QString();
    switch (column) {
    case Size:
        return QString::number(r.size());
    case FileDate:
        return dateText(r.fileDate());
    case UploadDate:
        return dateText(r.uploadDate());
    case DownloadDate:
        return dateText(r.lastDownloadDate());
    case Downloads:
        return QString::number(r.downloads());
    case Uploader:
        return messages::uploaderText(r.uploader(), codePage);
    }
    return QString();
}

} // namespace qv::entrycolumns
