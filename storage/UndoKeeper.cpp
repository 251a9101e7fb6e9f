#include "storage/UndoKeeper.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace qv {

namespace {

constexpr size_t kChunk = size_t(1) << 20;

// Length and a hash of the first `limit` bytes (all of them without a limit).
Result<FileMark> markFile(FileIo& io, const std::string& path, std::optional<uint64_t> limit)
{
    FileMark m;
    if (path.empty() || !io.exists(path))
        return m;
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    auto size = io.size(*h);
    if (!size)
        return size.error();
    m.exists = true;
    m.length = limit ? std::min(*limit, *size) : *size;
    if (limit && *size < *limit)
        m.length = *size; // shorter than marked: the caller sees another length
    uLong crc = crc32(0, nullptr, 0);
    uLong adler = adler32(0, nullptr, 0);
    std::vector<uint8_t> buffer(std::min<uint64_t>(kChunk, std::max<uint64_t>(m.length, 1)));
    for (uint64_t at = 0; at < m.length;) {
        const size_t want = size_t(std::min<uint64_t>(buffer.size(), m.length - at));
        auto got = io.readAt(*h, at, buffer.data(), want);
        if (!got)
            return got.error();
        if (*got == 0)
            return Error { EIO, path + " became shorter while it was read" };
        crc = crc32_z(crc, buffer.data(), *got);
        adler = adler32_z(adler, buffer.data(), *got);
        at += *got;
    }
    m.hash = (uint64_t(crc) << 32) | uint64_t(adler);
    return m;
}

} // namespace

Result<AreaMark> markArea(FileIo& io, const std::string& fileBaseDir, int area, const AreaMark* prefixOf)
{
    AreaMark mark;
    for (AreaFileKind kind :
        { AreaFileKind::Header, AreaFileKind::Index, AreaFileKind::Description, AreaFileKind::LongName }) {
        std::optional<uint64_t> limit;
        if (kind == AreaFileKind::Description && prefixOf)
            limit = prefixOf->files[size_t(kind)].length;
        auto m = markFile(io, areaFilePath(io, fileBaseDir, area, kind), limit);
        if (!m)
            return m.error();
        mark.files[size_t(kind)] = *m;
    }
    return mark;
}

bool sameMark(const AreaMark& marked, const AreaMark& now)
{
    return marked == now;
}

uint64_t KeptArea::bytes() const
{
    uint64_t n = 0;
    for (const KeptPiece& p : pieces)
        n += p.whole ? p.copied : p.bytes.size();
    return n;
}

uint64_t KeptChange::bytes() const
{
    uint64_t n = 0;
    for (const KeptArea& a : areas)
        n += a.bytes();
    return n;
}

void KeptChange::discard(FileIo& io) const
{
    for (const KeptArea& a : areas)
        for (const KeptPiece& p : a.pieces)
            if (!p.copy.empty())
                (void)io.remove(p.copy);
}

UndoKeeper::UndoKeeper(FileIo& io, std::string fileBaseDir, std::string directory)
    : m_io(io)
    , m_fileBaseDir(std::move(fileBaseDir))
    , m_directory(std::move(directory))
{
}

void UndoKeeper::begin()
{
    m_change = {};
    m_recording = true;
}

KeptChange UndoKeeper::end()
{
    m_recording = false;
    return std::move(m_change);
}

KeptArea& UndoKeeper::areaOf(int area)
{
    for (KeptArea& a : m_change.areas)
        if (a.area == area)
            return a;
    m_change.areas.push_back(KeptArea { area, {}, {}, {} });
    return m_change.areas.back();
}

