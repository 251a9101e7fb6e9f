#include "storage/AreaJournal.h"

#include "storage/AreaFiles.h"
#include "storage/HeaderRecord.h"
#include "storage/Text.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <memory>

#include <zlib.h>

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

const char* directoryTag(AreaFileKind kind)
{
    return kind == AreaFileKind::Index ? "idx" : kind == AreaFileKind::Description ? "txt" : "hdr";
}

// "hdr/NAME", "idx/NAME" or "txt/NAME": a plain file name in one of the area's directories.
std::optional<AreaFileKind> kindOfName(const std::string& p)
{
    const size_t slash = p.find('/');
    if (slash != 3 || p.size() == 4 || p.find('/', 4) != std::string::npos)
        return std::nullopt;
    const std::string file = p.substr(4);
    if (file == "." || file == "..")
        return std::nullopt;
    const std::string tag = text::toLower(p.substr(0, 3));
    if (tag == "hdr")
        return AreaFileKind::Header;
    if (tag == "idx")
        return AreaFileKind::Index;
    if (tag == "txt")
        return AreaFileKind::Description;
    return std::nullopt;
}

bool safeName(const std::string& p)
{
    return kindOfName(p).has_value();
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
    // Written in place, without a temporary per field: a change of every record of a large
    // area notes hundreds of thousands of patches.
    std::string out;
    // The last patch line is given its room of 72 before it is cut: without them a journal of
    // megabytes would be copied once more at its very end.
    out.reserve(serializedSize() + 72);
    auto number = [&out](uint64_t n) {
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    };
    out += kMagic;
    out += '\n';
    if (append) {
        out += "APPEND\t";
        out += append->file;
        out += '\t';
        number(append->length);
        out += '\t';
        number(append->lengthAfter);
        out += '\n';
    }
    for (const auto& r : replacements) {
        out += "REPLACE\t";
        out += r.temporary;
        out += '\t';
        out += r.target;
        out += '\t';
        number(r.size);
        out += '\n';
    }
    // Each patch line is at most its file, its hex and 72 characters: written through a pointer
    // into room made for it, then cut to what was used.
    for (const auto& p : patches) {
        const size_t at = out.size();
        out.resize(at + p.file.size() + 2 * p.bytes.size() + 72);
        char* w = out.data() + at;
        char* const end = out.data() + out.size();
        w = std::copy_n(p.place ? "PLACE\t" : "PATCH\t", 6, w);
        w = std::copy(p.file.begin(), p.file.end(), w);
        *w++ = '\t';
        w = std::to_chars(w, end, p.offset).ptr;
        *w++ = '\t';
        for (uint8_t b : p.bytes) {
            *w++ = kHex[b >> 4];
            *w++ = kHex[b & 15];
        }
        *w++ = '\t';
        w = std::to_chars(w, end, p.recordSize).ptr;
        *w++ = '\t';
        w = std::to_chars(w, end, p.minimumLength).ptr;
        *w++ = '\n';
        out.resize(size_t(w - out.data()));
    }
    if (complete) {
        out += kEnd;
        out += '\n';
    }
    return out;
}

size_t AreaJournal::serializedSize() const
{
    auto digits = [](uint64_t n) {
        size_t d = 1;
        for (; n >= 10; n /= 10)
            ++d;
        return d;
    };
    size_t size = std::strlen(kMagic) + 1;
    if (append)
        size += 7 + append->file.size() + 1 + digits(append->length) + 1 + digits(append->lengthAfter) + 1;
    for (const auto& r : replacements)
        size += 8 + r.temporary.size() + 1 + r.target.size() + 1 + digits(r.size) + 1;
    for (const auto& p : patches)
        size += 6 + p.file.size() + 1 + digits(p.offset) + 1 + 2 * p.bytes.size() + 1 + digits(p.recordSize) + 1
            + digits(p.minimumLength) + 1;
    if (complete)
        size += std::strlen(kEnd) + 1;
    return size;
}

