#include "storage/MemoryFileIo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace qv {

namespace {
Error error(int code, const std::string& what)
{
    return Error { code, what + ": " + std::strerror(code) };
}
// Offsets beyond this are refused so a wild offset cannot make the store allocate without bound.
constexpr uint64_t kMaxFileSize = uint64_t(1) << 32;
}

MemoryFileIo::MemoryFileIo()
{
    m_dirs.insert("/");
}

std::string MemoryFileIo::normalize(const std::string& path)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        std::string part = path.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(std::move(part));
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string MemoryFileIo::parentOf(const std::string& normalized)
{
    const size_t slash = normalized.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : normalized.substr(0, slash);
}

void MemoryFileIo::addDirectory(const std::string& path)
{
    for (std::string p = normalize(path); m_dirs.insert(p).second && p != "/"; p = parentOf(p)) { }
}

void MemoryFileIo::setFile(const std::string& path, std::vector<uint8_t> bytes)
{
    const std::string p = normalize(path);
    addDirectory(parentOf(p));
    auto& data = m_files[p];
    const int64_t changes = data ? m_changes[data.get()] + 1 : 0;
    data = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
    m_changes[data.get()] = changes;
}

void MemoryFileIo::setFile(const std::string& path, std::string_view bytes)
{
    setFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::optional<std::vector<uint8_t>> MemoryFileIo::file(const std::string& path) const
{
    auto it = m_files.find(normalize(path));
    if (it == m_files.end())
        return std::nullopt;
    return *it->second;
}

Result<FileIo::Handle> MemoryFileIo::open(const std::string& path, Mode mode)
{
    const std::string p = normalize(path);
    if (m_dirs.count(p))
        return error(EISDIR, "open " + path);
    auto it = m_files.find(p);
    if (it == m_files.end()) {
        if (mode == Mode::Read || mode == Mode::ReadWrite)
            return error(ENOENT, "open " + path);
        if (!m_dirs.count(parentOf(p)))
            return error(ENOENT, "open " + path);
        it = m_files.emplace(p, std::make_shared<std::vector<uint8_t>>()).first;
    } else if (mode == Mode::CreateTruncate) {
        it->second->clear();
        ++m_changes[it->second.get()];
    }
    if (m_next == std::numeric_limits<Handle>::max())
        return error(EMFILE, "open " + path);
    const Handle h = m_next++;
    m_open[h] = OpenFile { it->second, mode };
    return h;
}

Result<size_t> MemoryFileIo::readAt(Handle h, uint64_t offset, void* buffer, size_t size)
{
    auto it = m_open.find(h);
    if (it == m_open.end() || it->second.mode == Mode::CreateTruncate || it->second.mode == Mode::Append)
        return error(EBADF, "read");
    const auto& data = *it->second.data;
    if (offset >= data.size())
        return size_t(0);
    const size_t n = std::min<uint64_t>(size, data.size() - offset);
    if (n)
        std::memcpy(buffer, data.data() + offset, n);
    return n;
}

Result<void> MemoryFileIo::writeAt(Handle h, uint64_t offset, const void* buffer, size_t size)
{
    auto it = m_open.find(h);
    if (it == m_open.end() || it->second.mode == Mode::Read)
        return error(EBADF, "write");
    auto& data = *it->second.data;
    if (it->second.mode == Mode::Append)
        offset = data.size();
    if (offset > kMaxFileSize || size > kMaxFileSize - offset)
        return error(EFBIG, "write");
    if (offset + size > data.size())
        data.resize(size_t(offset + size), 0);
    if (size)
        std::memcpy(data.data() + offset, buffer, size);
    ++m_changes[&data];
    return {};
}

Result<uint64_t> MemoryFileIo::size(Handle h)
{
    auto it = m_open.find(h);
    if (it == m_open.end())
        return error(EBADF, "stat");
    return uint64_t(it->second.data->size());
}

Result<void> MemoryFileIo::truncate(Handle h, uint64_t length)
{
    auto it = m_open.find(h);
    if (it == m_open.end() || it->second.mode == Mode::Read)
        return error(EBADF, "truncate");
    if (length > kMaxFileSize)
        return error(EFBIG, "truncate");
    it->second.data->resize(size_t(length), 0);
    ++m_changes[it->second.data.get()];
    return {};
}

Result<void> MemoryFileIo::sync(Handle h)
{
    if (!m_open.count(h))
        return error(EBADF, "fsync");
    return {};
}

Result<void> MemoryFileIo::close(Handle h)
{
    if (!m_open.erase(h))
        return error(EBADF, "close");
    return {};
}

Result<void> MemoryFileIo::rename(const std::string& from, const std::string& to)
{
    const std::string f = normalize(from);
    const std::string t = normalize(to);
    auto it = m_files.find(f);
    if (it == m_files.end())
        return error(m_dirs.count(f) ? EISDIR : ENOENT, "rename " + from);
    if (m_dirs.count(t))
        return error(EISDIR, "rename " + to);
    if (!m_dirs.count(parentOf(t)))
        return error(ENOENT, "rename " + to);
    Data data = it->second;
    m_files.erase(it);
    m_files[t] = std::move(data);
    return {};
}

Result<void> MemoryFileIo::remove(const std::string& path)
{
    if (!m_files.erase(normalize(path)))
        return error(m_dirs.count(normalize(path)) ? EISDIR : ENOENT, "delete " + path);
    return {};
}

Result<void> MemoryFileIo::syncDirectory(const std::string& path)
{
    if (!m_dirs.count(normalize(path)))
        return error(ENOENT, "open " + path);
    return {};
}

Result<void> MemoryFileIo::makeDirectory(const std::string& path)
{
    const std::string p = normalize(path);
    if (m_dirs.count(p))
        return {};
    if (m_files.count(p))
        return error(EEXIST, "mkdir " + path);
    if (!m_dirs.count(parentOf(p)))
        return error(ENOENT, "mkdir " + path);
    m_dirs.insert(p);
    return {};
}

bool MemoryFileIo::exists(const std::string& path)
{
    const std::string p = normalize(path);
    return m_files.count(p) || m_dirs.count(p);
}

bool MemoryFileIo::isDirectory(const std::string& path)
{
    return m_dirs.count(normalize(path)) != 0;
}

Result<uint64_t> MemoryFileIo::fileSize(const std::string& path)
{
    const std::string p = normalize(path);
    auto it = m_files.find(p);
    if (it == m_files.end())
        return m_dirs.count(p) ? uint64_t(0) : Result<uint64_t>(error(ENOENT, "stat " + path));
    return uint64_t(it->second->size());
}

Result<FileIo::Stamp> MemoryFileIo::stamp(const std::string& path)
{
    auto it = m_files.find(normalize(path));
    if (it == m_files.end())
        return Stamp {};
    const void* identity = it->second.get();
    auto changes = m_changes.find(identity);
    return Stamp { true, uint64_t(it->second->size()), changes == m_changes.end() ? 0 : changes->second, 0,
        uint64_t(reinterpret_cast<uintptr_t>(identity)) };
}

Result<std::vector<FileIo::DirEntry>> MemoryFileIo::list(const std::string& directory)
{
    const std::string d = normalize(directory);
    if (!m_dirs.count(d))
        return error(m_files.count(d) ? ENOTDIR : ENOENT, "list " + directory);
    std::vector<DirEntry> entries;
    const std::string prefix = d == "/" ? "/" : d + "/";
    auto childName = [&](const std::string& p) -> std::optional<std::string> {
        if (p.size() <= prefix.size() || p.compare(0, prefix.size(), prefix) != 0)
            return std::nullopt;
        std::string rest = p.substr(prefix.size());
        if (rest.find('/') != std::string::npos)
            return std::nullopt;
        return rest;
    };
    for (const auto& dir : m_dirs)
        if (auto name = childName(dir))
            entries.push_back({ *name, true });
    for (const auto& [path, data] : m_files)
        if (auto name = childName(path))
            entries.push_back({ *name, false });
    return entries;
}

} // namespace qv
