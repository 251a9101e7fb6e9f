#include "board/Messages.h"

#include "platform/CodePage.h"
#include "storage/AreaStore.h"
#include "storage/StatusTexts.h"
#include "storage/Text.h"

#include <cerrno>

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

Message exploreFailed(const QString& directory, const QString& reason)
{
    return { QStringLiteral("Explore"),
        QStringLiteral("Could not open the directory ") + directory + QStringLiteral(":\n") + reason };
}

Message contentsFailed(const QString& path, const QString& reason)
{
    return { QStringLiteral("Contents"), QStringLiteral("Could not open ") + path + QStringLiteral(":\n") + reason };
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
    return QString::fromStdString(changedMeanwhileMessage(area));
}

QString changeFailed(int area, const Error& error)
{
    return changeFailed(area, QString(), error.code, error.message).text;
}

QString rowsChanged(int area, bool listReadAgain)
{
    if (listReadAgain)
        return QString::fromStdString(rowsChangedMessage(area));
    return QStringLiteral("The entries of area %1 were changed by another program since they were read; nothing was "
                          "changed.")
        .arg(area);
}

QString hitGone(int area)
{
    return QStringLiteral("The entry found is no longer in area %1; search again.").arg(area);
}

QString areaReadAgain(int area)
{
    return QStringLiteral("Area %1 was changed by another program and read again").arg(area);
}

QString boardWritesKept(int area, const CarriedOver& carried, const char* operation)
{
    if (carried.added == 0)
        return {};
    return QString::fromStdString(carriedOverMessage(area, carried, operation));
}

Message confirmDeletion(const QString& rowText)
{
    return { QStringLiteral("Confirm Deletion"),
        QStringLiteral("Do you want to remove the file\n\n") + rowText + QStringLiteral("\n\nfrom your harddisk?") };
}

QStringList confirmDeletionButtons()
{
    return { QStringLiteral("&Yes"), QStringLiteral("&Yes to All"), QStringLiteral("&No"), QStringLiteral("&No to All"),
        QStringLiteral("&Cancel") };
}

Message updateSkipped(const QStringList& rowTexts)
{
    return { QStringLiteral("Update"),
        QStringLiteral("These files could not be read and were left unchanged:\n\n")
            + rowTexts.join(QLatin1Char('\n')) };
}

Message filesNotLookedFor(const QString& problem)
{
    return { QStringLiteral("Remove"),
        QStringLiteral("The entries were removed, but their files could not be looked for: ") + problem };
}

Message changeFailed(int area, const QString& command, int code, const std::string& detail, bool listReadAgain)
{
    if (code == kRowsChanged)
        return { command, rowsChanged(area, listReadAgain) };
    if (code == ESTALE || code == kChangedMeanwhile)
        return { command, areaChangedMeanwhile(area) };
    if (detail.find("next loaded") != std::string::npos)
        return { command,
            QStringLiteral("Area %1 could not be changed completely (error %2); the change is finished when the "
                           "area is next loaded.")
                .arg(area)
                .arg(code) };
    return { command,
        QStringLiteral("Area %1 could not be changed (error %2: %3); its files were left as they were.")
            .arg(area)
            .arg(code)
            .arg(QString::fromLocal8Bit(detail.c_str())) };
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

namespace {
QString shownCharacter(QChar c)
{
    const QString code = QStringLiteral("U+%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0')).toUpper();
    return c.isPrint() ? QStringLiteral("\"") + c + QStringLiteral("\" (") + code + QStringLiteral(")") : code;
}
} // namespace

QString characterNotInCodePage(QChar c, const QString& codePageName)
{
    return QStringLiteral("The character %1 cannot be stored in the board's code page %2. Nothing was written.")
        .arg(shownCharacter(c), codePageName);
}

QString fileNameNotInCodePage(const QString& name, QChar c, const QString& codePageName)
{
    return QStringLiteral("The character %1 of the file name %2 cannot be stored in the board's code page %3.")
        .arg(shownCharacter(c), name, codePageName);
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
    // The board's own change wins: say so in the words every command uses.
    if (detail == QString::fromStdString(changedMeanwhileMessage(area)))
        return areaChangedMeanwhile(area);
    return QStringLiteral("The change to area %1 could not be written: %2").arg(QString::number(area), detail);
}

QString changeNotWritten(int area, const Error& error)
{
    if (error.code == kRowsChanged)
        return rowsChanged(area);
    if (error.code == kChangedMeanwhile)
        return areaChangedMeanwhile(area);
    return changeNotWritten(area, QString::fromStdString(error.message));
}

Message filesBbsNotWritten(const QString& listPath)
{
    return { QStringLiteral("Error!"), QStringLiteral("Could not open: ") + listPath + QStringLiteral("!") };
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

Message noFilesSelected()
{
    return { QStringLiteral("Error!"), QStringLiteral("No files selected! Select some files first...") };
}

Message transferFailed()
{
    return { QStringLiteral("Error!"), QStringLiteral("Error while copying files!") };
}

Message overwriteQuestion(const QString& destination)
{
    return { QStringLiteral("Copy..."),
        QStringLiteral("File already exists:\n\n") + destination + QStringLiteral("\n\nDo you want to overwrite?") };
}

Message copyFailed(bool pathNotFound, const QString& destination)
{
    return { QStringLiteral("Quorvex"),
        (pathNotFound ? QStringLiteral("Path not found! ") : QStringLiteral("Error while copying file! "))
            + destination };
}

Message clipboardTooSmall(int selected, int capacity)
{
    return { QStringLiteral("Internal Clipboard"),
        QStringLiteral("%1 files are selected; the internal clipboard holds at most %2. Nothing was taken.")
            .arg(selected)
            .arg(capacity) };
}

Message clipboardEntryGone(int area, const QString& rowText)
{
    return { QStringLiteral("Internal Clipboard"),
        QStringLiteral("The entry %1 on the internal clipboard is no longer in area %2. Nothing was pasted; cut or "
                       "copy the entries again.")
            .arg(rowText.trimmed())
            .arg(area) };
}

Message clipboardEntryAmbiguous(int area, const QString& rowText)
{
    return { QStringLiteral("Internal Clipboard"),
        QStringLiteral("The entry %1 on the internal clipboard is now in area %2 more than once, identical each time, "
                       "so it cannot be told which one was meant. Nothing was pasted; cut or copy the entries again.")
            .arg(rowText.trimmed())
            .arg(area) };
}

Message moveLeftSource(int sourceArea, int code, const std::string& detail)
{
    return { QStringLiteral("Error!"),
        QStringLiteral("The entries were added to the destination, but area %1 could not be changed (error %2: %3). "
                       "They are now in both areas; no file was deleted.")
            .arg(sourceArea)
            .arg(code)
            .arg(QString::fromLocal8Bit(detail.c_str())) };
}

} // namespace qv::messages
