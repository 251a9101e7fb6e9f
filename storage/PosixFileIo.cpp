#include "storage/FileIo.h"
#include "storage/MappedWrite.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

Error errnoError(const char* op, const std::string& path)
{
    int code = errno;
    return Error { code, std::string(op) + " " + path + ": " + std::strerror(code) };
}

// How messages name an open file: "#7".
std::string handleName(int h)
{
    std::string name = "#";
    name += std::to_string(h);
    return name;
}

// Open-file-description locks where the kernel has them: they conflict with the board's classic
// record locks, but unlike those are not dropped when this process closes another descriptor of
// the same file (a patch opens the header file more than once).
int setLock(int fd, short type, uint64_t offset, uint64_t length)
{
    struct flock fl { };
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(offset);
    fl.l_len = off_t(length);
#ifdef F_OFD_SETLK
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0)
        return 0;
    if (errno != EINVAL)
        return -1;
    fl.l_pid = 0;
#endif
    return ::fcntl(fd, F_SETLK, &fl);
}

// Closes descriptors on a thread of its own, in the order given; joined when it goes.
class Closer {
public:
    ~Closer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }
    void close(int fd)
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread([this] { run(); });
            } catch (const std::system_error&) {
                ::close(fd); // no thread to be had: closed here and now
                return;
            }
        }
        m_pending.push_back(fd);
        m_wake.notify_one();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || !m_pending.empty(); });
            while (!m_pending.empty()) {
                const int fd = m_pending.front();
                m_pending.erase(m_pending.begin());
                lock.unlock();
                ::close(fd);
                lock.lock();
            }
            if (m_stop)
                return;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<int> m_pending;
    bool m_stop = false;
    std::thread m_thread;
};

