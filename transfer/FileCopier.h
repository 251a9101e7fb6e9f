#pragma once

#include "platform/ShortName.h"
#include "storage/FileIo.h"

#include <QString>

#include <functional>

namespace qv {

// The one way a transfer copies a physical file. The copy is written under a temporary name in
// the destination directory, flushed, given its original's modification time and only then
// renamed, so a file under its real name is always whole. An existing file of the same name in
// any case (or of that 8.3 alias) is the one asked about and replaced, never a second file
// beside it; a file copied onto itself is left alone.
class FileCopier {
public:
    enum class Status {
        Copied,
        Declined, // the overwrite question was answered No
        SameFile, // source and destination are one file: nothing to do, nothing to delete
        Failed,
        Cancelled, // the user stopped the transfer: nothing was written
    };
    struct Copy {
        Status status = Status::Failed;
        QString source;
        QString destination; // the file that was (or would have been) written
        bool replaced = false; // a file was there before the copy
        bool pathNotFound = false; // the destination directory is missing
        QString error;
        bool completed() const { return status == Status::Copied; }
    };
    struct Callbacks {
        // Asked when the destination exists; without it the existing file is kept.
        std::function<bool(const QString& destination)> overwrite;
        // Bytes copied so far of total; the window lets events run here.
        std::function<void(qint64 done, qint64 total)> progress;
        // Asked before a copy and after each piece of it; true stops the copy and removes it.
        std::function<bool()> cancelled;
        // The bytes are copied on a worker thread while this one runs its event loop; the three
        // functions above are still called on this thread only.
        bool onWorker = false;
    };

    explicit FileCopier(FileIo& io = systemFileIo());

    // Copies the file at source into directory under the source's own name. names, when given,
    // is the directory's listing, kept up to date (a transfer of many files lists it once).
    Copy copyInto(const QString& source, const QString& directory, const Callbacks& callbacks,
        shortname::DirectoryNames* names = nullptr) const;

    // Removes the temporary files that copies of processes no longer running left in directory
    // (a copy killed half way).
    void removeLeftovers(const QString& directory) const;

private:
    struct Job {
        std::string source, temporary, destination, directory;
        int64_t modifiedNs = 0;
    };
    enum class Ended { Written, Stopped, Failed };
    struct Written {
        Ended ended = Ended::Failed;
        Error error;
    };
    struct Pieces {
        std::function<void(uint64_t done, uint64_t total)> report;
        std::function<bool()> stop;
    };
    // The copy under the temporary name, its flush and its rename: nothing but calls of the
    // FileIo, so it runs on any thread.
    Written write(const Job& job, const Pieces& pieces) const;
    Written writeOnWorker(const Job& job, const Callbacks& callbacks) const;

    FileIo& m_io;
};

} // namespace qv
