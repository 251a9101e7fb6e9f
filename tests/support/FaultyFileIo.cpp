#include "tests/support/FaultyFileIo.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace qv::test {

const char* FaultyFileIo::name(Op op)
{
    static const char* const names[] = { "open", "read", "write", "truncate", "sync", "close", "rename", "remove",
        "syncDirectory", "makeDirectory", "lock", "startSync" };
    static_assert(std::size(names) == size_t(Op::Count));
    return op < Op::Count ? names[size_t(op)] : "?";
}

void FaultyFileIo::failAt(Op op, int n, int code)
{
    std::lock_guard lock(m_mutex);
    m_failOp = op;
    m_failAt = n;
    m_failCode = code;
    m_failOnward = false;
}

void FaultyFileIo::failFrom(Op op, int n, int code)
{
    failAt(op, n, code);
    std::lock_guard lock(m_mutex);
    m_failOnward = true;
}

void FaultyFileIo::crashAt(int step, bool tornWrite)
{
    std::lock_guard lock(m_mutex);
    m_crashAt = step;
    m_torn = tornWrite;
}

void FaultyFileIo::resetCounts()
{
    std::lock_guard lock(m_mutex);
    m_calls = {};
    m_callLog.clear();
    m_stepLog.clear();
    m_steps = 0;
    m_stamps = 0;
    m_copies = 0;
    m_waits = 0;
    m_started.clear();
}

std::string FaultyFileIo::fileOf(Handle h) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_files.find(h);
    return found == m_files.end() ? std::string() : found->second;
}

bool FaultyFileIo::hit(Op op, const std::string& file)
{
    std::lock_guard lock(m_mutex);
    m_callLog.push_back({ op, file });
    const int n = ++m_calls[size_t(op)];
    return op == m_failOp && (n == m_failAt || (m_failOnward && n > m_failAt));
}

Error FaultyFileIo::failure(Op op) const
{
    std::lock_guard lock(m_mutex);
    return Error { m_failCode, std::string("injected failure of ") + name(op) + ": " + std::strerror(m_failCode) };
}

void FaultyFileIo::step(
    Op op, const std::string& file, Handle tornHandle, uint64_t offset, const void* buffer, size_t size)
{
    std::lock_guard lock(m_mutex);
    m_stepLog.push_back({ op, file });
    if (++m_steps != m_crashAt)
        return;
    if (m_torn && tornHandle >= 0 && size > 1)
        (void)m_inner.writeAt(tornHandle, offset, buffer, size / 2);
    ::kill(::getpid(), SIGKILL);
}

// Fails the call when it is the chosen one; else counts a changing step and makes it.
template <class F> auto FaultyFileIo::guarded(Op op, const std::string& file, bool changing, F call) -> decltype(call())
{
    if (hit(op, file))
        return failure(op);
    if (changing)
        step(op, file);
    return call();
}

Result<FileIo::Handle> FaultyFileIo::open(const std::string& path, Mode mode)
{
    if (hit(Op::Open, path))
        return failure(Op::Open);
    if (mode != Mode::Read)
        step(Op::Open, path);
    auto h = m_inner.open(path, mode);
    if (h) {
        std::lock_guard lock(m_mutex);
        m_files[*h] = path + "#" + std::to_string(++m_opens);
    }
    return h;
}

Result<size_t> FaultyFileIo::readAt(Handle h, uint64_t offset, void* buffer, size_t size)
{
    return guarded(Op::Read, fileOf(h), false, [&] { return m_inner.readAt(h, offset, buffer, size); });
}

Result<void> FaultyFileIo::writeAt(Handle h, uint64_t offset, const void* buffer, size_t size)
{
    const std::string file = fileOf(h);
    if (hit(Op::Write, file)) {
        if (m_tearFailures)
            (void)m_inner.writeAt(h, offset, buffer, size / 2);
        return failure(Op::Write);
    }
    step(Op::Write, file, h, offset, buffer, size);
    return m_inner.writeAt(h, offset, buffer, size);
}

Result<uint64_t> FaultyFileIo::append(Handle h, const void* buffer, size_t size, std::optional<uint64_t>* startedAt)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = m_appendHook;
    }
    if (hook)
        hook();
    const std::string file = fileOf(h);
    if (hit(Op::Write, file)) {
        if (m_tearFailures)
            if (auto at = m_inner.append(h, buffer, size / 2); at && startedAt)
                *startedAt = *at;
        return failure(Op::Write);
    }
    step(Op::Write, file, h, 0, buffer, size);
    return m_inner.append(h, buffer, size, startedAt);
}

