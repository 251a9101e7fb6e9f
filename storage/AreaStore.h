#pragma once

#include "storage/AreaFiles.h"
#include "storage/AreaJournal.h"
#include "storage/FileIo.h"
#include "storage/LargeTable.h"
#include "storage/RewritePlan.h"
#include "storage/RowIdentity.h"
#include "storage/RowName.h"
#include "storage/RowRecord.h"
#include "storage/UndoKeeper.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

// What the file list holds of one header record: its stored bytes and the name it shows. The
// other columns are read from the bytes when they are shown.
struct LoadedRow {
    RowName name; // display name (capitalised long or short name), or " (Comment)"
    bool comment = false;
    RowRecord record; // the stored bytes as loaded

    int32_t size() const { return field(HeaderRecord::kSizeOffset); }
    int32_t checksum() const { return field(HeaderRecord::kChecksumOffset); }
    // As stored; the list shows "(Unknown)" when blank.
    std::string_view uploader() const
    {
        const uint8_t* p = record.data() + HeaderRecord::kUploaderOffset;
        return { reinterpret_cast<const char*>(p + 1), std::min<size_t>(p[0], HeaderRecord::kUploaderWidth) };
    }
    int32_t uploadDate() const { return field(HeaderRecord::kUploadDateOffset); }
    int32_t fileDate() const { return field(HeaderRecord::kFileDateOffset); }
    int32_t lastDownloadDate() const { return field(HeaderRecord::kLastDownloadOffset); }
    int downloads() const { return enc::getWord(record.data() + HeaderRecord::kDownloadsOffset); }

    // Its own copies of name and bytes, for a row kept after its list is gone: the buffers of a
    // load stay as long as any of its rows points into them.
    void detach()
    {
        name.detach();
        record.detach();
    }

private:
    int32_t field(size_t offset) const { return enc::getLong(record.data() + offset); }
};

// The rows of an area (or some of them), as loaded.
using LoadedRows = LargeVector<LoadedRow>;

// The identity a command passes on for a row it shows at position.
RowIdentity identityOf(const LoadedRow& row, uint64_t position);

// Where records held by bytes are now (AreaStore::locate). missing or ambiguous give the index of
// the first record that is gone or found at more than one position; positions are then incomplete.
struct Located {
    std::vector<uint64_t> positions;
    std::optional<size_t> missing;
    std::optional<size_t> ambiguous;
};

struct LoadError {
    enum class Kind {
        FileBasePathNotFound, // header file or its directory missing or unreadable
        Unexpected, // anything else; code is the errno
    };
    Kind kind = Kind::Unexpected;
    int code = 0;
    std::string detail;
};

// Bytes written in place as part of a change of several records (patchRecords).
struct FieldPatch {
    AreaFileKind kind = AreaFileKind::Header; // header, index or description file
    uint64_t position = 0; // record; in the description file a byte offset of existing bytes
    size_t fieldOffset = 0;
    std::vector<uint8_t> bytes;
    // When set, bytes become the description pointer (a Long) of appended text number k.
    std::optional<size_t> pointerOfAppended;
};

// A row's pointers into the description file, as its header record holds them.
struct TextPointers {
    int32_t description = 0;
    int32_t longName = 0;
};

// Whether a load also gives each row's TextPointers (what a pack survey reads of the records).
enum class WithPointers : bool { No, Yes };

struct LoadOutcome {
    LoadedRows rows;
    // The rows' sizes summed as unsigned 32-bit values, as the status bar sums them: taken while
    // each record is at hand, a second pass over 100,000 records costs more than the sum.
    uint64_t sizes = 0;
    // One for each row when asked for (WithPointers::Yes), taken in the same way.
    LargeVector<TextPointers> pointers;
    std::optional<LoadError> error;
};

// The text the board layer shows for a rewrite that failed with kChangedMeanwhile.
inline std::string changedMeanwhileMessage(int area)
{
    return "Area " + std::to_string(area)
        + " was changed by another program while it was being rewritten; nothing was changed. Try again.";
}

// What the board wrote to an area's old header and index files while a rewrite replaced them,
// and the rewrite carried into the new files (AreaStore::lastCarriedOver).
struct CarriedOver {
    uint64_t added = 0; // entries appended
    uint64_t changed = 0; // records changed in place (download counts)
    // Why late writes could not be looked at or carried over (the change itself is in place);
    // the next load finishes a carry-over that was journalled.
    std::optional<Error> failed;
    friend bool operator==(const CarriedOver& a, const CarriedOver& b)
    {
        return a.added == b.added && a.changed == b.changed && a.failed.has_value() == b.failed.has_value();
    }
};

