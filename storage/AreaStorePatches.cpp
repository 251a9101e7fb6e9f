// AreaStore::patchRecords: several in-place patches and appended texts as one journalled change.
#include "storage/AreaStore.h"

#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"

#include <cerrno>
#include <map>

namespace qv {

Result<std::vector<int32_t>> AreaStore::patchRecords(int area, const std::vector<std::string>& appended,
    std::vector<FieldPatch> patches, std::span<const RowIdentity> expected)
{
    if (auto r = recover(area); !r)
        return r.error();
    auto records = count(area);
    if (!records)
        return records.error();
    // Every patch is checked before anything is written. Paths and lengths are looked up once
    // per file, not once per patch: a description for every entry is hundreds of thousands.
    std::map<AreaFileKind, std::string> paths;
    auto pathOf = [&](AreaFileKind kind) -> const std::string& {
        auto it = paths.find(kind);
        if (it == paths.end())
            it = paths.emplace(kind, path(area, kind)).first;
        return it->second;
    };
    std::map<AreaFileKind, uint64_t> lengths;
    auto lengthOf = [&](AreaFileKind kind) -> Result<uint64_t> {
        if (auto it = lengths.find(kind); it != lengths.end())
            return it->second;
        const std::string& file = pathOf(kind);
        auto n = m_io->exists(file) ? m_io->fileSize(file) : Result<uint64_t>(uint64_t(0));
        if (n)
            lengths[kind] = *n;
        return n;
    };
    AreaJournal note;
    std::map<std::string, std::vector<size_t>> byFile; // host path -> its patches in the note
    for (FieldPatch& p : patches) {
        if (p.pointerOfAppended && (*p.pointerOfAppended >= appended.size() || p.bytes.size() != 4))
            return Error { EINVAL, "a pointer patch names no appended text" };
        auto length = lengthOf(p.kind);
        if (!length)
            return length.error();
        uint64_t offset = p.position;
        if (p.kind == AreaFileKind::Description) {
            if (p.fieldOffset != 0 || p.position > *length || p.bytes.size() > *length - p.position)
                return Error { EINVAL, "an overwrite must stay inside the description file" };
        } else {
            const size_t size = recordSize(p.kind);
            if (p.kind == AreaFileKind::LongName || p.fieldOffset > size || p.bytes.size() > size - p.fieldOffset)
                return Error { EINVAL, "a patch must stay inside one header or index record" };
            if (p.kind == AreaFileKind::Header && p.fieldOffset + p.bytes.size() > HeaderRecord::kPatchableSize)
                return Error { EINVAL, "a patch must end before the board's long-name pointer" };
            if (p.position >= *records || p.position >= recordCount(*length, p.kind))
                return Error { EINVAL, pathOf(p.kind) + " has no record " + std::to_string(p.position + 1) };
            offset = p.position * size + p.fieldOffset;
        }
        const std::string& file = pathOf(p.kind);
        byFile[file].push_back(note.patches.size());
        note.patches.push_back({ journalName(p.kind, file), offset, std::move(p.bytes), 0, 0 });
    }

    const std::string txt = pathOf(AreaFileKind::Description);
    const std::string headerDir = directoryOf(pathOf(AreaFileKind::Header));
    const std::string journal = journalPath(headerDir, area);
    std::vector<int32_t> pointers;
    // One write for all texts; appendText adds the last zero byte.
    std::string bytes;
    std::vector<size_t> offsets;
    for (size_t k = 0; k < appended.size(); ++k) {
        if (k > 0)
            bytes.push_back('\0');
        offsets.push_back(bytes.size());
        bytes += appended[k];
    }
    if (!appended.empty()) {
        auto txtLength = lengthOf(AreaFileKind::Description);
        if (!txtLength)
            return txtLength.error();
        note.append = AreaJournal::Append { journalName(AreaFileKind::Description, txt), *txtLength,
            *txtLength + bytes.size() + 1 };
    }
    // The board updates header records in place under a write lock on the first record's bytes;
    // the same lock keeps the two writers apart until every patch is written.
    auto locked = m_io->open(pathOf(AreaFileKind::Header), FileIo::Mode::ReadWrite);
    if (!locked)
        return locked.error();
    ScopedHandle lock(*m_io, *locked);
    if (auto l = m_io->lockRange(*locked, 0, HeaderRecord::kSize, m_lockWaitMs); !l)
        return l.error();
    if (auto same = checkRows(*locked, area, expected, false); !same)
        return same.error();
    if (note.serialize().size() > kJournalLimit)
        return Error { EFBIG, "too many records for one change" };

    if (note.append) {
        // Noted before the texts are appended, so a crash in between cuts them off again.
        AreaJournal intent;
        intent.complete = false;
        intent.append = note.append;
        if (auto written = writeJournal(*m_io, journal, intent); !written) {
            (void)m_io->remove(journal);
            return written.error();
        }
        auto base = appendText(txt, bytes);
        if (!base) {
            (void)recover(area);
            return base.error();
        }
        for (size_t offset : offsets)
            pointers.push_back(int32_t(uint64_t(*base) + offset));
        note.append->length = uint64_t(*base);
        note.append->lengthAfter = uint64_t(*base) + bytes.size() + 1;
        for (size_t k = 0; k < patches.size(); ++k)
            if (patches[k].pointerOfAppended)
                enc::putLong(note.patches[k].bytes.data(), pointers[*patches[k].pointerOfAppended]);
    }
    // The commit point: from here on recovery finishes the change.
    if (auto written = writeJournal(*m_io, journal, note); !written) {
        // Nothing is patched yet: the journal goes, then the texts. A journal that cannot be
        // removed may be complete; recovery then decides.
        if (m_io->remove(journal) || !m_io->exists(journal)) {
            if (note.append)
                (void)undoAppend(*m_io, m_fileBaseDir, area, *note.append);
            return written.error();
        }
        if (auto r = recover(area); r && *r == Recovery::Completed)
            return pointers;
        return written.error();
    }
    // Each file is opened once and flushed once, however many of its records change.
    for (const auto& [file, indexes] : byFile) {
        Result<void> done;
        if (auto h = m_io->open(file, FileIo::Mode::ReadWrite); !h) {
            done = h.error();
        } else {
            ScopedHandle handle(*m_io, *h);
            for (size_t i : indexes)
                if (done)
                    done = m_io->writeAt(
                        *h, note.patches[i].offset, note.patches[i].bytes.data(), note.patches[i].bytes.size());
            if (done)
                done = m_io->sync(*h);
            if (done)
                done = handle.close();
        }
        if (!done) {
            if (!recover(area))
                return Error { done.error().code,
                    done.error().message + " (the change is completed when the area is next loaded)" };
            return pointers;
        }
    }
    if (m_io->remove(journal))
        (void)m_io->syncDirectory(headerDir);
    return pointers;
}

} // namespace qv