Result<std::string> UndoKeeper::copyOf(const std::string& file)
{
    const std::string copy = m_directory + "/" + std::to_string(++m_copies) + ".kept";
    auto in = m_io.open(file, FileIo::Mode::Read);
    if (!in)
        return in.error();
    ScopedHandle input(m_io, *in);
    auto out = m_io.open(copy, FileIo::Mode::CreateTruncate);
    if (!out)
        return out.error();
    ScopedHandle output(m_io, *out);
    auto size = m_io.size(*in);
    if (!size)
        return size.error();
    for (uint64_t done = 0; done < *size;) {
        auto got = m_io.copyRange(*in, done, *out, done, *size - done);
        if (!got || *got == 0) {
            (void)output.close();
            (void)m_io.remove(copy);
            return got ? Error { EIO, file + " became shorter while it was kept" } : got.error();
        }
        done += *got;
    }
    // Not flushed: the directory dies with the run, and a crash ends the steps with it.
    if (auto closed = output.close(); !closed) {
        (void)m_io.remove(copy);
        return closed.error();
    }
    return copy;
}

void UndoKeeper::committing(int area, std::span<const Touch> touches)
{
    if (!m_recording)
        return;
    KeptArea& kept = areaOf(area);
    if (kept.spoiled)
        return;
    std::array<bool, 4> wholeKept {};
    for (const KeptPiece& p : kept.pieces)
        wholeKept[size_t(p.kind)] = wholeKept[size_t(p.kind)] || p.whole;
    auto spoil = [&](const Error& e) {
        kept.spoiled = "what the change replaced could not be kept (" + e.message + ")";
        for (const KeptPiece& p : kept.pieces)
            if (!p.copy.empty())
                (void)m_io.remove(p.copy);
        kept.pieces.clear();
    };
    // One look at each file: whether it exists, its length and a handle for the old bytes.
    struct Seen {
        bool exists = false;
        uint64_t length = 0;
        std::unique_ptr<ScopedHandle> handle;
    };
    std::array<std::optional<Seen>, 4> seen;
    for (const Touch& t : touches) {
        const size_t k = size_t(t.kind);
        if (wholeKept[k])
            continue; // what the step found is kept already
        if (!seen[k]) {
            Seen s;
            s.exists = m_io.exists(t.file);
            if (s.exists) {
                auto h = m_io.open(t.file, FileIo::Mode::Read);
                if (!h)
                    return spoil(h.error());
                s.handle = std::make_unique<ScopedHandle>(m_io, *h);
                auto n = m_io.size(*h);
                if (!n)
                    return spoil(n.error());
                s.length = *n;
            }
            seen[k] = std::move(s);
        }
        const Seen& s = *seen[k];
        // A patch that lengthens the file cannot be taken back by patches.
        const bool whole = t.whole || !s.exists || t.offset + t.length > s.length;
        KeptPiece piece;
        piece.kind = t.kind;
        piece.whole = whole;
        if (whole) {
            wholeKept[k] = true;
            if (!s.exists) {
                piece.existed = false;
            } else {
                auto copy = copyOf(t.file);
                if (!copy)
                    return spoil(copy.error());
                piece.copy = *copy;
                piece.copied = s.length;
            }
        } else {
            piece.offset = t.offset;
            piece.bytes.resize(size_t(t.length));
            auto got = m_io.readAt(s.handle->get(), t.offset, piece.bytes.data(), piece.bytes.size());
            if (!got)
                return spoil(got.error());
            if (*got != piece.bytes.size())
                return spoil(Error { EIO, t.file + " is shorter than the change expects" });
        }
        kept.pieces.push_back(std::move(piece));
    }
}

void UndoKeeper::committed(int area, bool lateWrites)
{
    if (!m_recording)
        return;
    KeptArea& kept = areaOf(area);
    if (kept.spoiled)
        return;
    if (lateWrites) {
        kept.spoiled = "the board wrote to the area during the change";
        return;
    }
    auto mark = markArea(m_io, m_fileBaseDir, area);
    if (!mark) {
        kept.spoiled = "the area could not be read after the change (" + mark.error().message + ")";
        return;
    }
    kept.left = *mark;
}

} // namespace qv
