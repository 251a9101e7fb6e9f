#pragma once

#include "storage/AreaStore.h"

#include <QDate>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;
class CodePage;
class DescriptionExtractor;

// Adds files of an area's directory as new entries, all in one change of the area: after the
// first `after` entries, in the order given.
class FileAdder {
public:
    struct Request {
        QStringList names; // as listed (any case, or an 8.3 alias)
        QString uploader;
        bool extract = true;
        uint64_t after = UINT64_MAX; // past the end: after the last entry
        bool useLongNames = true; // how the new rows are shown
    };
    struct Result {
        uint64_t at = 0; // position of the first new entry
        LoadedRows rows; // the new rows, as loading the area would show them
        QStringList added; // names on disk, in order
        QStringList vanished; // names no longer in the directory: skipped
        std::optional<Error> error; // nothing was added (also when a name cannot be stored)
    };

    // The records of one new entry for the file (a path, or what a caller already looked up of it),
    // stored as shortName; nullopt with the message in refusal when a name or the uploader holds a
    // character the code page lacks.
    static std::optional<NewEntry> entryFor(const Board& board, const QFileInfo& file, const QString& chosenName,
        const QString& shortName, const QString& uploader, const QDate& today, QString* refusal = nullptr);
    // Why a file of this name cannot be added (a character the code page lacks); empty when it can.
    static QString unstorableName(const CodePage& codePage, const QString& name);
    // The same for the name and the uploader together.
    static QString refusal(const CodePage& codePage, const QString& name, const QString& uploader);
    static constexpr int kUploaderLength = 35;
    // The one place a new entry gets its long name.
    static void setLongName(NewEntry& entry, const std::string& longName);

    // adding(name) is called before each file ("Adding NAME..."); extractor may be null.
    static Result add(Board& board, int area, const Request& request, const DescriptionExtractor* extractor,
        const std::function<void(const QString&)>& adding = {}, const QDate& today = QDate::currentDate());
};

} // namespace qv