std::optional<AreaJournal> AreaJournal::parse(const std::string& text)
{
    const std::string magicLine = std::string(kMagic) + "\n";
    AreaJournal journal;
    journal.complete = false;
    // Killed before the first line was on disk: ours, and nothing had been noted yet.
    if (text.size() < magicLine.size() && magicLine.compare(0, text.size(), text) == 0)
        return journal;
    if (text.compare(0, magicLine.size(), magicLine) != 0)
        return std::nullopt;
    size_t pos = magicLine.size();
    // A line counts only with its line end: the writer may have died in the middle of one.
    for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
        const std::string line = text.substr(pos, end - pos);
        if (line == kEnd) {
            journal.complete = end + 1 == text.size();
            return journal.complete ? std::optional(journal) : std::nullopt;
        }
        const auto f = splitTabs(line);
        if (f[0] == "APPEND" && f.size() == 4 && safeName(f[1]) && number(f[2]) && number(f[3])) {
            journal.append = Append { f[1], *number(f[2]), *number(f[3]) };
        } else if (f[0] == "REPLACE" && f.size() == 4 && safeName(f[1]) && safeName(f[2]) && number(f[3])) {
            journal.replacements.push_back({ f[1], f[2], *number(f[3]) });
        } else if ((f[0] == "PATCH" || f[0] == "PLACE") && f.size() == 6 && safeName(f[1]) && number(f[2])
            && fromHex(f[3]) && number(f[4]) && number(f[5])) {
            journal.patches.push_back(
                { f[1], *number(f[2]), *fromHex(f[3]), size_t(*number(f[4])), *number(f[5]), f[0] == "PLACE" });
            const auto& added = journal.patches.back();
            if (added.place && (added.recordSize == 0 || added.bytes.size() % added.recordSize != 0))
                return std::nullopt;
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

std::string journalSparePath(const std::string& journal)
{
    return journal.substr(0, journal.size() - 4) + ".j$$";
}

std::string journalName(AreaFileKind kind, const std::string& path)
{
    const size_t slash = path.rfind('/');
    return std::string(directoryTag(kind)) + "/" + (slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string journalTarget(FileIo& io, const std::string& fileBaseDir, int area, const std::string& name)
{
    const auto kind = kindOfName(name);
    if (!kind || fileBaseDir.empty())
        return {};
    const std::string dir = directoryOf(areaFilePath(io, fileBaseDir, area, *kind));
    return join(dir, resolveNameIn(io, dir, name.substr(4)));
}

Result<void> writeJournal(FileIo& io, const std::string& path, const AreaJournal& journal, bool flush,
    std::span<const FileIo::Handle> alongside)
{
    // A note that replaces another is written beside it and renamed over it: truncating the old
    // one in place would leave, for a moment, an empty note that no longer says which appended
    // text to cut off. A first note has nothing to lose and is written where it belongs.
    const std::string text = journal.serialize();
    const bool replacing = io.exists(path);
    const std::string next = replacing ? journalSparePath(path) : path;
    auto h = io.open(next, FileIo::Mode::CreateTruncate);
    if (!h)
        return h.error();
    ScopedHandle out(io, *h);
    auto r = io.writeAt(*h, 0, text.data(), text.size());
    if (r && flush) {
        std::vector<FileIo::Handle> files(alongside.begin(), alongside.end());
        files.push_back(*h);
        r = syncTogether(io, files);
    }
    if (r)
        r = out.close();
    if (r && replacing)
        r = io.rename(next, path);
    if (!r) {
        if (replacing)
            (void)io.remove(next);
        return r;
    }
    return flush ? io.syncDirectory(directoryOf(path)) : Result<void> {};
}

Result<std::vector<uint8_t>> recordsMissing(
    FileIo& io, FileIo::Handle h, uint64_t offset, std::span<const uint8_t> bytes, size_t size)
{
    auto length = io.size(h);
    if (!length)
        return length.error();
    std::vector<uint8_t> tail(*length > offset ? size_t(*length - offset) / size * size : 0);
    if (!tail.empty()) {
        auto got = io.readAt(h, offset, tail.data(), tail.size());
        if (!got)
            return got.error();
        tail.resize(size_t(*got) / size * size);
    }
    // Header records are compared without the bytes the board changes in place.
    const bool header = size == HeaderRecord::kSize;
    auto same = [&](const uint8_t* a, const uint8_t* b) {
        return header ? HeaderRecord::sameButCounted(a, b) : std::memcmp(a, b, size) == 0;
    };
    std::vector<uint8_t> missing;
    for (size_t at = 0; at + size <= bytes.size(); at += size) {
        bool found = false;
        for (size_t t = 0; t < tail.size() && !found; t += size)
            found = same(bytes.data() + at, tail.data() + t);
        if (!found)
            missing.insert(missing.end(), bytes.begin() + long(at), bytes.begin() + long(at + size));
    }
    return missing;
}

Result<void> applyPatches(
    FileIo& io, const std::vector<std::string>& paths, const std::vector<AreaJournal::Patch>& patches)
{
    std::vector<std::string> opened;
    std::vector<std::unique_ptr<ScopedHandle>> handles;
    // Each file's plain patches are written with one call once every file is open.
    std::vector<std::vector<FileIo::Piece>> pieces;
    for (size_t k = 0; k < patches.size(); ++k) {
        const AreaJournal::Patch& patch = patches[k];
        size_t slot = size_t(std::find(opened.begin(), opened.end(), paths[k]) - opened.begin());
        if (slot == opened.size()) {
            if (!io.exists(paths[k])) {
                auto created = io.open(paths[k], FileIo::Mode::Append);
                if (!created)
                    return created.error();
                if (auto closed = io.close(*created); !closed)
                    return closed;
            }
            auto h = io.open(paths[k], FileIo::Mode::ReadWrite);
            if (!h)
                return h.error();
            opened.push_back(paths[k]);
            handles.push_back(std::make_unique<ScopedHandle>(io, *h));
            pieces.emplace_back();
        }
        const FileIo::Handle h = handles[slot]->get();
        if (patch.place) {
            if (!pieces[slot].empty())
                if (auto written = io.writePieces(h, pieces[slot]); !written)
                    return written;
            pieces[slot].clear();
            auto missing = recordsMissing(io, h, patch.offset, patch.bytes, patch.recordSize);
            if (!missing)
                return missing.error();
            auto length = io.size(h);
            if (!length)
                return length.error();
            // A torn record at the end is written over, so record i stays at i * size.
            const uint64_t at = std::max(patch.offset, *length / patch.recordSize * patch.recordSize);
            if (!missing->empty())
                if (auto written = io.writeAt(h, at, missing->data(), missing->size()); !written)
                    return written;
            continue;
        }
        if (patch.recordSize == 0) {
            pieces[slot].push_back({ patch.offset, patch.bytes.data(), patch.bytes.size() });
            continue;
        }
        // A file that is lengthened first gets its earlier pieces before.
        if (!pieces[slot].empty())
            if (auto written = io.writePieces(h, pieces[slot]); !written)
                return written;
        pieces[slot].clear();
        {
            auto length = io.size(h);
            if (!length)
                return length.error();
            if (*length < patch.minimumLength) {
                // A partial last record is dropped so record i stays at (i - 1) * size.
                const uint64_t whole = *length / patch.recordSize * patch.recordSize;
                if (whole != *length) {
                    if (auto cut = io.truncate(h, whole); !cut)
                        return cut;
                }
                if (auto grown = io.truncate(h, patch.minimumLength); !grown)
                    return grown;
            }
        }
        if (auto written = io.writeAt(h, patch.offset, patch.bytes.data(), patch.bytes.size()); !written)
            return written;
    }
    for (size_t i = 0; i < handles.size(); ++i)
        if (!pieces[i].empty())
            if (auto written = io.writePieces(handles[i]->get(), pieces[i]); !written)
                return written;
    std::vector<FileIo::Handle> files;
    for (const auto& h : handles)
        files.push_back(h->get());
    if (auto synced = syncTogether(io, files); !synced)
        return synced;
    for (auto& h : handles)
        if (auto closed = h->close(); !closed)
            return closed;
    return {};
}

namespace {
uint32_t checksumOf(uint32_t crc, const void* bytes, size_t size)
{
    const auto* p = static_cast<const Bytef*>(bytes);
    // zlib takes at most 4 GiB a call.
    for (size_t done = 0; done < size;) {
        const auto n = uInt(std::min<size_t>(size - done, size_t(1) << 30));
        crc = uint32_t(crc32(crc, p + done, n));
        done += n;
    }
    return crc;
}
} // namespace

void AreaJournal::Append::land(uint64_t offset, std::string_view bytes)
{
    landed.push_back({ offset, bytes.size(), checksumOf(0, bytes.data(), bytes.size()) });
}

Result<bool> appendedStillThere(FileIo& io, const std::string& path, const AreaJournal::Append& appended)
{
    if (appended.landed.empty())
        return true;
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return h.error().code == ENOENT ? Result<bool>(false) : Result<bool>(h.error());
    ScopedHandle file(io, *h);
    auto length = io.size(*h);
    if (!length)
        return length.error();
    std::vector<uint8_t> window;
    for (const AreaJournal::Append::Landed& l : appended.landed) {
        if (l.offset > *length || l.size > *length - l.offset)
            return false;
        window.resize(std::min<uint64_t>(l.size, uint64_t(1) << 20));
        uint32_t crc = 0;
        for (uint64_t done = 0; done < l.size;) {
            const size_t n = size_t(std::min<uint64_t>(window.size(), l.size - done));
            auto got = io.readAt(*h, l.offset + done, window.data(), n);
            if (!got)
                return got.error();
            if (*got != n)
                return false;
            crc = checksumOf(crc, window.data(), n);
            done += n;
        }
        if (crc != l.checksum)
            return false;
    }
    return true;
}

Result<void> undoAppend(FileIo& io, const std::string& fileBaseDir, int area, const AreaJournal::Append& appended)
{
    const std::string txt = journalTarget(io, fileBaseDir, area, appended.file);
    if (txt.empty() || !io.exists(txt))
        return {};
    // A file another program put in the place of ours keeps all of its bytes.
    if (auto there = appendedStillThere(io, txt, appended); !there)
        return there.error();
    else if (!*there)
        return {};
    // lengthAfter is what our append left, whole or (noted after a failed write) in part.
    return cutBack(io, txt, appended.lengthAfter, appended.length);
}

Result<std::optional<uint64_t>> partialAppend(
    FileIo& io, const std::string& path, uint64_t length, std::string_view bytes)
{
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle file(io, *h);
    auto now = io.size(*h);
    if (!now)
        return now.error();
    if (*now <= length || *now - length > bytes.size())
        return std::optional<uint64_t>();
    std::string there(size_t(*now - length), '\0');
    auto got = io.readAt(*h, length, there.data(), there.size());
    if (!got)
        return got.error();
    if (*got != there.size() || bytes.substr(0, there.size()) != there)
        return std::optional<uint64_t>();
    return std::optional<uint64_t>(*now);
}

Result<void> cutBack(FileIo& io, const std::string& path, uint64_t lengthNow, uint64_t length)
{
    auto h = io.open(path, FileIo::Mode::ReadWrite);
    if (!h)
        return h.error();
    ScopedHandle file(io, *h);
    auto now = io.size(*h);
    if (!now)
        return now.error();
    // Any other length means another writer added to the file since.
    if (*now != lengthNow || lengthNow <= length)
        return {};
    if (auto cut = io.truncate(*h, length); !cut)
        return cut;
    if (auto synced = io.sync(*h); !synced)
        return synced;
    return file.close();
}

namespace {
Error unreadable(const std::string& journal)
{
    return Error { EBADMSG, "journal " + journal + " cannot be read; the area needs attention" };
}
} // namespace

Result<Recovery> recoverArea(FileIo& io, const std::string& fileBaseDir, int area)
{
    if (fileBaseDir.empty())
        return Error { ENOENT, "no file database directory" };
    const std::string headerDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header));
    const std::string indexDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Index));
    const std::string journal = journalPath(headerDir, area);
    const std::string stem = "fdb" + std::to_string(area);
    const std::string textDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Description));
    const std::vector<std::string> temporaries { join(headerDir, stem + ".$$$"), join(headerDir, stem + ".l$$"),
        join(indexDir, stem + ".$$$"), join(textDir, stem + ".$$$"), journalSparePath(journal) };

    auto discard = [&](const std::optional<AreaJournal>& note) -> Result<Recovery> {
        bool any = false;
        for (const auto& t : temporaries)
            if (io.exists(t)) {
                any = true;
                if (auto removed = io.remove(t); !removed)
                    return removed.error();
            }
        if (note && note->append) {
            if (auto undone = undoAppend(io, fileBaseDir, area, *note->append); !undone)
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
    auto bytes = readWholeFile(io, journal, kJournalLimit);
    if (!bytes)
        return bytes.error();
    const auto note = AreaJournal::parse(std::string(bytes->begin(), bytes->end()));
    // A note this program cannot read may promise a change that was committed: its temporary
    // files may be all that is left of the new records, so nothing is touched.
    if (!note)
        return unreadable(journal);
    if (!note->complete)
        return discard(note);

    // Committed: every temporary file that is still there replaces its target. One that is gone
    // was renamed already, or removed by a change that failed before it could drop the journal,
    // in which case the target is still the old file and stays so.
    for (const auto& r : note->replacements) {
        const std::string from = journalTarget(io, fileBaseDir, area, r.temporary);
        const std::string to = journalTarget(io, fileBaseDir, area, r.target);
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
    std::vector<std::string> patched;
    for (const auto& p : note->patches)
        patched.push_back(journalTarget(io, fileBaseDir, area, p.file));
    if (auto applied = applyPatches(io, patched, note->patches); !applied)
        return applied.error();
    // As after a rewrite: the index file's rename on disk first, then the header directory's
    // renames and the journal's removal in one flush.
    if (!note->replacements.empty() && indexDir != headerDir)
        (void)io.syncDirectory(indexDir);
    if (auto removed = io.remove(journal); !removed)
        return removed.error();
    (void)io.syncDirectory(headerDir);
    return Recovery::Completed;
}

std::optional<std::string> journalProblem(FileIo& io, const std::string& fileBaseDir, int area)
{
    if (fileBaseDir.empty())
        return std::nullopt;
    const std::string journal
        = journalPath(directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header)), area);
    if (!io.exists(journal))
        return std::nullopt;
    auto bytes = readWholeFile(io, journal, kJournalLimit);
    if (bytes && AreaJournal::parse(std::string(bytes->begin(), bytes->end())))
        return std::nullopt;
    return unreadable(journal).message;
}

} // namespace qv
