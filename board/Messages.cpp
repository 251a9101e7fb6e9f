#include "board/Messages.h"

#include "platform/CodePage.h"
#include "storage/AreaStore.h"
#include "storage/StatusTexts.h"
#include "storage/Text.h"

namespace qv::messages {

Message fileBaseNotFound(const QString& storedPath)
{
    return { QStringLiteral("Fatal Error"), QStringLiteral("File database path ") + storedPath + QStringLiteral(" not found!") };
}

Message loadFailed(const LoadError& error, const QString& storedFileBasePath)
{
    if (error.kind == LoadError::Kind::FileBasePathNotFound)
        return fileBaseNotFound(storedFileBasePath);
    return { QStringLiteral("Quorvex"),
        QStringLiteral("Unexpected error (") + QString::number(error.code)
            + QStringLiteral(") in ReadArea, please contact Kestrelwick!") };
}

QString areaDoesNotExist(int area)
{
    return QStringLiteral("Area %1 does not exist").arg(area);
}

Message noConfiguration()
{
    return { QStringLiteral("Fatal Error!"), QStringLiteral("Unable to read RA configuration files (FILES.RA)") };
}

QString areaNeedsAttention(int area)
{
    return QStringLiteral("An interrupted change of area %1 could not be finished; its files were left as they are. "
                          "Run \"qvtool check %1\" for details.")
        .arg(area);
}

QString areaChangedMeanwhile(int area)
{
    return QStringLiteral("Area %1 was changed by another program while it was being rewritten; nothing was changed. "
                          "Try again.")
        .arg(area);
}

QString objectCount(uint64_t rows)
{
    return QString::fromStdString(objectCountText(rows));
}

QString megabytes(uint64_t totalBytes)
{
    return QString::fromStdString(megabyteText(totalBytes)) + QStringLiteral(" MB");
}

QString uploaderText(const std::string& stored, const CodePage& codePage)
{
    return text::trim(stored).empty() ? QStringLiteral("(Unknown)") : codePage.decode(stored);
}

QString rangeErrorTitle()
{
    return QStringLiteral("Error!");
}

QString monthOutOfRange()
{
    return QStringLiteral("Value out of range (1-12)");
}

QString dayOutOfRange()
{
    return QStringLiteral("Value out of range (1-31)");
}

QString yearOutOfRange()
{
    return QStringLiteral("Value out of range (1980-2107)");
}

QString countOutOfRange()
{
    return QStringLiteral("Value out of range (0 - 64000)");
}

QString characterNotInCodePage(QChar c, const QString& codePageName)
{
    const QString code = QStringLiteral("U+%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0')).toUpper();
    const QString shown
        = c.isPrint() ? QStringLiteral("\"") + c + QStringLiteral("\" (") + code + QStringLiteral(")") : code;
    return QStringLiteral("The character %1 cannot be stored in the board's code page %2. Nothing was written.")
        .arg(shown, codePageName);
}

QString commentHasOnlyDescription(uint64_t position)
{
    return QStringLiteral("Entry %1 is a comment line: only its description can be changed.").arg(position);
}

QString noSuchEntry(int area, uint64_t position)
{
    return QStringLiteral("Area %1 has no entry %2").arg(area).arg(position);
}

QString textTooLong(const QString& field, int maximum)
{
    return QStringLiteral("%1 can hold at most %2 characters.").arg(field).arg(maximum);
}

Message globalDescriptionQuestion()
{
    return { QStringLiteral("Quorvex"),
        QStringLiteral("This action will permanently change the descriptions of all selected files!\n"
                       "Apply description to selected files?") };
}

QString changeNotWritten(int area, const QString& detail)
{
    return QStringLiteral("The change to area %1 could not be written: %2").arg(QString::number(area), detail);
}

} // namespace qv::messages
