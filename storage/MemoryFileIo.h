#pragma once

#include "storage/FileIo.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A file system held in memory, with POSIX-like rules (open files survive rename and removal,
// parents must exist to create). Used by fuzz targets and tests that need no disk. Paths are
// '/'-separated; relative paths are taken from the root.
class MemoryFileIo final : public FileIo {
public:
    MemoryFileIo();

    // Adds or replaces a file, creating its parent directories.
    void setFile(const std::string& path, std::vector<uint8_t> bytes);
    void setFile(const std::string& path, std::string_view bytes);
    std::optional<std::vector<uint8_t>> file(const std::string& path) const;
    void addDirectory(const std::string& path); // with its parents
    size_t openHandles() const { return m_open.size(); }

    Result<Handle> open(const std::string& path, Mode mode) override;
    Result<size_t> readAt(Handle h, uint64_t offset, void* buffer, size_t size) override;
    Result<void> writeAt(Handle h, uint64_t offset, const void* buffer, size_t size) override;
    Result<uint64_t> size(Handle h) override;
    Result<void> truncate(Handle h, uint64_t length) override;
    Result<void> sync(Handle h) override;
    Result<void> close(Handle h) override;
    Result<void> rename(const std::string& from, const std::string& to) override;
    Result<void> remove(const std::string& path) override;
    Result<void> syncDirectory(const std::string& path) override;
    Result<void> makeDirectory(const std::string& path) override;
    bool exists(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    Result<uint64_t> fileSize(const std::string& path) override;
    Result<Stamp> stamp(const std::string& path) override;
    // No other process shares these files: locks are granted at once.
    Result<void> lockRange(Handle, uint64_t, uint64_t, int) override { return {}; }
    Result<void> unlockRange(Handle, uint64_t, uint64_t) override { return {}; }
    Result<bool> openElsewhere(Handle) override { return false; } // no other process sees it
    Result<std::vector<DirEntry>> list(const std::string& directory) override;

    static std::string normalize(const std::string& path);

private:
    using Data = std::shared_ptr<std::vector<uint8_t>>;
    struct OpenFile {
        Data data;
        Mode mode;
    };
    static std::string parentOf(const std::string& normalized);

    std::map<std::string, Data> m_files;
    std::set<std::string> m_dirs;
    std::map<Handle, OpenFile> m_open;
    // Changes made to each file's bytes, standing in for its modification time.
    std::map<const void*, int64_t> m_changes;
    Handle m_next = 3;
};

} // namespace qv
