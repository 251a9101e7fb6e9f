// AreaStore::restore: an undo or redo as one journalled change.
#include "storage/AreaStore.h"

#include "storage/HeaderRecord.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

namespace qv {

Result<void> AreaStore::restore(int area, const KeptArea& kept)
{
    if (m_fileBaseDir.empty())
        return noFileBase();
    if (kept.spoiled)
        return Error { kChangedSinceStep, *kept.spoiled };
    if (!kept.left)
        return {}; // the step's change of this area never committed
    if (auto r = recover(area); !r)
        return r.error();

    // Undone last piece first: a whole copy makes every later piece moot, earlier ranges go on it.
    struct FilePlan {
        bool touched = false;
        const KeptPiece* base = nullptr;
        std::vector<const KeptPiece*> ranges;
    };
    std::array<FilePlan, 4> plans;
    for (auto it = kept.pieces.rbegin(); it != kept.pieces.rend(); ++it) {
        FilePlan& f = plans[size_t(it->kind)];
        f.touched = true;
        if (it->whole) {
            f.base = &*it;
            f.ranges.clear();
        } else {
            f.ranges.push_back(&*it);
        }
    }

    const std::string hdrPath = path(area, AreaFileKind::Header);
    const std::string headerDir = directoryOf(hdrPath);
    const std::string journal = journalPath(headerDir, area);
    AreaJournal note;
    std::vector<ChangeRecorder::Touch> touches;
    std::vector<std::string> temporaries;
    std::vector<std::string> emptied; // files the step created: removed again once empty
    auto abandon = [&](const Error& e) -> Result<void> {
        for (const std::string& t : temporaries)
            (void)m_io->remove(t);
        return e;
    };

    std::vector<std::unique_ptr<ScopedHandle>> outputs;
    // The description file is renamed last, behind the records that point into it.
    for (AreaFileKind kind :
        { AreaFileKind::Header, AreaFileKind::LongName, AreaFileKind::Index, AreaFileKind::Description }) {
        const FilePlan& f = plans[size_t(kind)];
        if (!f.touched)
            continue;
        const std::string file = path(area, kind);
        if (!f.base) {
            for (const KeptPiece* r : f.ranges) {
                note.patches.push_back({ journalName(kind, file), r->offset, r->bytes, 0, 0 });
                touches.push_back({ kind, file, false, r->offset, r->bytes.size() });
            }
            continue;
        }
        const std::string temporary
            = directoryOf(file) + "/fdb" + std::to_string(area) + (kind == AreaFileKind::LongName ? ".l$$" : ".$$$");
        auto out = m_io->open(temporary, FileIo::Mode::CreateTruncate);
        if (!out)
            return abandon(out.error());
        temporaries.push_back(temporary);
        outputs.push_back(std::make_unique<ScopedHandle>(*m_io, *out));
        if (m_io->exists(file))
            (void)m_io->takeModeAndOwner(*out, file);
        uint64_t size = 0;
        if (f.base->existed) {
            auto in = m_io->open(f.base->copy, FileIo::Mode::Read);
            if (!in)
                return abandon(in.error());
            ScopedHandle input(*m_io, *in);
            while (size < f.base->copied) {
                auto got = m_io->copyRange(*in, size, *out, size, f.base->copied - size);
                if (!got)
                    return abandon(got.error());
                if (*got == 0)
                    return abandon(Error { EIO, f.base->copy + " is shorter than it was kept" });
                size += *got;
            }
        } else {
            emptied.push_back(file);
        }
        for (const KeptPiece* r : f.ranges) {
            if (auto w = m_io->writeAt(*out, r->offset, r->bytes.data(), r->bytes.size()); !w)
                return abandon(w.error());
            size = std::max<uint64_t>(size, r->offset + r->bytes.size());
        }
        note.replacements.push_back({ journalName(kind, temporary), journalName(kind, file), size });
        touches.push_back({ kind, file, true, 0, 0 });
    }
    if (!outputs.empty()) {
        std::vector<FileIo::Handle> written;
        for (const auto& o : outputs)
            written.push_back(o->get());
        auto r = syncTogether(*m_io, written);
        for (auto& o : outputs)
            if (auto closed = o->close(); r && !closed)
                r = closed;
        if (!r)
            return abandon(r.error());
    }

    // The temporary files' names outside the header directory on disk before the journal names them.
    std::vector<std::string> flushedDirs { headerDir };
    for (const std::string& t : temporaries) {
        const std::string dir = directoryOf(t);
        if (std::find(flushedDirs.begin(), flushedDirs.end(), dir) != flushedDirs.end())
            continue;
        if (auto synced = m_io->syncDirectory(dir); !synced)
            return abandon(synced.error());
        flushedDirs.push_back(dir);
    }

    // The check and the commit under the board's lock, where it takes one.
    std::optional<ScopedHandle> lock;
    if (m_io->exists(hdrPath)) {
        auto h = m_io->open(hdrPath, FileIo::Mode::ReadWrite);
        if (!h && h.error().code != EACCES && h.error().code != EROFS)
            return abandon(h.error());
        if (h) {
            lock.emplace(*m_io, *h);
            if (auto l = m_io->lockRange(*h, 0, HeaderRecord::kSize, m_lockWaitMs); !l)
                return abandon(l.error());
        }
    }
    auto unlock = [&] {
        if (lock)
            (void)m_io->unlockRange(lock->get(), 0, HeaderRecord::kSize);
    };
    auto now = markArea(*m_io, m_fileBaseDir, area, &*kept.left);
    if (!now) {
        unlock();
        return abandon(now.error());
    }
    if (!sameMark(*kept.left, *now)) {
        unlock();
        return abandon(Error { kChangedSinceStep, "area " + std::to_string(area) + " was changed since" });
    }
    if (m_recorder)
        m_recorder->committing(area, touches);
    // The commit point; recovery carries the journal out now, or after a crash.
    if (auto written = writeJournal(*m_io, journal, note); !written) {
        unlock();
        if (!m_io->remove(journal) && m_io->exists(journal))
            return Error { written.error().code,
                written.error().message + " (the change may be completed when the area is next loaded)" };
        return abandon(written.error());
    }
    auto done = recoverArea(*m_io, m_fileBaseDir, area);
    unlock();
    lock.reset();
    if (!done)
        return Error { done.error().code,
            done.error().message + " (the change is completed when the area is next loaded)" };
    for (const std::string& file : emptied)
        if (auto n = m_io->fileSize(file); n && *n == 0)
            (void)m_io->remove(file);
    if (m_recorder)
        m_recorder->committed(area, false);
    return {};
}

} // namespace qv