Result<void> FaultyFileIo::writePieces(Handle h, std::span<const Piece> pieces)
{
    const auto half = pieces.first(pieces.size() / 2);
    if (hit(Op::Write, h)) {
        if (m_tearFailures)
            (void)m_inner.writePieces(h, half);
        return failure(Op::Write);
    }
    if (m_steps + 1 == m_crashAt && m_torn)
        (void)m_inner.writePieces(h, half);
    step(Op::Write, h);
    return m_inner.writePieces(h, pieces);
}

Result<uint64_t> FaultyFileIo::copyRange(Handle from, uint64_t fromOffset, Handle to, uint64_t toOffset, uint64_t n)
{
    std::function<void(int)> hook;
    int number = 0;
    {
        std::lock_guard lock(m_mutex);
        hook = m_copyHook;
        number = ++m_copies;
    }
    if (hook)
        hook(number);
    if (hit(Op::Write, to))
        return failure(Op::Write);
    step(Op::Write, to);
    return m_inner.copyRange(from, fromOffset, to, toOffset, n);
}

Result<void> FaultyFileIo::truncate(Handle h, uint64_t length)
{
    return guarded(Op::Truncate, fileOf(h), true, [&] { return m_inner.truncate(h, length); });
}

void FaultyFileIo::waited(Handle h)
{
    std::lock_guard lock(m_mutex);
    const auto started = std::find(m_started.begin(), m_started.end(), h);
    if (started == m_started.end()) {
        ++m_waits;
        return;
    }
    // The first flush of a batch waits; the others find their writes done or under way.
    if (!m_batchWaited)
        ++m_waits;
    m_batchWaited = true;
    m_started.erase(started);
    if (m_started.empty())
        m_batchWaited = false;
}

Result<void> FaultyFileIo::sync(Handle h)
{
    return guarded(Op::Sync, fileOf(h), true, [&] { return waited(h), m_inner.sync(h); });
}

Result<void> FaultyFileIo::syncData(Handle h)
{
    return guarded(Op::Sync, fileOf(h), true, [&] { return waited(h), m_inner.syncData(h); });
}

Result<void> FaultyFileIo::startSync(Handle h)
{
    if (hit(Op::StartSync, h))
        return failure(Op::StartSync);
    {
        std::lock_guard lock(m_mutex);
        if (std::find(m_started.begin(), m_started.end(), h) == m_started.end())
            m_started.push_back(h);
        if (m_started.size() == 1)
            m_batchWaited = false;
    }
    return m_inner.startSync(h);
}

Result<void> FaultyFileIo::close(Handle h)
{
    // The descriptor is released even when close reports an error, as on POSIX.
    const std::string file = fileOf(h);
    auto closed = m_inner.close(h);
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_started, h); // a number the next open may hand out again
        m_files.erase(h);
    }
    if (hit(Op::Close, file))
        return failure(Op::Close);
    return closed;
}

Result<void> FaultyFileIo::rename(const std::string& from, const std::string& to)
{
    return guarded(Op::Rename, to, true, [&] { return m_inner.rename(from, to); });
}

Result<void> FaultyFileIo::remove(const std::string& path)
{
    return guarded(Op::Remove, path, true, [&] { return m_inner.remove(path); });
}

Result<void> FaultyFileIo::syncDirectory(const std::string& path)
{
    return guarded(Op::SyncDirectory, path, true, [&] { return ++m_waits, m_inner.syncDirectory(path); });
}

Result<void> FaultyFileIo::makeDirectory(const std::string& path)
{
    return guarded(Op::MakeDirectory, path, true, [&] { return m_inner.makeDirectory(path); });
}

Result<FileIo::Stamp> FaultyFileIo::stamp(const std::string& path)
{
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(m_mutex);
        if (++m_stamps == m_stampAt)
            hook = m_stampHook;
    }
    if (hook)
        hook(path);
    return m_inner.stamp(path);
}

Result<void> FaultyFileIo::lockRange(Handle h, uint64_t offset, uint64_t length, int waitMs)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = m_lockHook;
    }
    if (hook)
        hook();
    return guarded(Op::Lock, fileOf(h), false, [&] { return m_inner.lockRange(h, offset, length, waitMs); });
}

} // namespace qv::test
