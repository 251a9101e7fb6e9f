#include "storage/AreaFiles.h"

#include "storage/Text.h"

namespace qv {

size_t recordSize(AreaFileKind kind)
{
    switch (kind) {
    case AreaFileKind::Header:
        return 194;
    case AreaFileKind::Index:
        return 41;
    case AreaFileKind::LongName:
        return 256;
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

std::string resolveCaseInsensitive(FileIo& io, const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string resolved;
    size_t pos = 1;
    bool missing = false;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        std::string part = path.substr(pos, next - pos);
        pos = next + 1;
        if (part.empty())
            continue;
        const std::string dir = resolved.empty() ? "/" : resolved;
        if (!missing && !io.exists(dir + (resolved.empty() ? "" : "/") + part)) {
            bool found = false;
            if (auto entries = io.list(dir)) {
                for (const auto& e : *entries) {
                    if (text::equalsIgnoreCase(e.name, part)) {
                        part = e.name;
                        found = true;
                        break;
                    }
                }
            }
            missing = !found;
        }
        resolved += "/" + part;
    }
    return resolved.empty() ? "/" : resolved;
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
    return resolveCaseInsensitive(io, fileBaseDir + "/" + dir + "/fdb" + std::to_string(area) + ext);
}

} // namespace qv