// "The board added 1 entry to area 12 during the sort; it was kept." (operation: "the sort").
inline std::string carriedOverMessage(int area, const CarriedOver& carried, const std::string& operation)
{
    if (carried.added == 1)
        return "The board added 1 entry to area " + std::to_string(area) + " during " + operation + "; it was kept.";
    return "The board added " + std::to_string(carried.added) + " entries to area " + std::to_string(area) + " during "
        + operation + "; they were kept.";
}

// The text for a change refused with kRowsChanged.
inline std::string rowsChangedMessage(int area)
{
    return "The entries of area " + std::to_string(area)
        + " were changed by another program since they were shown; nothing was changed. The list has been read "
          "again.";
}

// The operations through which everything reads and changes one area's files. Nothing is held
// in memory: each call opens the files, does its work and closes them again, so the board
// software can read them between calls. Positions are 0-based record numbers.
//
// Every change that inserts, removes or reorders records is a RewritePlan run by rewrite(): the
// new header, long-name and index files are written to fdbN.$$$ / fdbN.l$$ beside the old ones,
// flushed, recorded in the area's journal (the commit point) and renamed over the old files, so
// the three files are replaced together or not at all. A failure before the commit point leaves
// every file of the area as it was; a crash after it is finished by the next load or start-up.
//
// The board software shares these files and, on some systems, takes no lock. It reads long names
// it stores itself at offset 174 of a header record, appends entries and counts downloads in
// place. So: patches never touch bytes 174..193 and take the board's write lock on the first
// record only around their writes, never across a flush; a rewrite flushes everything first,
// then looks at the old files a last time and renames at once. What the board appended or
// changed in place since the rewrite read the area is carried into the new files (records it
// changed go where the plan moved them), before the renames and, for late writes to the old
// files, once more after them (lastCarriedOver). Only when the files were replaced, shrank or
// their records moved does it give up with kChangedMeanwhile, committing nothing. An inserted
// long name is also appended for the board, and
// records taken from another area get their long-name text copied into this area's file.
//
// Every change that rests on rows the user saw takes their identities (`expected`, empty: no
// check). At the commit point each expected position must still hold the bytes shown, else the
// change fails with kRowsChanged and rowsChangedMessage(area), changing nothing. In-place patches
// compare all 194 bytes; rewrites leave out the download count and last-download date, which the
// board bumps in place and which the rewrite carries into the new files.
class AreaStore {
public:
    // An empty fileBaseDir (an unmapped or missing file database path) is refused: every
    // operation fails with ENOENT and nothing is read, written or recovered anywhere.
    AreaStore(FileIo& io, std::string fileBaseDir);

    // Loads area N in record order; progress(i, count) is called for every tenth record. An
    // interrupted rewrite of the area is finished or discarded first. Areas of kParallelRows
    // or more are decoded by two threads: the FileIo must allow reads from both.
    static constexpr int kParallelRows = 20000;
    LoadOutcome load(int area, bool useLongNames, const std::function<void(int, int)>& progress = {},
        WithPointers withPointers = WithPointers::No);

    // Records in the area's header file (0 when it does not exist).
    Result<uint64_t> count(int area);

    // Replaces the area's files by the plan's records. Fails with EINVAL, changing nothing, when
    // the plan names records the area (or the other area) does not have, and with
    // kChangedMeanwhile when another program changed the header file while this ran. A record
    // of another area with a board long-name pointer gets the text copied into this area's
    // description file and the pointer set to it.
    Result<void> rewrite(int area, const RewritePlan& plan, std::span<const RowIdentity> expected = {});
    // The same, given up with kChangedMeanwhile unless the header file still has the stamp it had
    // when the caller read the records the plan rests on.
    Result<void> rewrite(int area, const RewritePlan& plan, const FileIo::Stamp& unchangedSince,
        std::span<const RowIdentity> expected = {});

    // Copies records of area `from` into this area after its first p records (past the end:
    // behind the last), in the order given, as one change: their descriptions are appended to
    // this area's description file and both description pointers of each copy lead there. The
    // other area is only read. On failure nothing of this area changed. expected are identities
    // of the taken rows in area `from`, expectedHere of rows of this area (the insertion point).
    Result<void> takeEntries(int area, uint64_t p, int from, const std::vector<uint64_t>& records,
        std::span<const RowIdentity> expected = {}, std::span<const RowIdentity> expectedHere = {});