class PosixFileIo final : public FileIo {
public:
    Result<Handle> open(const std::string& path, Mode mode) override
    {
        int flags = O_CLOEXEC;
        switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::ReadWrite:
            flags |= O_RDWR;
            break;
        case Mode::CreateTruncate:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Mode::Append:
            flags |= O_WRONLY | O_CREAT | O_APPEND;
            break;
        }
        int fd = ::open(path.c_str(), flags, 0644);
        if (fd < 0)
            return errnoError("open", path);
        // A directory opens for reading; whether reading it then fails depends on the file
        // system (tmpfs gives a size and no error), so it is refused here, as a write would be.
        struct stat st { };
        if (mode == Mode::Read && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            return errnoError("open", path);
        }
        return fd;
    }

    Result<size_t> readAt(Handle h, uint64_t offset, void* buffer, size_t size) override
    {
        size_t done = 0;
        auto* out = static_cast<char*>(buffer);
        while (done < size) {
            ssize_t n = ::pread(h, out + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errnoError("read", handleName(h));
            }
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

    Result<void> writeAt(Handle h, uint64_t offset, const void* buffer, size_t size) override
    {
        int fl = ::fcntl(h, F_GETFL);
        bool append = fl >= 0 && (fl & O_APPEND);
        size_t done = 0;
        const auto* in = static_cast<const char*>(buffer);
        while (done < size) {
            ssize_t n = append ? ::write(h, in + done, size - done)
                               : ::pwrite(h, in + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errnoError("write", handleName(h));
            }
            done += static_cast<size_t>(n);
        }
        return {};
    }

    Result<uint64_t> append(Handle h, const void* buffer, size_t size, std::optional<uint64_t>* startedAt) override
    {
        // One write() on an O_APPEND descriptor takes the end and writes there in one step; the
        // offset after it, less what it wrote, is where the bytes begin.
        if (size == 0)
            return this->size(h);
        const auto* in = static_cast<const char*>(buffer);
        std::optional<uint64_t> start;
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::write(h, in + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (startedAt)
                    *startedAt = start;
                return n < 0 ? errnoError("write", handleName(h)) : Error { ENOSPC, "nothing was written" };
            }
            off_t end = ::lseek(h, 0, SEEK_CUR);
            if (end < 0)
                return errnoError("lseek", handleName(h));
            if (!start)
                start = uint64_t(end) - uint64_t(n);
            done += size_t(n);
            if (uint64_t(end) != *start + done) {
                // Cut short, and another program appended before the rest: the text is torn.
                if (startedAt)
                    *startedAt = start;
                return Error { EIO, "another program appended in the middle of a short write" };
            }
        }
        return *start;
    }

    Result<void> writePieces(Handle h, std::span<const Piece> pieces) override
    {
        // Many pieces (a description for every entry) are stored through a shared mapping of the
        // stretch they lie in: one call per piece costs far more than the bytes. The mapped
        // bytes are the file's own cache pages, so writes of other programs to the bytes
        // between are kept, and the flush that follows writes them out. A program that shortens
        // the file meanwhile makes it a failed write, not the end of this one.
        if (pieces.size() < 64)
            return FileIo::writePieces(h, pieces);
        uint64_t lo = UINT64_MAX, hi = 0;
        for (const Piece& p : pieces) {
            lo = std::min(lo, p.offset);
            hi = std::max(hi, p.offset + p.size);
        }
        struct stat st { };
        if (::fstat(h, &st) != 0)
            return errnoError("stat", handleName(h));
        if (hi > uint64_t(st.st_size) || hi <= lo)
            return FileIo::writePieces(h, pieces);
        const uint64_t page = uint64_t(::sysconf(_SC_PAGESIZE));
        const uint64_t start = lo / page * page;
        const size_t length = size_t(hi - start);
        void* map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, h, off_t(start));
        if (map == MAP_FAILED)
            return FileIo::writePieces(h, pieces);
        auto* base = static_cast<uint8_t*>(map);
        const bool whole = MappedWrite::run(map, length, [&] {
            for (const Piece& p : pieces)
                std::memcpy(base + (p.offset - start), p.data, p.size);
        });
        if (::munmap(map, length) != 0)
            return errnoError("munmap", handleName(h));
        if (!whole)
            return Error { EIO, handleName(h) + " became shorter while it was written" };
        return {};
    }

    Result<uint64_t> size(Handle h) override
    {
        struct stat st { };
        if (::fstat(h, &st) != 0)
            return errnoError("stat", handleName(h));
        return static_cast<uint64_t>(st.st_size);
    }

    Result<void> truncate(Handle h, uint64_t length) override
    {
        if (::ftruncate(h, static_cast<off_t>(length)) != 0)
            return errnoError("truncate", handleName(h));
        return {};
    }

    Result<void> sync(Handle h) override
    {
        if (::fsync(h) != 0)
            return errnoError("fsync", handleName(h));
        return {};
    }

    Result<void> syncData(Handle h) override
    {
        if (::fdatasync(h) != 0)
            return errnoError("fdatasync", handleName(h));
        return {};
    }

    Result<void> startSync(Handle h) override
    {
#ifdef __linux__
        // Where it cannot start the writes, the flush that follows does them.
        if (::sync_file_range(h, 0, 0, SYNC_FILE_RANGE_WRITE) != 0 && errno != ENOSYS && errno != EINVAL
            && errno != ESPIPE && errno != EOPNOTSUPP)
            return errnoError("sync_file_range", handleName(h));
#else
        (void)h;
#endif
        return {};
    }

    Result<void> close(Handle h) override
    {
        if (::close(h) != 0 && errno != EINTR)
            return errnoError("close", handleName(h));
        return {};
    }
    void closeReplaced(Handle h) override { m_closer.close(h); }

    Result<void> rename(const std::string& from, const std::string& to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0)
            return errnoError("rename", from + " -> " + to);
        return {};
    }

    Result<void> remove(const std::string& path) override
    {
        if (::unlink(path.c_str()) != 0)
            return errnoError("delete", path);
        return {};
    }

    Result<void> syncDirectory(const std::string& path) override
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return errnoError("open", path);
        int rc = ::fsync(fd);
        Error err;
        if (rc != 0)
            err = errnoError("fsync", path);
        ::close(fd);
        if (rc != 0)
            return err;
        return {};
    }

    Result<void> makeDirectory(const std::string& path) override
    {
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
            return errnoError("mkdir", path);
        return {};
    }

    bool exists(const std::string& path) override
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0;
    }

    bool isDirectory(const std::string& path) override
    {
        struct stat st { };
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    Result<uint64_t> fileSize(const std::string& path) override
    {
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0)
            return errnoError("stat", path);
        return static_cast<uint64_t>(st.st_size);
    }

    Result<Stamp> stamp(const std::string& path) override
    {
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return Stamp {};
            return errnoError("stat", path);
        }
        return Stamp { true, uint64_t(st.st_size), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            uint64_t(st.st_dev), uint64_t(st.st_ino) };
    }

    Result<void> lockRange(Handle h, uint64_t offset, uint64_t length, int waitMs) override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            if (setLock(h, F_WRLCK, offset, length) == 0)
                return {};
            if (errno != EAGAIN && errno != EACCES && errno != EINTR)
                return errnoError("lock", handleName(h));
            if (std::chrono::steady_clock::now() >= deadline) {
                errno = EAGAIN;
                return errnoError("lock", handleName(h) + " (held by another program)");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    bool readsFromThreads() const override { return true; }
    bool writesFromThreads() const override { return true; }

    Result<bool> openElsewhere(Handle h) override
    {
        auto held = holdLease(h);
        if (held && *held)
            releaseLease(h); // at once: an opener that broke it waits only until then
        if (!held)
            return held.error();
        return !*held;
    }

    Result<bool> holdLease(Handle h) override
    {
        // Another process that opens the file while the lease is held breaks it, and the break
        // is told with SIGIO, which ends a process that has not chosen otherwise.
        static std::once_flag quiet;
        std::call_once(quiet, [] {
            struct sigaction now { };
            if (::sigaction(SIGIO, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
                ::signal(SIGIO, SIG_IGN);
        });
        if (::fcntl(h, F_SETLEASE, F_WRLCK) == 0)
            return true;
        if (errno == EAGAIN || errno == EBUSY)
            return false;
        return errnoError("lease", handleName(h));
    }

    void releaseLease(Handle h) override
    {
        (void)::fcntl(h, F_SETLEASE, F_UNLCK);
    }

    Result<void> unlockRange(Handle h, uint64_t offset, uint64_t length) override
    {
        if (setLock(h, F_UNLCK, offset, length) != 0)
            return errnoError("unlock", handleName(h));
        return {};
    }

    Result<std::vector<DirEntry>> list(const std::string& directory) override
    {
        DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
        if (!dir)
            return errnoError("list", directory);
        std::vector<DirEntry> entries;
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK)
                isDir = isDirectory(directory + "/" + name);
            entries.push_back({ std::move(name), isDir });
        }
        ::closedir(dir);
        return entries;
    }

    Result<uint64_t> copyRange(Handle from, uint64_t fromOffset, Handle to, uint64_t toOffset, uint64_t n) override
    {
        uint64_t done = 0;
        while (done < n) {
            auto in = static_cast<off_t>(fromOffset + done);
            auto out = static_cast<off_t>(toOffset + done);
            ssize_t got = ::copy_file_range(from, &in, to, &out, size_t(n - done), 0);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                // Across file systems or where the kernel cannot: through memory.
                if (done == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
                    return FileIo::copyRange(from, fromOffset, to, toOffset, n);
                return errnoError("copy", handleName(from));
            }
            if (got == 0)
                break;
            done += uint64_t(got);
        }
        return done;
    }

    Result<void> setModifiedTime(Handle h, int64_t ns) override
    {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = time_t(ns / 1000000000);
        times[1].tv_nsec = long(ns % 1000000000);
        if (::futimens(h, times) != 0)
            return errnoError("set time of", handleName(h));
        return {};
    }

    Result<void> takeModeAndOwner(Handle h, const std::string& path) override
    {
        struct stat old;
        if (::stat(path.c_str(), &old) != 0)
            return errnoError("stat", path);
        // Owner and group first: a change of owner may clear the set-id bits the mode restores.
        // Only a privileged process may give a file away; anyone else keeps its own.
        if (::fchown(h, old.st_uid, old.st_gid) != 0 && errno != EPERM)
            return errnoError("chown", handleName(h));
        if (::fchmod(h, old.st_mode & 07777) != 0)
            return errnoError("chmod", handleName(h));
        return {};
    }

private:
    Closer m_closer;
};

} // namespace

