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

Message boardMissing(const QString& directory, const QString& problem)
{
    return { QStringLiteral("Quorvex"),
        QStringLiteral("The board directory %1 %2.\n\nWas it moved, or is its disk not mounted? Run the first-run "
                       "setup again to choose the board directory?")
            .arg(directory, problem) };
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

namespace {
// "the sort", "the remove of 3 entries", "the import FILES.BBS": capitalised words in lower case.
QString stepName(const QString& step)
{
    if (step.isEmpty())
        return QStringLiteral("the change");
    QStringList words = step.split(QLatin1Char(' '));
    for (QString& w : words)
        if (w.mid(1) == w.mid(1).toLower())
            w = w.toLower();
    return QStringLiteral("the ") + words.join(QLatin1Char(' '));
}
} // namespace

QString stepRefused(int area, const QString& step, bool undoing)
{
    if (undoing)
        return QStringLiteral("Area %1 was changed by another program since %2; it cannot be undone. Nothing was "
                              "changed.")
            .arg(area)
            .arg(stepName(step));
    return QStringLiteral("Area %1 was changed by another program since %2 was undone; it cannot be redone. Nothing "
                          "was changed.")
        .arg(area)
        .arg(stepName(step));
}

QString stepSpoiled(int area, const QString& step, bool undoing, const QString& why)
{
    QString name = stepName(step);
    name[0] = name[0].toUpper();
    return QStringLiteral("%1 cannot be %2 in area %3: %4. Nothing was changed.")
        .arg(name, undoing ? QStringLiteral("undone") : QStringLiteral("redone"))
        .arg(area)
        .arg(why);
}

QString filesNotBack(const QStringList& paths)
{
    return QStringLiteral("The entries are back, but these files could not be brought back (deleted for good, or "
                          "their name is taken):\n%1")
        .arg(paths.join(QLatin1Char('\n')));
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
        QStringLiteral("Do you want to remove the file\n\n") + rowText
            + QStringLiteral("\n\nfrom your harddisk?\n\nThe entry is removed from the area either way.") };
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

QString uploaderText(std::string_view stored, const CodePage& codePage)
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

Message areaDirectoryMissing(int area, const QString& directory, const QString& problem)
{
    return { QStringLiteral("Add Files"),
        QStringLiteral("The directory of area %1 does not exist:\n\n%2%3\n\nCreate it, or correct the area's path in "
                       "the board's configuration.")
            .arg(area)
            .arg(directory, problem.isEmpty() ? QString() : QStringLiteral(" (") + problem + QStringLiteral(")")) };
}

Message overwriteQuestion(const QString& destination, const QString& whatNoDoes)
{
    return { QStringLiteral("Copy..."),
        QStringLiteral("File already exists:\n\n") + destination + QStringLiteral("\n\nDo you want to overwrite?")
            + (whatNoDoes.isEmpty() ? QString() : QStringLiteral("\n\n") + whatNoDoes) };
}

QStringList overwriteButtons()
{
    return { QStringLiteral("&Yes"), QStringLiteral("Yes to &all"), QStringLiteral("&No"),
        QStringLiteral("No to a&ll") };
}

Message sentToArea(const QString& file, int area, const QString& areaName, bool originalDeleted, bool trashed)
{
    const QString original = !originalDeleted ? QStringLiteral(".")
        : trashed                             ? QStringLiteral(",\nand the original was moved to the trash.")
                                              : QStringLiteral(",\nand the original was removed.");
    return { QStringLiteral("Send To Area"),
        QStringLiteral("%1 was added to area %2: %3%4").arg(file).arg(area).arg(areaName, original) };
}

QString sendToDeclined()
{
    return QStringLiteral("No keeps the file that is there and adds it as the entry; your file stays where it is.");
}

QString overwriteDeclined(bool toDirectory, bool move)
{
    if (toDirectory)
        return move ? QStringLiteral("No keeps both files, and the entry stays in its area.")
                    : QStringLiteral("No keeps the file that is there.");
    return move ? QStringLiteral("No keeps the file that is there and the entry's own file where it is; the entry is "
                                 "moved all the same.")
                : QStringLiteral("No keeps the file that is there; the entry is copied all the same.");
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

QString entriesText(qint64 n)
{
    return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
}

namespace {
QString filesText(qint64 n)
{
    return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(n);
}
} // namespace

Message filesBbsWritten(int tried, const QStringList& paths)
{
    const QString count = paths.size() == tried
        ? (tried == 1 ? QStringLiteral("1 list") : QStringLiteral("%1 lists").arg(tried))
        : QStringLiteral("%1 of %2 lists").arg(paths.size()).arg(tried);
    return { QStringLiteral("Export FILES.BBS"),
        count + QStringLiteral(" written")
            + (paths.isEmpty() ? QStringLiteral(".") : QStringLiteral(":\n\n") + paths.join(QLatin1Char('\n'))) };
}

QString removedReport(qint64 entries, qint64 filesDeleted, qint64 filesTrashed, bool trashWanted)
{
    QString text = entriesText(entries) + QStringLiteral(" removed");
    if (filesTrashed > 0)
        text += QStringLiteral(", ") + filesText(filesTrashed) + QStringLiteral(" moved to the trash");
    if (const qint64 unlinked = filesDeleted - filesTrashed; unlinked > 0)
        text += QStringLiteral(", ") + filesText(unlinked)
            + (trashWanted ? QStringLiteral(" deleted, for want of a trash") : QStringLiteral(" deleted"));
    return text;
}

QString updatedReport(qint64 entries, qint64 changed)
{
    return entriesText(entries) + QStringLiteral(" compared with their files, %1 changed").arg(changed);
}

QString sortedReport(bool selection, const QString& keyName, bool descending)
{
    return (selection ? QStringLiteral("Selection sorted by ") : QStringLiteral("Area sorted by ")) + keyName
        + (descending ? QStringLiteral(", descending") : QString());
}

QString commentInsertedReport()
{
    return QStringLiteral("Comment line inserted");
}

QString propertiesReport(const QString& rowText)
{
    return QStringLiteral("Properties of ") + rowText + QStringLiteral(" changed");
}

QString descriptionsReport(qint64 entries)
{
    return QStringLiteral("Descriptions of ") + entriesText(entries) + QStringLiteral(" changed");
}

QString extractedReport(qint64 entries)
{
    return QStringLiteral("Descriptions of ") + entriesText(entries) + QStringLiteral(" extracted");
}

QString addedReport(qint64 files)
{
    return filesText(files) + QStringLiteral(" added");
}

QString sortCancelled()
{
    return QStringLiteral("Sort cancelled: the area keeps its order");
}

QString transferCancelled()
{
    return QStringLiteral("Cancelled: both areas are as they were; files copied so far were removed");
}

QString transferReport(bool move, qint64 entries, bool toDirectory, const QString& destination)
{
    return (toDirectory ? filesText(entries) : entriesText(entries))
        + (move ? QStringLiteral(" moved to ") : QStringLiteral(" copied to "))
        + (toDirectory ? destination : QStringLiteral("area ") + destination);
}

} // namespace qv::messages
