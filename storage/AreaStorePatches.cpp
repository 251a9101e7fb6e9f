// AreaStore::patchRecords: several in-place patches and appended texts as one journalled change.
#include "storage/AreaStore.h"

#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/LargeTable.h"

#include <cerrno>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

namespace qv {

Result<void> AreaStore::writeNoted(int area, const AreaJournal& note, const std::vector<std::string>& files,
    const std::vector<uint32_t>& fileOf, std::span<const RowIdentity> expected, bool* started)
{
    if (started)
        *started = false;
    const std::string hdrPath = path(area, AreaFileKind::Header);
    const std::string headerDir = directoryOf(hdrPath);
    const std::string journal = journalPath(headerDir, area);
    // The commit point: from here on recovery finishes the change.
    // Not committed after all: the journal goes before anything is written. One that cannot be
    // removed may be complete; recovery then decides.
    auto retract = [&](const Error& e) -> Result<void> {
        if (m_io->remove(journal) || !m_io->exists(journal)) {
            (void)m_io->syncDirectory(headerDir);
            return e;
        }
        if (auto r = recover(area); r && *r == Recovery::Completed)
            return {};
        return e;
    };
    // Every file open before the lock is taken; the header's handle also holds the lock.
    std::vector<std::string> opened { hdrPath };
    std::vector<std::unique_ptr<ScopedHandle>> handles;
    auto h = m_io->open(hdrPath, FileIo::Mode::ReadWrite);
    if (!h)
        return retract(h.error());
    handles.push_back(std::make_unique<ScopedHandle>(*m_io, *h));
    // Appended texts were only written: they go to disk with the journal that commits them.
    std::optional<ScopedHandle> texts;
    if (note.append) {
        auto t = m_io->open(path(area, AreaFileKind::Description), FileIo::Mode::ReadWrite);
        if (!t)
            return retract(t.error());
        texts.emplace(*m_io, *t);
    }
    const std::vector<FileIo::Handle> alongside = texts ? std::vector { texts->get() } : std::vector<FileIo::Handle> {};
    if (auto written = writeJournal(*m_io, journal, note, true, alongside); !written)
        return retract(written.error());
    texts.reset();
    // Only the files some patch is in are opened (besides the header, which holds the lock).
    std::vector<bool> used(files.size(), fileOf.empty() && !note.patches.empty());
    for (uint32_t j : fileOf)
        used[j] = true;
    std::vector<size_t> handleOf(files.size()); // files[j] -> handles[handleOf[j]]
    for (size_t k = 0; k < files.size(); ++k) {
        if (!used[k])
            continue;
        const auto at = std::find(opened.begin(), opened.end(), files[k]);
        if (at != opened.end()) {
            handleOf[k] = size_t(at - opened.begin());
            continue;
        }
        if (!m_io->exists(files[k])) {
            auto created = m_io->open(files[k], FileIo::Mode::Append);
            if (!created)
                return retract(created.error());
            (void)m_io->close(*created);
        }
        auto f = m_io->open(files[k], FileIo::Mode::ReadWrite);
        if (!f)
            return retract(f.error());
        handleOf[k] = opened.size();
        opened.push_back(files[k]);
        handles.push_back(std::make_unique<ScopedHandle>(*m_io, *f));
    }
    auto slot = [&](size_t k) { return handleOf[fileOf.empty() ? 0 : fileOf[k]]; };
    const FileIo::Handle header = handles.front()->get();
    if (auto l = m_io->lockRange(header, 0, HeaderRecord::kSize, m_lockWaitMs); !l)
        return retract(l.error());
    if (auto same = checkRows(header, area, expected, false); !same) {
        (void)m_io->unlockRange(header, 0, HeaderRecord::kSize);
        return retract(same.error());
    }
    // Records about to point at texts appended here, in a description file another program
    // replaced or rewrote since.
    if (note.append) {
        auto there = appendedStillThere(*m_io, path(area, AreaFileKind::Description), *note.append);
        if (!there || !*there) {
            (void)m_io->unlockRange(header, 0, HeaderRecord::kSize);
            return retract(there ? Error { kChangedMeanwhile, changedMeanwhileMessage(area) } : there.error());
        }
    }
    if (m_recorder) {
        // The old bytes are read under the lock, so a count the board bumps meanwhile is not lost.
        std::vector<ChangeRecorder::Touch> touches;
        const AreaFileKind kinds[] = { AreaFileKind::Header, AreaFileKind::Index, AreaFileKind::Description,
            AreaFileKind::LongName };
        std::vector<AreaFileKind> kindOf(files.size(), AreaFileKind::Header);
        for (AreaFileKind kind : kinds) {
            const std::string file = path(area, kind);
            for (size_t j = 0; j < files.size(); ++j)
                if (files[j] == file)
                    kindOf[j] = kind;
        }
        touches.reserve(note.patches.size());
        for (size_t k = 0; k < note.patches.size(); ++k) {
            const size_t j = fileOf.empty() ? 0 : fileOf[k];
            const AreaJournal::Patch& p = note.patches[k];
            const uint64_t end = std::max<uint64_t>(p.offset + p.bytes.size(), p.minimumLength);
            touches.push_back({ kindOf[j], files[j], false, p.offset, end - p.offset });
        }
        m_recorder->committing(area, touches);
    }
    if (started)
        *started = true;
    Result<void> done;
    // Plain patches go to each file with one call; those that lengthen a long-name file first
    // are written one by one, in their order.
    const bool plain = std::none_of(
        note.patches.begin(), note.patches.end(), [](const AreaJournal::Patch& p) { return p.recordSize > 0; });
    if (plain) {
        std::vector<std::vector<FileIo::Piece>> pieces(handles.size());
        std::vector<size_t> perFile(handles.size(), 0);
        for (size_t k = 0; k < note.patches.size(); ++k)
            ++perFile[slot(k)];
        for (size_t i = 0; i < handles.size(); ++i)
            reserveLarge(pieces[i], perFile[i]);
        for (size_t k = 0; k < note.patches.size(); ++k) {
            const AreaJournal::Patch& p = note.patches[k];
            pieces[slot(k)].push_back({ p.offset, p.bytes.data(), p.bytes.size() });
        }
        for (size_t i = 0; i < handles.size() && done; ++i)
            if (!pieces[i].empty())
                done = m_io->writePieces(handles[i]->get(), pieces[i]);
    }
    for (size_t k = 0; !plain && k < note.patches.size() && done; ++k) {
        const AreaJournal::Patch& p = note.patches[k];
        const FileIo::Handle f = handles[slot(k)]->get();
        if (p.recordSize > 0) {
            // A short long-name file is lengthened by whole empty records first.
            auto length = m_io->size(f);
            if (!length)
                done = length.error();
            else if (*length < p.minimumLength) {
                done = m_io->truncate(f, *length / p.recordSize * p.recordSize);
                if (done)
                    done = m_io->truncate(f, p.minimumLength);
            }
        }
        if (done)
            done = m_io->writeAt(f, p.offset, p.bytes.data(), p.bytes.size());
    }
    (void)m_io->unlockRange(header, 0, HeaderRecord::kSize);
    if (done) {
        std::vector<FileIo::Handle> patched;
        for (const auto& handle : handles)
            patched.push_back(handle->get());
        done = syncTogether(*m_io, patched);
    }
    for (size_t i = 0; i < handles.size() && done; ++i)
        done = handles[i]->close();
    if (!done) {
        handles.clear();
        if (auto again = recover(area); !again || *again != Recovery::Completed)
            return Error { done.error().code,
                done.error().message + " (the change is completed when the area is next loaded)" };
        if (m_recorder)
            m_recorder->committed(area, false);
        return {};
    }
    // Done. The removal needs no flush: a journal that comes back after a crash writes the same
    // bytes again (journals are one per area, and the next change's journal replaces this one).
    (void)m_io->remove(journal);
    if (m_recorder)
        m_recorder->committed(area, false);
    return {};
}

Result<std::vector<int32_t>> AreaStore::patchRecords(int area, const std::vector<std::string_view>& appended,
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
    reserveLarge(note.patches, patches.size());
    // The files patched, each with its name in the journal; fileOf[k] is patch k's.
    std::vector<std::string> files;
    std::vector<std::string> names;
    std::vector<uint32_t> fileOf;
    fileOf.reserve(patches.size());
    std::map<AreaFileKind, uint32_t> fileOfKind;
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
        auto [known, added] = fileOfKind.emplace(p.kind, uint32_t(files.size()));
        if (added) {
            files.push_back(pathOf(p.kind));
            names.push_back(journalName(p.kind, files.back()));
        }
        fileOf.push_back(known->second);
        note.patches.push_back({ names[known->second], offset, std::move(p.bytes), 0, 0 });
    }

