#include "storage/AreaFiles.h"

#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/Text.h"

namespace qv {

size_t recordSize(AreaFileKind kind)
{
    switch (kind) {
    case AreaFileKind::Header:
        return HeaderRecord::kSize;
    case AreaFileKind::Index:
        return IndexRecord::kSize;
    case AreaFileKind::LongName:
        return LongNameRecord::kSize;
    case AreaFileKind::Description:
        return 0;
    }
    return 0;
}

uint64_t recordCount(uint64_t fileLength, AreaFileKind kind)
{
    const size_t size = recordSize(kind);
    return size ? fileLength / size : 0;
}

namespace {
std::string join(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::string resolveCaseInsensitive(FileIo& io, const std::string& path)
{
    if (path.empty())
        return path;
    std::string resolved = path[0] == '/' ? "/" : "";
    // Once a component is missing nothing below it can exist, so the rest is kept as given.
    bool missing = false;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        const std::string part = path.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty())
            continue;
        std::string candidate = join(resolved, part);
        if (!missing && part != "." && part != ".." && !io.exists(candidate)) {
            // Several spellings may exist side by side; take the smallest so the choice is stable.
            const std::string* best = nullptr;
            auto entries = io.list(resolved.empty() ? "." : resolved);
            if (entries) {
                for (const auto& e : *entries)
                    if (text::equalsIgnoreCase(e.name, part) && (!best || e.name < *best))
                        best = &e.name;
            }
            if (best)
                candidate = join(resolved, *best);
            else
                missing = true;
        }
        resolved = std::move(candidate);
    }
    return resolved;
}

std::string areaFilePath(FileIo& io, const std::string& fileBaseDir, int area, AreaFileKind kind)
{
    const char* dir = "hdr";
    const char* ext = ".hdr";
    switch (kind) {
    case AreaFileKind::Header:
        break;
    case AreaFileKind::Index:
        dir = "idx";
        ext = ".idx";
        break;
    case AreaFileKind::Description:
        dir = "txt";
        ext = ".txt";
        break;
    case AreaFileKind::LongName:
        ext = ".lfn";
        break;
    }
    const std::string base = fileBaseDir.empty() ? std::string(".") : fileBaseDir;
    return resolveCaseInsensitive(io, join(base, std::string(dir) + "/fdb" + std::to_string(area) + ext));
}

} // namespace qv
