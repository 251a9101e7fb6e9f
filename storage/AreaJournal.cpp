#include "storage/AreaJournal.h"

#include "storage/AreaFiles.h"

#include <algorithm>
#include <cerrno>

namespace qv {

namespace {
constexpr const char* kMagic = "QUORVEX AREA JOURNAL 1";
constexpr const char* kEnd = "END";

std::string join(const std::string& dir, const std::string& relative)
{
    if (dir.empty())
        return relative;
    return dir.back() == '/' ? dir + relative : dir + "/" + relative;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t pos = 0;
    for (;;) {
        const size_t tab = line.find('\t', pos);
        fields.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
        if (tab == std::string::npos)
            return fields;
        pos = tab + 1;
    }
}

std::optional<uint64_t> number(const std::string& s)
{
    if (s.empty() || s.size() > 15 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoull(s);
}

// Only names inside the file base directory are ever written.
bool safeName(const std::string& p)
{
    return !p.empty() && p.front() != '/' && p.find("..") == std::string::npos;
}

const char kHex[] = "0123456789abcdef";

std::optional<std::vector<uint8_t>> fromHex(const std::string& s)
{
    if (s.size() % 2)
        return std::nullopt;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < s.size(); i += 2) {
        const char* hi = std::find(kHex, kHex + 16, s[i]);
        const char* lo = std::find(kHex, kHex + 16, s[i + 1]);
        if (hi == kHex + 16 || lo == kHex + 16)
            return std::nullopt;
        out.push_back(uint8_t((hi - kHex) * 16 + (lo - kHex)));
    }
    return out;
}
} // namespace

std::string AreaJournal::serialize() const
{
    std::string out = std::string(kMagic) + "\n";
    if (append)
        out += "APPEND\t" + append->file + "\t" + std::to_string(append->length) + "\n";
    for (const auto& r : replacements)
        out += "REPLACE\t" + r.temporary + "\t" + r.target + "\t" + std::to_string(r.size) + "\n";
    for (const auto& p : patches) {
        std::string hex;
        for (uint8_t b : p.bytes) {
            hex += kHex[b >> 4];
            hex += kHex[b & 15];
        }
        out += "PATCH\t" + p.file + "\t" + std::to_string(p.offset) + "\t" + hex + "\t" + std::to_string(p.recordSize)
            + "\t" + std::to_string(p.minimumLength) + "\n";
    }
    if (complete)
        out += std::string(kEnd) + "\n";
    return out;
}

std::optional<AreaJournal> AreaJournal::parse(const std::string& text)
{
    const std::string magicLine = std::string(kMagic) + "\n";
    if (text.compare(0, magicLine.size(), magicLine) != 0)
        return std::nullopt;
    AreaJournal journal;
    journal.complete = false;
    size_t pos = magicLine.size();
    // A line counts only with its line end: the writer may have died in the middle of one.
    for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        const std::string line = text.substr(pos, end - pos);
        if (line == kEnd) {
            journal.complete = end + 1 == text.size();
            return journal.complete ? std::optional(journal) : std::nullopt;
        }
        const auto f = splitTabs(line);
        if (f[0] == "APPEND" && f.size() == 3 && safeName(f[1]) && number(f[2])) {
            journal.append = Append { f[1], *number(f[2]) };
        } else if (f[0] == "REPLACE" && f.size() == 4 && safeName(f[1]) && safeName(f[2]) && number(f[3])) {
            journal.replacements.push_back({ f[1], f[2], *number(f[3]) });
        } else if (f[0] == "PATCH" && f.size() == 6 && safeName(f[1]) && number(f[2]) && fromHex(f[3]) && number(f[4])
            && number(f[5])) {
            journal.patches.push_back({ f[1], *number(f[2]), *fromHex(f[3]), size_t(*number(f[4])), *number(f[5]) });
        } else {
            return std::nullopt;
        }
    }
    return journal;
}

std::string journalPath(const std::string& headerDirectory, int area)
{
    return join(headerDirectory, "fdb" + std::to_string(area) + ".jnl");
}