    // Appends text and its zero byte to the description file (created when missing) and returns
    // the new description pointer, the file's length before.
    Result<int32_t> appendDescription(int area, std::string_view text);

    // Inserts an entry after the first p records: its description is appended, the entry's
    // header and index records get its pointer, and the three files are rewritten. An entry with
    // a long name also has the name appended after its description, its offset in the header's
    // long-name pointer (0 without one). On failure the description file is cut back to its old
    // length as well.
    Result<void> insertEntry(
        int area, uint64_t p, NewEntry entry, std::string_view description, std::span<const RowIdentity> expected = {});

    // Inserts entries after the first p records, in their order, as one change: their
    // descriptions (descriptions[k] for entries[k]) are appended together first, then the three
    // files are rewritten once. On failure the description file is cut back to its old length.
    Result<void> insertEntries(int area, uint64_t p, std::vector<NewEntry> entries,
        std::vector<std::string> descriptions, std::span<const RowIdentity> expected = {});

    struct DescriptionChange;
    // insertEntries and, in the same change, new descriptions for entries already there (an
    // import): those texts are appended with the others and both pointers of each entry move
    // to them. Positions are of the area before the change.
    Result<void> insertAndRedescribe(int area, uint64_t p, std::vector<NewEntry> entries,
        std::vector<std::string> descriptions, const std::vector<DescriptionChange>& redescribed);

    // Gives entries new descriptions as one change: a text is written over the old one when the
    // old one is not shorter and no other record shares it, else it is appended and both
    // pointers of the entry move to it. Returns, per change, whether it was written in place.
    struct DescriptionChange {
        uint64_t position = 0;
        std::string text; // without its zero byte
    };
    Result<std::vector<bool>> setDescriptions(
        int area, const std::vector<DescriptionChange>& changes, std::span<const RowIdentity> expected = {});

    // Overwrites bytes of one record in place under the board's lock; the rest of the record keeps
    // its bytes. A header patch must end by offset 174. A patch of the long-name file creates it,
    // or lengthens it with empty records, when it is shorter.
    Result<void> patchRecord(int area, AreaFileKind kind, uint64_t position, size_t fieldOffset,
        std::span<const uint8_t> bytes, std::span<const RowIdentity> expected = {});

    // One change of several records in place: the texts are appended to the description file
    // (each with its zero byte), then every patch is written. Journalled as one change, so after
    // a failure or a crash either all of it holds or none of it (the texts are cut off again).
    // Returns the description pointers of the appended texts (which need only live for the call).
    // Fails with EINVAL, changing nothing, when a patch leaves its record or names bytes the
    // description file does not have.
    Result<std::vector<int32_t>> patchRecords(int area, const std::vector<std::string_view>& appended,
        std::vector<FieldPatch> patches, std::span<const RowIdentity> expected = {});

    // Where each record, given by its stored bytes, is in the area now (after a sort, an insertion
    // or removals by anyone). The download count and last-download date, which the board bumps,
    // are left out of the comparison.
    Result<Located> locate(int area, std::span<const std::array<uint8_t, HeaderRecord::kSize>> records);

    // One record as stored (the commands read what the file list does not hold). A long-name
    // record past the end of its file, or of a missing file, reads as empty.
    Result<HeaderRecord> readHeader(int area, uint64_t position);
    Result<IndexRecord> readIndex(int area, uint64_t position);
    Result<LongNameRecord> readLongName(int area, uint64_t position);
    // The long description of the entry at position: the bytes at its description pointer up to
    // the first zero byte. Missing files, a record past the end and a negative pointer give "".
    std::string readDescription(int area, uint64_t position);
    // The long name the entry shows: its own long-name record when that belongs to its 8.3 name,
    // else the text at the header's long-name pointer; "" when neither gives one.
    Result<std::string> readShownLongName(int area, uint64_t position);
    // The rows at these positions as load() shows them; ESTALE for a position the area lacks.
    Result<LoadedRows> readRows(int area, const std::vector<uint64_t>& positions, bool useLongNames);

