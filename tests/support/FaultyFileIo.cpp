#include "tests/support/FaultyFileIo.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace qv::test {

const char* FaultyFileIo::name(Op op)
{
    switch (op) {
    case Op::Open:
        return "open";
    case Op::Read:
        return "read";
    case Op::Write:
        return "write";
    case Op::Truncate:
        return "truncate";
    case Op::Sync:
        return "sync";
    case Op::Close:
        return "close";
    case Op::Rename:
        return "rename";
    case Op::Remove:
        return "remove";
    case Op::SyncDirectory:
        return "syncDirectory";
    case Op::MakeDirectory:
        return "makeDirectory";
    case Op::Lock:
        return "lock";
    case Op::StartSync:
        return "startSync";
    case Op::Count:
        break;
    }
    return "?";
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
    m_steps = 0;
    m_stamps = 0;
    m_copies = 0;
    m_waits = 0;
    m_started.clear();
}

bool FaultyFileIo::hit(Op op)
{
    std::lock_guard lock(m_mutex);
    const int n = ++m_calls[size_t(op)];
    return op == m_failOp && (n == m_failAt || (m_failOnward && n > m_failAt));
}

Error FaultyFileIo::failure(Op op) const
{
    std::lock_guard lock(m_mutex);
    return Error { m_failCode, std::string("injected failure of ") + name(op) + ": " + std::strerror(m_failCode) };
}

void FaultyFileIo::step(Handle tornHandle, uint64_t offset, const void* buffer, size_t size)
{
    std::lock_guard lock(m_mutex);
    if (++m_steps != m_crashAt)
        return;
    if (m_torn && tornHandle >= 0 && size > 1)
        (void)m_inner.writeAt(tornHandle, offset, buffer, size / 2);
    ::kill(::getpid(), SIGKILL);
}

Result<FileIo::Handle> FaultyFileIo::open(const std::string& path, Mode mode)
{
    if (hit(Op::Open))
        return failure(Op::Open);
    if (mode != Mode::Read)
        step();
    return m_inner.open(path, mode);
}

Result<size_t> FaultyFileIo::readAt(Handle h, uint64_t offset, void* buffer, size_t size)
{
    if (hit(Op::Read))
        return failure(Op::Read);
    return m_inner.readAt(h, offset, buffer, size);
}

Result<void> FaultyFileIo::writeAt(Handle h, uint64_t offset, const void* buffer, size_t size)
{
    if (hit(Op::Write)) {
        if (m_tearFailures)
            (void)m_inner.writeAt(h, offset, buffer, size / 2);
        return failure(Op::Write);
    }
    step(h, offset, buffer, size);
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
    if (hit(Op::Write)) {
        if (m_tearFailures)
            if (auto at = m_inner.append(h, buffer, size / 2); at && startedAt)
                *startedAt = *at;
        return failure(Op::Write);
    }
    step(h, 0, buffer, size);
    return m_inner.append(h, buffer, size, startedAt);
}

Result<void> FaultyFileIo::writePieces(Handle h, std::span<const Piece> pieces)
{
    const auto half = pieces.first(pieces.size() / 2);
    if (hit(Op::Write)) {
        if (m_tearFailures)
            (void)m_inner.writePieces(h, half);
        return failure(Op::Write);
    }
    if (m_steps + 1 == m_crashAt && m_torn)
        (void)m_inner.writePieces(h, half);
    step();
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
    if (hit(Op::Write))
        return failure(Op::Write);
    step();
    return m_inner.copyRange(from, fromOffset, to, toOffset, n);
}

Result<void> FaultyFileIo::truncate(Handle h, uint64_t length)
{
    if (hit(Op::Truncate))
        return failure(Op::Truncate);
    step();
    return m_inner.truncate(h, length);
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
    if (hit(Op::Sync))
        return failure(Op::Sync);
    step();
    waited(h);
    return m_inner.sync(h);
}

Result<void> FaultyFileIo::syncData(Handle h)
{
    if (hit(Op::Sync))
        return failure(Op::Sync);
    step();
    waited(h);
    return m_inner.syncData(h);
}

Result<void> FaultyFileIo::startSync(Handle h)
{
    if (hit(Op::StartSync))
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
    auto closed = m_inner.close(h);
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_started, h); // a number the next open may hand out again
    }
    if (hit(Op::Close))
        return failure(Op::Close);
    return closed;
}

Result<void> FaultyFileIo::rename(const std::string& from, const std::string& to)
{
    if (hit(Op::Rename))
        return failure(Op::Rename);
    step();
    return m_inner.rename(from, to);
}

Result<void> FaultyFileIo::remove(const std::string& path)
{
    if (hit(Op::Remove))
        return failure(Op::Remove);
    step();
    return m_inner.remove(path);
}

Result<void> FaultyFileIo::syncDirectory(const std::string& path)
{
    if (hit(Op::SyncDirectory))
        return failure(Op::SyncDirectory);
    step();
    ++m_waits;
    return m_inner.syncDirectory(path);
}

Result<void> FaultyFileIo::makeDirectory(const std::string& path)
{
    if (hit(Op::MakeDirectory))
        return failure(Op::MakeDirectory);
    step();
    return m_inner.makeDirectory(path);
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
    if (hit(Op::Lock))
        return failure(Op::Lock);
    return m_inner.lockRange(h, offset, length, waitMs);
}

} // namespace qv::test
