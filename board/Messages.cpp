#include "board/Messages.h"

#include "platform/CodePage.h"
#include "storage/AreaStore.h"
#include "storage/StatusTexts.h"
#include "storage/Text.h"

namespace qv::messages {

Message fileBaseNotFound(const QString& storedPath)
{
    return { QStringLiteral("Fatal Error"),
        QStringLiteral("File database path ") + storedPath + QStringLiteral(" not found!") };
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

QString extractingDescription(const QString& entryName, const QString& program)
{
    return QStringLiteral("Extracting Description from ") + entryName + QStringLiteral(", running ") + program
        + QStringLiteral("...");
}

QString archiverTimedOut(const QString& entryName, int seconds)
{
    return QStringLiteral("The archiver for %1 did not end within %2 seconds and was stopped")
        .arg(entryName)
        .arg(seconds);
}

QString searchingNotInBase()
{
    return QStringLiteral("Searching files which are not in base...");
}

QString addingFile(const QString& name)
{
    return QStringLiteral("Adding ") + name + QStringLiteral("...");
}

QString filesVanished(const QStringList& names)
{
    return QStringLiteral("Not added, no longer in the directory: ") + names.join(QStringLiteral(", "));
}

Message replaceArchiver(const QString& extension)
{
    return { QStringLiteral("Archivers"),
        QStringLiteral("Definitions for extension ") + extension
            + QStringLiteral(" already exist. Do you want to replace?") };
}

Message deleteArchiver(const QString& extension)
{
    return { QStringLiteral("Archivers"),
        QStringLiteral("Are you sure you want to delete definitions for extension ") + extension
            + QStringLiteral("?") };
}

Message archiverTableFull()
{
    return { QStringLiteral("Archivers"),
        QStringLiteral("The table holds 32 archivers, all in use. Delete a definition before you add another.") };
}

} // namespace qv::messages