std::string relativeToBase(const std::string& fileBaseDir, const std::string& path)
{
    std::string prefix = fileBaseDir.empty() ? std::string(".") : fileBaseDir;
    if (prefix.back() != '/')
        prefix += '/';
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

Result<void> writeJournal(FileIo& io, const std::string& path, const AreaJournal& journal)
{
    const std::string text = journal.serialize();
    auto h = io.open(path, FileIo::Mode::CreateTruncate);
    if (!h)
        return h.error();
    ScopedHandle out(io, *h);
    auto r = io.writeAt(*h, 0, text.data(), text.size());
    if (r)
        r = io.sync(*h);
    if (r)
        r = out.close();
    if (r)
        r = io.syncDirectory(directoryOf(path));
    return r;
}

Result<void> applyPatch(FileIo& io, const std::string& path, const AreaJournal::Patch& patch)
{
    if (!io.exists(path)) {
        auto created = io.open(path, FileIo::Mode::Append);
        if (!created)
            return created.error();
        if (auto closed = io.close(*created); !closed)
            return closed;
    }
    auto h = io.open(path, FileIo::Mode::ReadWrite);
    if (!h)
        return h.error();
    ScopedHandle file(io, *h);
    if (patch.recordSize > 0) {
        auto length = io.size(*h);
        if (!length)
            return length.error();
        if (*length < patch.minimumLength) {
            // A partial last record is dropped so record i stays at (i - 1) * size.
            const uint64_t whole = *length / patch.recordSize * patch.recordSize;
            if (whole != *length) {
                if (auto cut = io.truncate(*h, whole); !cut)
                    return cut;
            }
            if (auto grown = io.truncate(*h, patch.minimumLength); !grown)
                return grown;
        }
    }
    if (auto written = io.writeAt(*h, patch.offset, patch.bytes.data(), patch.bytes.size()); !written)
        return written;
    if (auto synced = io.sync(*h); !synced)
        return synced;
    return file.close();
}

Result<void> undoAppend(FileIo& io, const std::string& fileBaseDir, const AreaJournal::Append& appended)
{
    const std::string txt = resolveCaseInsensitive(io, join(fileBaseDir, appended.file));
    if (!io.exists(txt))
        return {};
    auto h = io.open(txt, FileIo::Mode::ReadWrite);
    if (!h)
        return h.error();
    ScopedHandle file(io, *h);
    auto length = io.size(*h);
    if (!length)
        return length.error();
    if (*length <= appended.length)
        return {};
    if (auto cut = io.truncate(*h, appended.length); !cut)
        return cut;
    if (auto synced = io.sync(*h); !synced)
        return synced;
    return file.close();
}

Result<Recovery> recoverArea(FileIo& io, const std::string& fileBaseDir, int area)
{
    const std::string headerDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header));
    const std::string indexDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Index));
    const std::string journal = journalPath(headerDir, area);
    const std::string stem = "fdb" + std::to_string(area);
    const std::vector<std::string> temporaries { join(headerDir, stem + ".$$$"), join(headerDir, stem + ".l$$"),
        join(indexDir, stem + ".$$$") };

    auto discard = [&](const std::optional<AreaJournal>& note) -> Result<Recovery> {
        bool any = false;
        for (const auto& t : temporaries)
            if (io.exists(t)) {
                any = true;
                if (auto removed = io.remove(t); !removed)
                    return removed.error();
            }
        if (note && note->append) {
            if (auto undone = undoAppend(io, fileBaseDir, *note->append); !undone)
                return undone.error();
        }
        if (io.exists(journal)) {
            any = true;
            if (auto removed = io.remove(journal); !removed)
                return removed.error();
            (void)io.syncDirectory(headerDir);
        }
        return any ? Recovery::Discarded : Recovery::Nothing;
    };

    if (!io.exists(journal))
        return discard(std::nullopt);
    auto bytes = readWholeFile(io, journal, kAreaJournalLimit);
    if (!bytes)
        return bytes.error();
    const auto note = AreaJournal::parse(std::string(bytes->begin(), bytes->end()));
    if (!note || !note->complete)
        return discard(note);

    // Committed: every temporary file that is still there replaces its target. One that is gone
    // was renamed already, or removed by a change that failed before it could drop the journal,
    // in which case the target is still the old file and stays so.
    for (const auto& r : note->replacements) {
        const std::string from = resolveCaseInsensitive(io, join(fileBaseDir, r.temporary));
        const std::string to = resolveCaseInsensitive(io, join(fileBaseDir, r.target));
        if (!io.exists(from))
            continue;
        auto size = io.fileSize(from);
        if (!size)
            return size.error();
        if (*size != r.size)
            return Error { EIO,
                from + " is " + std::to_string(*size) + " bytes, the journal says " + std::to_string(r.size) };
        if (auto renamed = io.rename(from, to); !renamed)
            return renamed.error();
    }
    for (const auto& p : note->patches)
        if (auto applied = applyPatch(io, resolveCaseInsensitive(io, join(fileBaseDir, p.file)), p); !applied)
            return applied.error();
    (void)io.syncDirectory(headerDir);
    if (indexDir != headerDir)
        (void)io.syncDirectory(indexDir);
    if (auto removed = io.remove(journal); !removed)
        return removed.error();
    (void)io.syncDirectory(headerDir);
    return Recovery::Completed;
}

} // namespace qv
