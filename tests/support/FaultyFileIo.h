#pragma once

// A FileIo in front of another that fails chosen calls or kills the process at a chosen step,
// to prove that no failure and no crash leaves an area torn.
//
//   qv::test::FaultyFileIo io(qv::systemFileIo());
//   io.failAt(FaultyFileIo::Op::Rename, 2, EIO);   // the second rename fails, once
//   io.failFrom(FaultyFileIo::Op::Rename, 2, EIO); // the second and every later rename fail
//   store(io).rewrite(...);                       // returns the error
//   io.calls(FaultyFileIo::Op::Write);            // how many writes a run made
//
//   io.crashAt(5);      // SIGKILL before the fifth changing call (run it in a child process)
//   io.crashAt(5, true) // a write at that step puts half its bytes on disk first
//
// Safe to call from several threads at once (a file copy runs on a worker); the hooks run on the
// thread of the call they precede.
//
// A failing write (unless tearFailedWrites) or truncate changes nothing; "changing calls" are open for writing, write,
// truncate, sync, rename, remove, directory sync and mkdir. A lock is counted but changes nothing.

#include "storage/FileIo.h"

#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace qv::test {

class FaultyFileIo final : public FileIo {
public:
    enum class Op {
        Open,
        Read,
        Write,
        Truncate,
        Sync,
        Close,
        Rename,
        Remove,
        SyncDirectory,
        MakeDirectory,
        Lock,
        StartSync,
        Count
    };
    static constexpr std::array<Op, 11> kFailable { Op::Open, Op::Read, Op::Write, Op::Truncate, Op::Sync, Op::Close,
        Op::Rename, Op::Remove, Op::SyncDirectory, Op::Lock, Op::StartSync };
    static const char* name(Op op);

    explicit FaultyFileIo(FileIo& inner)
        : m_inner(inner)
    {
    }

    void failAt(Op op, int n, int code);
    void failFrom(Op op, int n, int code);
    void crashAt(int step, bool tornWrite = false);
    // A failing write puts half its bytes on disk first, as a full disk does.
    void tearFailedWrites(bool torn = true) { m_tearFailures = torn; }
    int calls(Op op) const
    {
        std::lock_guard lock(m_mutex);
        return m_calls[size_t(op)];
    }
    // Times the caller waited for the device: each directory flush, each file flush not started
    // with startSync, and once for files started together and then flushed.
    int flushWaits() const
    {
        std::lock_guard lock(m_mutex);
        return m_waits;
    }
    void resetCounts();

    // One call as the log keeps it: its kind and the file it went to; file names the open it
    // went through (path#n), so two opens of one path are two files.
    struct Call {
        Op op = Op::Count;
        std::string file;
    };
    // Every counted call since the last reset, in order.
    std::vector<Call> callLog() const
    {
        std::lock_guard lock(m_mutex);
        return m_callLog;
    }
    // Every changing step since the last reset, in order (step n is element n - 1).
    std::vector<Call> stepLog() const
    {
        std::lock_guard lock(m_mutex);
        return m_stepLog;
    }

