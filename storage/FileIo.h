#pragma once

#include "storage/Result.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

// The one door through which storage touches the disk. Tests put a wrapper in front of the
// system implementation to fail the n-th operation of a kind or to stop the process at a step.
class FileIo {
public:
    enum class Mode {
        Read, // existing file, read only
        ReadWrite, // existing file, read and write in place
        CreateTruncate, // created when missing, emptied when present, write only
        Append, // created when missing, every write goes to the end
    };
    using Handle = int;

    struct DirEntry {
        std::string name;
        bool isDirectory = false;
    };

    // What tells whether another program changed or replaced a file: its length, modification
    // time and identity. A missing file has exists = false.
    struct Stamp {
        bool exists = false;
        uint64_t size = 0;
        int64_t modifiedNs = 0;
        uint64_t device = 0;
        uint64_t inode = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };

    virtual ~FileIo() = default;

    virtual Result<Handle> open(const std::string& path, Mode mode) = 0;
    // Reads up to size bytes at offset; fewer only at the end of the file.
    virtual Result<size_t> readAt(Handle h, uint64_t offset, void* buffer, size_t size) = 0;
    // Writes all bytes at offset (ignored in Append mode).
    virtual Result<void> writeAt(Handle h, uint64_t offset, const void* buffer, size_t size) = 0;
    // One of many small writes made by one call (writePieces).
    struct Piece {
        uint64_t offset = 0;
        const void* data = nullptr;
        size_t size = 0;
    };
    // Writes each piece at its offset, in order, as one call: only the pieces' bytes change, so
    // another program may write the bytes between them meanwhile. Pieces past the file's end
    // extend it as writeAt does.
    virtual Result<void> writePieces(Handle h, std::span<const Piece> pieces);
    // Writes all bytes at the end of a file open in Append mode and returns where they begin.
    // Another program may append at any time, so a length read before the write says nothing of
    // where the bytes land. A failure after part of the bytes was written sets *startedAt to where
    // that part begins.
    virtual Result<uint64_t> append(
        Handle h, const void* buffer, size_t size, std::optional<uint64_t>* startedAt = nullptr);
    virtual Result<uint64_t> size(Handle h) = 0;
    // Cuts or extends the file to length bytes (extension reads as zero bytes).
    virtual Result<void> truncate(Handle h, uint64_t length) = 0;
    // Flushes the file's data to the device (fsync).
    virtual Result<void> sync(Handle h) = 0;
    // Flushes the file's data and what is needed to read it back (its length), not its times
    // (fdatasync): an in-place change then costs no metadata commit.
    virtual Result<void> syncData(Handle h) { return sync(h); }
    // Starts writing the file's changed data to the device without waiting for it, so that the
    // writes of several files overlap before each is flushed. Makes nothing durable by itself.
    virtual Result<void> startSync(Handle) { return {}; }
    virtual Result<void> close(Handle h) = 0;
    // Closes a read-only handle of a file that a rename has replaced. Its last handle frees the
    // old file's blocks, milliseconds for a large area that no caller waits for, so this may
    // close it a little later on another thread. Nothing is reported.
    virtual void closeReplaced(Handle h) { (void)close(h); }

    // Atomic replacement of `to` by `from` on the same file system.
    virtual Result<void> rename(const std::string& from, const std::string& to) = 0;
    virtual Result<void> remove(const std::string& path) = 0;
    // Makes renames and creations inside a directory durable.
    virtual Result<void> syncDirectory(const std::string& path) = 0;
    virtual Result<void> makeDirectory(const std::string& path) = 0;

    virtual bool exists(const std::string& path) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    virtual Result<uint64_t> fileSize(const std::string& path) = 0;
    virtual Result<Stamp> stamp(const std::string& path) = 0;
    // A write lock on bytes [offset, offset + length) of a file open for writing, the kind the
    // board software takes around its own in-place updates (an fcntl record lock). Waits up to
    // waitMs for another holder, then fails with EAGAIN. unlockRange or closing the handle ends it.
    virtual Result<void> lockRange(Handle h, uint64_t offset, uint64_t length, int waitMs) = 0;
    virtual Result<void> unlockRange(Handle h, uint64_t offset, uint64_t length) = 0;
    virtual Result<std::vector<DirEntry>> list(const std::string& directory) = 0;
    // Whether another process may still have the file open: false once a write lease, which
    // only a file no one else has open can get, was taken (and let go at once). Fails where
    // leases are not supported or not allowed; callers then wait a grace period instead.
    virtual Result<bool> openElsewhere(Handle) { return Error { ENOSYS, "no leases" }; }
    // Takes a write lease and keeps it until releaseLease: any other process that opens the
    // file meanwhile waits in its open until then. False when another process has it open now.
    virtual Result<bool> holdLease(Handle) { return Error { ENOSYS, "no leases" }; }
    virtual void releaseLease(Handle) { }

    // Copies up to n bytes from one open file to another (in the kernel where it can); returns
    // how many were copied, fewer only at the end of the source.
    virtual Result<uint64_t> copyRange(Handle from, uint64_t fromOffset, Handle to, uint64_t toOffset, uint64_t n);
    // Sets the modification time of a file open for writing (a copy keeps its original's).
    virtual Result<void> setModifiedTime(Handle, int64_t /*ns since the epoch*/) { return {}; }
    // Gives a file open for writing the permission bits of the file at path and, where the
    // process may, its owner and group (a file written anew to replace another stays as it was).
    virtual Result<void> takeModeAndOwner(Handle, const std::string& /*path*/) { return {}; }
    // Whether several threads may open, read and close files through this at once.
    virtual bool readsFromThreads() const { return false; }
    // Whether several threads may also write and flush different files through this at once.
    virtual bool writesFromThreads() const { return false; }
};

// The process-wide implementation on POSIX calls.
FileIo& systemFileIo();

// Closes a handle when it goes out of scope (errors on this path are already being reported).
class ScopedHandle {
public:
    ScopedHandle(FileIo& io, FileIo::Handle h)
        : m_io(&io)
        , m_handle(h)
    {
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle()
    {
        if (m_handle >= 0)
            (void)m_io->close(m_handle);
    }
    FileIo::Handle get() const { return m_handle; }
    // Closes now and reports the result; the destructor then does nothing.
    Result<void> close()
    {
        FileIo::Handle h = m_handle;
        m_handle = -1;
        return m_io->close(h);
    }

private:
    FileIo* m_io;
    FileIo::Handle m_handle;
};

// Flushes files whose writes are independent of each other: starts the writes of all, then waits
// for each (syncData), so the device sees them together instead of one after the other.
Result<void> syncTogether(FileIo& io, std::span<const FileIo::Handle> handles);

// Reads a whole file, refusing files larger than limit bytes.
Result<std::vector<uint8_t>> readWholeFile(FileIo& io, const std::string& path, uint64_t limit);

} // namespace qv
