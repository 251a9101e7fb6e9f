#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

namespace qv {

class CodePage;
struct CarriedOver;
struct Error;
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
// Explore and Contents when the desktop did not open the directory or the document, and why.
Message exploreFailed(const QString& directory, const QString& reason);
Message contentsFailed(const QString& path, const QString& reason);
// "Unable to read RA configuration files (FILES.RA)", the fatal start-up message.
Message noConfiguration();
// Start-up: the board directory of the settings holds no board; the question offers the
// first-run setup again.
Message boardMissing(const QString& directory, const QString& problem);
// An area whose interrupted change could not be finished: it needs the sysop's attention.
QString areaNeedsAttention(int area);
// A rewrite abandoned because the board software changed the area meanwhile.
QString areaChangedMeanwhile(int area);
// Any failed change of an area, the one above included; the store's message names the file.
QString changeFailed(int area, const Error& error);
// A change refused because the rows it rested on no longer hold what was shown; the window adds
// that it read the list again.
QString rowsChanged(int area, bool listReadAgain = true);
// A find result whose entry is no longer in its area.
QString hitGone(int area);
// The list followed a change another program made to the area's files.
QString areaReadAgain(int area);
// Entries the board added while a rewrite ran, carried into the new files (operation: "the
// sort"); empty when it added none.
QString boardWritesKept(int area, const CarriedOver& carried, const char* operation);

// Undo and redo. A step refused because an area no longer holds what it left: "Area 12 was
// changed by another program since the sort; it cannot be undone." (step: "Sort").
QString stepRefused(int area, const QString& step, bool undoing);
// A step whose change of an area could not be kept whole (why: the reason, lower case).
QString stepSpoiled(int area, const QString& step, bool undoing, const QString& why);
// Files an undo could not bring back (deleted for good, or their name taken meanwhile).
QString filesNotBack(const QStringList& paths);

// Removing, updating and sorting entries.
// "Confirm Deletion": the question about one entry's file, and its five buttons in order
// (Yes, Yes to All, No, No to All, Cancel).
Message confirmDeletion(const QString& rowText);
QStringList confirmDeletionButtons();
// Files that exist but could not be read, left unchanged by Update: one message for them all.
// Remove in an area whose directory is unknown: the entries went, their files were not touched.
Message filesNotLookedFor(const QString& problem);
Message updateSkipped(const QStringList& rowTexts);
// A change of an area that failed; nothing was changed (or the change completes on next load).
// listReadAgain: the window read the list again (qvtool has none).
Message changeFailed(int area, const QString& command, int code, const std::string& detail, bool listReadAgain = true);

// A FILES.BBS that could not be written: "Could not open: C:\FILES\Files.bbs!" with the area's
// path as stored.
Message filesBbsNotWritten(const QString& listPath);

// Status bar panel texts: "N Object(s)" and "X MB".
QString objectCount(uint64_t rows);
QString megabytes(uint64_t totalBytes);
// The uploader column: the stored name, or "(Unknown)" when it is blank.
QString uploaderText(std::string_view stored, const CodePage& codePage);

// Entry editing: the range checks of the Properties dialog (title "Error!"), a character the
// code page cannot hold, a comment line's fields, the Global Description question, a failed write.
QString rangeErrorTitle();
QString monthOutOfRange();
QString dayOutOfRange();
QString yearOutOfRange();
QString countOutOfRange(); // downloads and cost
QString characterNotInCodePage(QChar c, const QString& codePageName);
// A file whose name the board cannot store: adding it is refused.
QString fileNameNotInCodePage(const QString& name, QChar c, const QString& codePageName);
QString commentHasOnlyDescription(uint64_t position);
// A 1-based position the area does not have.
QString noSuchEntry(int area, uint64_t position);
// "The uploader can hold at most 35 characters."
QString textTooLong(const QString& field, int maximum);
Message globalDescriptionQuestion();
QString changeNotWritten(int area, const QString& detail);
QString changeNotWritten(int area, const Error& error);
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

// Add Files on an area whose directory is not there (title "Add Files"); problem: why a stored
// path has no host path, empty when it has one.
Message areaDirectoryMissing(int area, const QString& directory, const QString& problem);

// Transfers: the internal clipboard, direct copy and move, send-to.
Message noFilesSelected(); // "No files selected! Select some files first..."
// A failure before the destination area changed: both areas are as they were.
Message transferFailed(); // "Error while copying files!"
// The overwrite question of a file copy (title "Copy..."), with what "No" does to the entry.
Message overwriteQuestion(const QString& destination, const QString& whatNoDoes = QString());
// Its buttons in order: Yes, Yes to all, No, No to all (the last two for the rest of the transfer).
QStringList overwriteButtons();
// What "No" means for a transfer of entries into an area or of files into a directory.
QString overwriteDeclined(bool toDirectory, bool move);
QString sendToDeclined();
// Send-to done: the file as it now lies in the area's directory, and the area.
Message sentToArea(const QString& file, int area, const QString& areaName, bool originalDeleted, bool trashed = false);
// One file that could not be copied (title "Quorvex"); its entry is transferred all the same.
Message copyFailed(bool pathNotFound, const QString& destination);
// More rows selected than the clipboard holds; it keeps what it had.
Message clipboardTooSmall(int selected, int capacity);
// A held entry that is no longer in its area, or that two identical records now stand for.
Message clipboardEntryGone(int area, const QString& rowText);
Message clipboardEntryAmbiguous(int area, const QString& rowText);
// The destination area's entries were added but the source's could not be removed.
Message moveLeftSource(int sourceArea, int code, const std::string& detail);

// Export done: how many of the lists tried were written, and their paths.
Message filesBbsWritten(int tried, const QStringList& paths);

// What a finished change did, for the window's status bar.
QString entriesText(qint64 n); // "1 entry", "3 entries"
// "3 entries removed, 2 files deleted"; files that went to the trash are counted apart.
QString removedReport(qint64 entries, qint64 filesDeleted, qint64 filesTrashed = 0, bool trashWanted = false);
QString updatedReport(qint64 entries, qint64 changed);
QString sortedReport(bool selection, const QString& keyName, bool descending); // "Area sorted by name"
QString commentInsertedReport();
QString propertiesReport(const QString& rowText);
QString descriptionsReport(qint64 entries); // "Descriptions of 12 entries changed"
QString extractedReport(qint64 entries);
QString addedReport(qint64 files);
// "3 entries copied to area 5", "2 files moved to /srv/out"
QString transferReport(bool move, qint64 entries, bool toDirectory, const QString& destination);
QString transferCancelled(); // both areas as they were
QString sortCancelled();

} // namespace messages
} // namespace qv
