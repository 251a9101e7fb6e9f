#include "storage/AreaFiles.h"

#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/Text.h"

#include <algorithm>
#include <functional>

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

namespace {
struct Components {
    std::string root; // "/" or "" for a relative path
    std::vector<std::string> parts;
};

Components componentsOf(const std::string& path)
{
    Components c { path.empty() || path[0] != '/' ? "" : "/", {} };
    for (size_t pos = 0; pos < path.size();) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        if (next > pos)
            c.parts.push_back(path.substr(pos, next - pos));
        pos = next + 1;
    }
    return c;
}

// Other entries of a directory whose names equal part but for case, in name order.
std::vector<std::string> otherSpellings(FileIo& io, const std::string& dir, const std::string& part)
{
    std::vector<std::string> names;
    if (part == "." || part == "..")
        return names;
    if (auto entries = io.list(dir.empty() ? "." : dir)) {
        for (const auto& e : *entries)
            if (e.name != part && text::equalsIgnoreCase(e.name, part))
                names.push_back(e.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Depth first over the spellings of parts[i..] below dir, the exact spelling first; visit gets
// each existing path and ends the walk by returning true. A directory is listed only when its
// exact spelling led nowhere, so a path spelled right costs one look-up per component.
bool walk(FileIo& io, const std::string& dir, const std::vector<std::string>& parts, size_t i,
    const std::function<bool(const std::string&)>& visit)
{
    if (i == parts.size())
        return visit(dir);
    auto tryName = [&](const std::string& name) {
        const std::string next = join(dir, name);
        const bool there = i + 1 < parts.size() ? io.isDirectory(next) : io.exists(next);
        return there && walk(io, next, parts, i + 1, visit);
    };
    if (tryName(parts[i]))
        return true;
    for (const std::string& name : otherSpellings(io, dir, parts[i]))
        if (tryName(name))
            return true;
    return false;
}
} // namespace

std::string resolveCaseInsensitive(FileIo& io, const std::string& path)
{
    if (path.empty())
        return path;
    const Components c = componentsOf(path);
    // The spelling given is the walk's first try: when it is right, one look-up answers, not one
    // per component (every area of a search resolves its files).
    std::string exact = c.root;
    for (const std::string& part : c.parts)
        exact = join(exact, part);
    if (io.exists(exact))
        return exact;
    std::string found;
    if (walk(io, c.root, c.parts, 0, [&](const std::string& p) {
            found = p;
            return true;
        }))
        return found;
    // Nothing leads to the file: the directories that exist keep their spelling, the rest stays as
    // given (the name a new file gets).
    std::string resolved = c.root;
    bool missing = false;
    for (const std::string& part : c.parts) {
        std::string candidate = join(resolved, part);
        if (!missing && !io.exists(candidate)) {
            const auto others = otherSpellings(io, resolved, part);
            if (others.empty())
                missing = true;
            else
                candidate = join(resolved, others.front());
        }
        resolved = std::move(candidate);
    }
    return resolved;
}

std::vector<std::string> caseVariants(FileIo& io, const std::string& path)
{
    std::vector<std::string> found;
    const Components c = componentsOf(path);
    walk(io, c.root, c.parts, 0, [&](const std::string& p) {
        found.push_back(p);
        return false;
    });
    return found;
}

std::string resolveNameIn(FileIo& io, const std::string& directory, const std::string& name)
{
    if (io.exists(join(directory, name)))
        return name;
    const auto others = otherSpellings(io, directory, name);
    return others.empty() ? name : others.front();
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
    if (fileBaseDir.empty())
        return {};
    const std::string name = "fdb" + std::to_string(area) + ext;
    if (kind == AreaFileKind::LongName) {
        // Beside the header file, also when directories HDR and hdr both exist.
        const std::string dir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header));
        return join(dir, resolveNameIn(io, dir, name));
    }
    return resolveCaseInsensitive(io, join(fileBaseDir, std::string(dir) + "/" + name));
}

} // namespace qv