FileIo& systemFileIo()
{
    static PosixFileIo io;
    return io;
}

Result<uint64_t> FileIo::copyRange(Handle from, uint64_t fromOffset, Handle to, uint64_t toOffset, uint64_t n)
{
    std::vector<char> buffer(size_t(std::min<uint64_t>(n, uint64_t(1) << 20)));
    uint64_t done = 0;
    while (done < n) {
        auto got = readAt(from, fromOffset + done, buffer.data(), size_t(std::min<uint64_t>(n - done, buffer.size())));
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        if (auto w = writeAt(to, toOffset + done, buffer.data(), *got); !w)
            return w.error();
        done += *got;
    }
    return done;
}

Result<uint64_t> FileIo::append(Handle h, const void* buffer, size_t size, std::optional<uint64_t>* startedAt)
{
    // Right where no other process shares the file (memory, a test's wrapper of its own files).
    auto length = this->size(h);
    if (!length)
        return length.error();
    if (auto w = writeAt(h, *length, buffer, size); !w) {
        if (startedAt)
            *startedAt = *length;
        return w.error();
    }
    return *length;
}

Result<void> FileIo::writePieces(Handle h, std::span<const Piece> pieces)
{
    for (const Piece& p : pieces)
        if (auto w = writeAt(h, p.offset, p.data, p.size); !w)
            return w;
    return {};
}

Result<void> syncTogether(FileIo& io, std::span<const FileIo::Handle> handles)
{
    if (handles.size() > 1)
        for (FileIo::Handle h : handles)
            if (auto started = io.startSync(h); !started)
                return started;
    for (FileIo::Handle h : handles)
        if (auto synced = io.syncData(h); !synced)
            return synced;
    return {};
}

Result<std::vector<uint8_t>> readWholeFile(FileIo& io, const std::string& path, uint64_t limit)
{
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle file(io, *h);
    auto length = io.size(*h);
    if (!length)
        return length.error();
    if (*length > limit)
        return Error { EFBIG, path + " is larger than " + std::to_string(limit) + " bytes" };
    std::vector<uint8_t> bytes(static_cast<size_t>(*length));
    auto got = io.readAt(*h, 0, bytes.data(), bytes.size());
    if (!got)
        return got.error();
    bytes.resize(*got);
    return bytes;
}

} // namespace qv
