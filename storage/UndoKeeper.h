#pragma once

#include "storage/AreaFiles.h"
#include "storage/FileIo.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

// What a change replaced in one area file: the whole file (a copy kept in the undo directory, or
// the note that there was no file) or the old bytes of one range written in place.
struct KeptPiece {
    AreaFileKind kind = AreaFileKind::Header;
    bool whole = false;
    bool existed = true; // whole only: false when the change created the file
    std::string copy; // whole only: the kept copy
    uint64_t copied = 0; // its length
    uint64_t offset = 0; // a range: where its bytes were
    std::vector<uint8_t> bytes;
};

// An area file as a change left it: enough to tell that nobody wrote it since. The description
// file counts only up to the length it had: bytes appended later (texts nothing points at yet)
// do not make it another file, the pointers of the other three do.
struct FileMark {
    bool exists = false;
    uint64_t length = 0;
    uint64_t hash = 0; // of the first length bytes
    friend bool operator==(const FileMark&, const FileMark&) = default;
};
struct AreaMark {
    std::array<FileMark, 4> files {}; // by AreaFileKind
    friend bool operator==(const AreaMark&, const AreaMark&) = default;
};

// The marks of an area's four files now; the description file's over the length it has in
// prefixOf when given (shorter is a change).
Result<AreaMark> markArea(FileIo& io, const std::string& fileBaseDir, int area, const AreaMark* prefixOf = nullptr);
// Whether the area still holds what was marked.
bool sameMark(const AreaMark& marked, const AreaMark& now);

// What one step changed in one area: the pieces in the order they were kept, and the mark of the
// files as the step left them. spoiled says why it cannot be undone (the board wrote to the area
// during the change, a piece could not be kept).
struct KeptArea {
    int area = 0;
    std::vector<KeptPiece> pieces;
    std::optional<AreaMark> left;
    std::optional<std::string> spoiled;
    uint64_t bytes() const;
};

// Everything one step changed, areas in the order of their first change.
struct KeptChange {
    std::vector<KeptArea> areas;
    uint64_t bytes() const;
    bool empty() const { return areas.empty(); }
    // The copies in the undo directory; the change can no longer be undone after this.
    void discard(FileIo& io) const;
};

// What the store tells at each commit point. committing comes just before the change's journal
// is complete (the files are still as the change found them); committed once it is in place.
class ChangeRecorder {
public:
    struct Touch {
        AreaFileKind kind = AreaFileKind::Header;
        std::string file;
        bool whole = false; // replaced; else bytes [offset, offset + length) written in place
        uint64_t offset = 0;
        uint64_t length = 0;
    };
    virtual ~ChangeRecorder() = default;
    virtual void committing(int area, std::span<const Touch> touches) = 0;
    // lateWrites: the board wrote to the old files while the change replaced them, and what it
    // wrote was carried into the new ones (and is in none of the kept copies).
    virtual void committed(int area, bool lateWrites) = 0;
};

// Keeps, between begin() and end(), what each change of the store replaces, in a private
// directory: a whole copy of a file before it is first replaced, the old bytes of ranges before
// they are patched. Nothing is kept outside a step. A piece that cannot be kept spoils the area's
// part of the step; the change itself goes ahead.
class UndoKeeper : public ChangeRecorder {
public:
    UndoKeeper(FileIo& io, std::string fileBaseDir, std::string directory);

    void begin();
    KeptChange end();
    bool recording() const { return m_recording; }
    const std::string& directory() const { return m_directory; }

    void committing(int area, std::span<const Touch> touches) override;
    void committed(int area, bool lateWrites) override;

private:
    KeptArea& areaOf(int area);
    Result<std::string> copyOf(const std::string& file);

    FileIo& m_io;
    std::string m_fileBaseDir;
    std::string m_directory;
    bool m_recording = false;
    uint64_t m_copies = 0;
    KeptChange m_change;
};

} // namespace qv
