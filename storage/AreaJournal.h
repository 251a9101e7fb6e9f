#pragma once

#include "storage/AreaFiles.h"
#include "storage/FileIo.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The note a change of an area leaves in its header directory (fdbN.jnl) while it is under way,
// so that a crash at any point can be finished or undone by the next load or start-up:
// - which temporary file replaces which area file, and how long each temporary file is;
// - how long the description file was before an insertion appended its text;
// - the bytes of an in-place patch.
// A journal that ends with its END line is complete: it was written, and flushed, only once
// every temporary file was complete on disk, so its replacements and patches can always be
// carried out (the commit point). A journal cut short means the change had not committed: its
// temporary files are discarded and an appended description is cut off again. Files are named by
// the area directory they lie in and their name ("hdr/fdb1.$$$", "idx/FDB1.IDX"), so the note
// reads the same however the file base is spelled, and a board that moved still recovers.
struct AreaJournal {
    struct Replacement {
        std::string temporary;
        std::string target;
        uint64_t size = 0;
    };
    struct Append {
        std::string file;
        uint64_t length = 0; // before the text was appended
        // once it was (or what a failed append left); the text is only cut off from a file of this length
        uint64_t lengthAfter = 0;
        // Where this process's texts landed and their checksum; kept in memory, not in the note.
        // Another program may replace or rewrite the file after the append, and records must
        // not be pointed into its texts, nor its file cut.
        struct Landed {
            uint64_t offset = 0;
            uint64_t size = 0;
            uint32_t checksum = 0;
        };
        std::vector<Landed> landed = {};
        void land(uint64_t offset, std::string_view bytes);
    };
    struct Patch {
        std::string file;
        uint64_t offset = 0; // byte offset in the file
        std::vector<uint8_t> bytes;
        // The record size and whole-record length a long-name file is brought to first (0: none).
        size_t recordSize = 0;
        uint64_t minimumLength = 0;
        // Whole records of recordSize that belong behind the file's end as it was at offset:
        // another program may have appended since, so each goes to the end unless it is found
        // at or behind offset already.
        bool place = false;
    };
    std::optional<Append> append;
    std::vector<Replacement> replacements;
    std::vector<Patch> patches;
    bool complete = true;

    // The text; without the END line when complete is false (the note before the commit point).
    std::string serialize() const;
    // serialize().size(), without making the text.
    size_t serializedSize() const;
    // nullopt for a text this program did not write or one that names files outside the area's
    // directories. A journal cut short parses with complete = false and only its whole lines;
    // one cut inside its first line (or empty) as an empty, incomplete journal.
    static std::optional<AreaJournal> parse(const std::string& text);
};

// Largest journal a change may write and recovery reads: a description given to every entry of
// a large area patches two records per entry.
constexpr uint64_t kJournalLimit = uint64_t(64) << 20;

// The journal's path for area N: beside the header file, lower case.
std::string journalPath(const std::string& headerDirectory, int area);
// Where the next journal is written before it replaces the current one (fdbN.j$$).
std::string journalSparePath(const std::string& journal);

// How the journal names an area file or one beside it: the kind's directory and the file name.
std::string journalName(AreaFileKind kind, const std::string& path);
// The host path a journal name of area N stands for.
std::string journalTarget(FileIo& io, const std::string& fileBaseDir, int area, const std::string& name);

// Writes the journal and flushes it and its directory, together with the files in alongside
// (the texts an incomplete note covers, which must be on disk before the note that commits them).
// Without flush the note is only written: enough against a killed process, and a note lost with
// the power leaves at most an appended text nothing refers to.
Result<void> writeJournal(FileIo& io, const std::string& path, const AreaJournal& journal, bool flush = true,
    std::span<const FileIo::Handle> alongside = {});

// Carries out patches (idempotent, so recovery may repeat them): each file is opened once, given
// its patches in order and flushed together with the others. paths[k] is the file of patches[k].
Result<void> applyPatches(
    FileIo& io, const std::vector<std::string>& paths, const std::vector<AreaJournal::Patch>& patches);

// The records of bytes (whole records of size) that the file open at h does not hold at a
// record boundary at or behind offset, in their order. A header record's download count and
// date are not compared: the board counts on the copy as it does on any other record.
Result<std::vector<uint8_t>> recordsMissing(
    FileIo& io, FileIo::Handle h, uint64_t offset, std::span<const uint8_t> bytes, size_t size);

// Cuts an insertion's text off the description file again, only when the file is still exactly
// as long as the append left it: text the board appended since is never cut off.
Result<void> undoAppend(FileIo& io, const std::string& fileBaseDir, int area, const AreaJournal::Append& appended);

// After a failed append of bytes at length: the file's length when what lies past length is
// exactly the start of those bytes (our partial write), nullopt when something else is there.
Result<std::optional<uint64_t>> partialAppend(
    FileIo& io, const std::string& path, uint64_t length, std::string_view bytes);
// Whether every text of appended.landed is still where it landed in the file at path (true when
// none is known).
Result<bool> appendedStillThere(FileIo& io, const std::string& path, const AreaJournal::Append& appended);
// Cuts the file at path back to length, only when it is still exactly lengthNow bytes long.
Result<void> cutBack(FileIo& io, const std::string& path, uint64_t lengthNow, uint64_t length);

// Outcome of looking for an interrupted change of one area.
enum class Recovery {
    Nothing, // no journal and no temporary files
    Discarded, // the change had not reached its commit point: it was undone
    Completed, // the change was committed: what remained of it was carried out
};

// Finishes or undoes an interrupted change of area N. Fails when a committed change cannot be
// finished (the journal then stays for the next attempt), when the journal cannot be read (it
// and the temporary files stay: the area needs attention) and without a file base directory.
Result<Recovery> recoverArea(FileIo& io, const std::string& fileBaseDir, int area);

// The problem an area's journal poses that no recovery will solve (one it cannot read), if any.
std::optional<std::string> journalProblem(FileIo& io, const std::string& fileBaseDir, int area);

} // namespace qv
