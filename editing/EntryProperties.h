#pragma once

#include "storage/AreaStore.h"
#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/RowIdentity.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qv {

class Board;

// A date as three boxes hold it: month, day and year as typed, not yet a calendar date.
struct DateBoxes {
    int month = 1;
    int day = 1;
    int year = 1980;
    friend bool operator==(const DateBoxes&, const DateBoxes&) = default;
};

// What the Properties dialog shows of one entry, read from its records.
struct EntryFields {
    uint64_t position = 0; // 0-based
    bool comment = false;
    QString name; // the row text: display name, or " (Comment)"
    int32_t size = 0;
    int32_t fileDate = 0; // packed, display only
    DateBoxes uploadDate;
    DateBoxes lastDownload;
    int downloads = 0;
    int cost = 0;
    uint8_t attributes = 0;
    QString uploader;
    QString password;
    std::array<QString, HeaderRecord::kKeywordCount> keywords;
    QString description; // line breaks as '\n'
};

// The fields to write; those left empty keep their bytes.
struct PropertyChanges {
    std::optional<QString> uploader = {}; // trimmed before it is stored
    std::optional<DateBoxes> uploadDate = {};
    std::optional<DateBoxes> lastDownload = {};
    std::optional<int> downloads = {};
    std::optional<int> cost = {};
    std::optional<uint8_t> attributes = {}; // bit 7 is dropped
    std::optional<QString> password = {}; // trimmed before it is stored
    // All five keywords, with their checksums in the entry's own index record.
    std::optional<std::array<QString, HeaderRecord::kKeywordCount>> keywords = {};
    std::optional<QString> description = {};

    bool empty() const;
    bool onlyDescription() const;
};

// The input a refusal names, so a dialog can put the focus back in it.
enum class PropertyField {
    None,
    Uploader,
    UploadMonth,
    UploadDay,
    UploadYear,
    LastDownloadMonth,
    LastDownloadDay,
    LastDownloadYear,
    Downloads,
    Cost,
    Password,
    Keyword1,
    Keyword2,
    Keyword3,
    Keyword4,
    Keyword5,
    Description,
};

struct PropertiesResult {
    enum class Outcome {
        Written,
        NothingToWrite, // no field was named
        Refused, // a value that cannot be stored; nothing was written
        Failed, // the files could not be read or written; nothing was changed
    };
    Outcome outcome = Outcome::NothingToWrite;
    PropertyField field = PropertyField::None; // Refused: the input to correct
    QString message; // Refused, Failed: the system's message
    bool rowsChanged = false; // Failed: the entry no longer holds what was shown
    QStringList written; // Written: the fields, in record order
    bool descriptionAppended = false; // Written with a description: appended, else overwritten in place
    int32_t descriptionPointer = -1; // the entry's pointer afterwards
    HeaderRecord header; // Written: the header record as it now stands
    QString description; // Written with a description: the text as stored, line breaks as '\n'
};

// The Properties dialog's work on one entry of an area: reading the fields it shows and writing
// the fields it changes, in place, as one change of the area (the header and index records and
// the description file together, or nothing).
class EntryProperties {
public:
    EntryProperties(const Board& board, int area);

    // The entry shown as `shown`; nullopt with a message in error when it cannot be read or its
    // position no longer holds the record shown (rowsChanged set).
    std::optional<EntryFields> read(
        const RowIdentity& shown, bool useLongNames, QString* error = nullptr, bool* rowsChanged = nullptr) const;
    // Writes the changes into the entry shown, refused unless its position still holds the record
    // shown when the change commits. After a write, result.header is the record as it now
    // stands: the identity of the next Apply.
    PropertiesResult apply(const RowIdentity& shown, const PropertyChanges& changes) const;

    // The range message for a box's value, empty when the value is allowed.
    static QString rangeProblem(PropertyField field, int value);
    // The first box of the changes whose value is out of range, with its message.
    static std::optional<std::pair<PropertyField, QString>> firstRangeProblem(const PropertyChanges& changes);
    // A stored date as boxes; one that is no calendar day opens as 01-01-1980.
    static DateBoxes boxesOf(int32_t packedDate);
    // The calendar date of boxes: a day beyond its month rolls into the next month.
    static enc::CalendarDate calendarDate(const DateBoxes& boxes);
    // The file list's row after a change of the record, its identity included.
    static void updateRow(LoadedRow& row, const HeaderRecord& header);

private:
    const Board& m_board;
    int m_area;
};

} // namespace qv