    const std::string txt = pathOf(AreaFileKind::Description);
    const std::string headerDir = directoryOf(pathOf(AreaFileKind::Header));
    const std::string journal = journalPath(headerDir, area);
    std::vector<int32_t> pointers;
    // One write for all texts; appendText adds the last zero byte.
    std::string bytes;
    std::vector<size_t> offsets;
    size_t total = 0;
    for (std::string_view text : appended)
        total += text.size() + 1;
    bytes.reserve(total);
    offsets.reserve(appended.size());
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
    if (note.serializedSize() > kJournalLimit)
        return Error { EFBIG, "too many records for one change" };

    if (note.append) {
        // Noted before the texts are appended, so a crash in between cuts them off again.
        AreaJournal intent;
        intent.complete = false;
        intent.append = note.append;
        if (auto written = writeJournal(*m_io, journal, intent, false); !written) {
            (void)m_io->remove(journal);
            return written.error();
        }
        auto base = appendText(txt, bytes, false);
        if (!base) {
            (void)recover(area);
            return base.error();
        }
        for (size_t offset : offsets)
            pointers.push_back(int32_t(uint64_t(*base) + offset));
        note.append->length = uint64_t(*base);
        note.append->lengthAfter = uint64_t(*base) + bytes.size() + 1;
        bytes.push_back('\0');
        note.append->land(uint64_t(*base), bytes);
        for (size_t k = 0; k < patches.size(); ++k)
            if (patches[k].pointerOfAppended)
                enc::putLong(note.patches[k].bytes.data(), pointers[*patches[k].pointerOfAppended]);
    }
    bool started = false;
    if (auto done = writeNoted(area, note, files, fileOf, expected, &started); !done) {
        // Refused or failed before anything was patched: the texts are cut off again.
        if (!started && note.append)
            (void)undoAppend(*m_io, m_fileBaseDir, area, *note.append);
        return done.error();
    }
    return pointers;
}

} // namespace qv