    // Finishes or discards an interrupted rewrite of one area, or of every area that left a
    // journal or temporary file in a header, index or description directory (start-up). recoverAll returns the
    // areas it could not finish, among them those whose journal cannot be read (left as they are:
    // they need attention, and AreaCheck names them).
    Result<Recovery> recover(int area);
    std::vector<int> recoverAll();

    // Memory a rewrite uses per file: its output is written in windows of windowBytes, and the
    // records a sort scatters are read at once when they span no more than preloadBytes (else
    // they are read again for each window).
    void setRewriteMemory(size_t windowBytes, size_t preloadBytes)
    {
        m_windowBytes = windowBytes;
        m_preloadBytes = preloadBytes;
    }

    // How long a patch waits for the board to release its lock on the header file.
    void setLockWait(int milliseconds) { m_lockWaitMs = milliseconds; }

    // What the board wrote to the replaced files during the last rewrite (any rewrite, insertion
    // or transfer) of this store, carried into the new files; zero when it wrote nothing.
    //
    // After the renames a rewrite looks at the old files until no late write can come: a write
    // lease on them (had only when no other process has them open) is tried for up to leaseMs;
    // where leases are not to be had it waits graceMs instead. It returns as soon as it knows.
    CarriedOver lastCarriedOver() const { return m_carried; }
    void setLateWriteWait(int leaseMs, int graceMs)
    {
        m_leaseWaitMs = leaseMs;
        m_graceMs = graceMs;
    }

    FileIo& io() const { return *m_io; }
    const std::string& fileBaseDir() const { return m_fileBaseDir; }

    // Told of every change at its commit point (nullptr: nobody).
    void setRecorder(ChangeRecorder* recorder) { m_recorder = recorder; }
    ChangeRecorder* recorder() const { return m_recorder; }

    // Brings the area's files back to what they were before the step kept (the description file
    // keeps bytes appended since; the pointers go back), as one journalled change told to the
    // recorder like any other. Refused with kChangedSinceStep, changing nothing, unless the files
    // still hold exactly what the step left; the check and the commit are made under the board's
    // lock.
    Result<void> restore(int area, const KeptArea& kept);

private:
    static Error noFileBase();
    std::string path(int area, AreaFileKind kind) const;
    // rewrite() without the recovery in front; an insertion's appended text is undone with it.
    // before is the header file's stamp from before the plan's records were counted.
    Result<void> commitPlan(int area, const RewritePlan& plan, std::optional<AreaJournal::Append> appended,
        const FileIo::Stamp& before, std::span<const RowIdentity> expected = {},
        std::span<const RowIdentity> expectedOther = {});
    // Writes the note as the journal, then carries out its patches (files[fileOf[k]] is the path
    // of patch k; fileOf empty: every patch is in files[0]): the files are opened first, the
    // board's lock is taken only around the identity check and the writes, and the flushes
    // follow. When the rows changed it fails with kRowsChanged, the journal removed and nothing
    // written (*started stays false).
    Result<void> writeNoted(int area, const AreaJournal& note, const std::vector<std::string>& files,
        const std::vector<uint32_t>& fileOf, std::span<const RowIdentity> expected, bool* started = nullptr);
    // Fails with kRowsChanged (for area) unless each expected position of the open header file
    // holds the bytes shown; masked leaves out the fields the board bumps in place.
    Result<void> checkRows(FileIo::Handle header, int area, std::span<const RowIdentity> expected, bool masked);
    // Without flush the text is only written (the journal that commits it flushes it).
    Result<int32_t> appendText(const std::string& file, std::string_view text, bool flush = true);
    // The start of a change that adds records: an interrupted one finished, then the header
    // file's stamp and the record count the plan rests on.
    Result<std::pair<FileIo::Stamp, uint64_t>> beginChange(int area);
    // Appends texts, each with its zero byte, behind a journal that cuts them off again unless
    // the change commits; returns the journal's note and each text's pointer.
    Result<std::pair<AreaJournal::Append, std::vector<int32_t>>> appendNoted(
        int area, const std::vector<std::string>& texts);

    FileIo* m_io;
    std::string m_fileBaseDir;
    size_t m_windowBytes = size_t(4) << 20;
    size_t m_preloadBytes = size_t(32) << 20;
    int m_lockWaitMs = 5000;
    int m_leaseWaitMs = 5000;
    int m_graceMs = 200;
    CarriedOver m_carried;
    ChangeRecorder* m_recorder = nullptr;
};

} // namespace qv