    Result<Handle> open(const std::string& path, Mode mode) override;
    Result<size_t> readAt(Handle h, uint64_t offset, void* buffer, size_t size) override;
    Result<void> writeAt(Handle h, uint64_t offset, const void* buffer, size_t size) override;
    // Counted, failed and torn as a write; beforeAppend's hook runs first.
    Result<uint64_t> append(Handle h, const void* buffer, size_t size, std::optional<uint64_t>* startedAt) override;
    // Counted, failed and torn as one write (torn: the first half of the pieces).
    Result<void> writePieces(Handle h, std::span<const Piece> pieces) override;
    Result<uint64_t> size(Handle h) override { return m_inner.size(h); }
    Result<void> truncate(Handle h, uint64_t length) override;
    Result<void> sync(Handle h) override;
    // Counted and failed as a sync.
    Result<void> syncData(Handle h) override;
    Result<void> startSync(Handle h) override;
    Result<void> close(Handle h) override;
    Result<void> rename(const std::string& from, const std::string& to) override;
    Result<void> remove(const std::string& path) override;
    Result<void> syncDirectory(const std::string& path) override;
    Result<void> makeDirectory(const std::string& path) override;
    bool exists(const std::string& path) override { return m_inner.exists(path); }
    bool isDirectory(const std::string& path) override { return m_inner.isDirectory(path); }
    Result<uint64_t> fileSize(const std::string& path) override { return m_inner.fileSize(path); }
    Result<std::vector<DirEntry>> list(const std::string& directory) override { return m_inner.list(directory); }
    Result<Stamp> stamp(const std::string& path) override;
    // A copy between files counts as one write (and may be torn like one).
    Result<uint64_t> copyRange(Handle from, uint64_t fromOffset, Handle to, uint64_t toOffset, uint64_t n) override;
    Result<void> setModifiedTime(Handle h, int64_t ns) override { return m_inner.setModifiedTime(h, ns); }
    Result<void> takeModeAndOwner(Handle h, const std::string& path) override
    {
        return m_inner.takeModeAndOwner(h, path);
    }
    // A lock that cannot be had fails like the board holding it (EAGAIN unless told otherwise).
    Result<void> lockRange(Handle h, uint64_t offset, uint64_t length, int waitMs) override;
    bool readsFromThreads() const override { return m_inner.readsFromThreads(); }
    // Off unless allowed: the steps a fault or a kill is put at keep one order from run to run.
    bool writesFromThreads() const override { return m_writesFromThreads && m_inner.writesFromThreads(); }
    void allowWritesFromThreads() { m_writesFromThreads = true; }
    Result<bool> openElsewhere(Handle h) override
    {
        if (m_elsewhereHook)
            m_elsewhereHook(h);
        return m_inner.openElsewhere(h);
    }
    Result<void> unlockRange(Handle h, uint64_t offset, uint64_t length) override
    {
        return m_inner.unlockRange(h, offset, length);
    }
    // Runs before the n-th stamp() (counting from 1) is answered; a test changes the file there
    // as another program would while a rewrite runs.
    void beforeStamp(int n, std::function<void(const std::string& path)> hook)
    {
        std::lock_guard lock(m_mutex);
        m_stampAt = n;
        m_stampHook = std::move(hook);
    }
    // Runs before every copy between files with its number (from 1): a test holds a copy there
    // to act while it is half way.
    void beforeCopyRange(std::function<void(int n)> hook)
    {
        std::lock_guard lock(m_mutex);
        m_copyHook = std::move(hook);
    }

    // Runs before every append: a test appends there as the board would, between the moment
    // the caller measured the file and its own write.
    void beforeAppend(std::function<void()> hook)
    {
        std::lock_guard lock(m_mutex);
        m_appendHook = std::move(hook);
    }

    // Runs before every lock: a change takes it just before its last look at the files, so a
    // test changes them there as the board would at the last moment.
    void beforeLock(std::function<void()> hook)
    {
        std::lock_guard lock(m_mutex);
        m_lockHook = std::move(hook);
    }
    // Runs before every question whether another process has a file open: a test writes there
    // as a board process would that opened the file a moment earlier.
    void beforeOpenElsewhere(std::function<void(Handle)> hook) { m_elsewhereHook = std::move(hook); }

private:
    template <class F> auto guarded(Op op, const std::string& file, bool changing, F call) -> decltype(call());
    // Counts and logs the call; true when it is the one to fail.
    bool hit(Op op, const std::string& file);
    bool hit(Op op, Handle h) { return hit(op, fileOf(h)); }
    std::string fileOf(Handle h) const;
    // Counts and logs a changing step and dies when it is the chosen one (after half a write if
    // torn).
    void step(Op op, const std::string& file, Handle tornHandle = -1, uint64_t offset = 0, const void* buffer = nullptr,
        size_t size = 0);
    void step(Op op, Handle h) { step(op, fileOf(h)); }
    Error failure(Op op) const;
    // Counts the wait a flush of h makes.
    void waited(Handle h);

    FileIo& m_inner;
    mutable std::mutex m_mutex; // guards the counts and settings below
    std::array<int, size_t(Op::Count)> m_calls {};
    std::vector<Call> m_callLog;
    std::vector<Call> m_stepLog;
    std::map<Handle, std::string> m_files; // open handles
    int m_opens = 0;
    Op m_failOp = Op::Count;
    int m_failAt = 0;
    int m_failCode = 0;
    bool m_failOnward = false;
    int m_steps = 0;
    int m_crashAt = 0;
    bool m_tearFailures = false;
    bool m_writesFromThreads = false;
    std::function<void(Handle)> m_elsewhereHook;
    bool m_torn = false;
    int m_stamps = 0;
    int m_waits = 0;
    std::vector<Handle> m_started; // started and not flushed yet
    bool m_batchWaited = false;
    int m_stampAt = 0;
    std::function<void(const std::string&)> m_stampHook;
    int m_copies = 0;
    std::function<void(int)> m_copyHook;
    std::function<void()> m_appendHook;
    std::function<void()> m_lockHook;
};

} // namespace qv::test
