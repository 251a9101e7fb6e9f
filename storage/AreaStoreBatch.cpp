// Changes of several entries that commit as one: many insertions, many new descriptions.

#include "storage/AreaStore.h"

#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <unordered_map>

namespace qv {

namespace {
// In-place texts travel in the journal as hex; beyond this many bytes a text is appended
// instead, which is as safe and keeps the note small.
constexpr size_t kInPlaceBudget = size_t(256) << 10;

// Whether the text at pointer, with its zero byte, takes at least wanted bytes (a text without a
// zero byte before the end of the file takes none).
Result<bool> storedAtLeast(FileIo& io, FileIo::Handle h, int32_t pointer, size_t wanted)
{
    std::vector<char> block(4096);
    uint64_t offset = uint64_t(pointer);
    size_t seen = 0;
    for (;;) {
        auto got = io.readAt(h, offset, block.data(), block.size());
        if (!got)
            return got.error();
        const auto zero = std::find(block.begin(), block.begin() + long(*got), '\0');
        if (zero != block.begin() + long(*got))
            return seen + size_t(zero - block.begin()) + 1 >= wanted;
        if (*got < block.size() || seen > kDescriptionReadLimit)
            return false;
        seen += *got;
        offset += *got;
    }
}
} // namespace

Result<std::pair<AreaJournal::Append, std::vector<int32_t>>> AreaStore::appendNoted(
    int area, const std::vector<std::string>& texts)
{
    const std::string txt = path(area, AreaFileKind::Description);
    uint64_t oldLength = 0;
    if (m_io->exists(txt)) {
        auto n = m_io->fileSize(txt);
        if (!n)
            return n.error();
        oldLength = *n;
    }
    std::string bytes;
    std::vector<int32_t> pointers;
    for (const std::string& t : texts) {
        if (oldLength + bytes.size() + t.size() + 1 > uint64_t(std::numeric_limits<int32_t>::max()))
            return Error { EFBIG, "the description file would pass 2 GiB" };
        pointers.push_back(int32_t(oldLength + bytes.size()));
        bytes += t;
        bytes.push_back('\0');
    }
    // Noted before the texts are written, so a crash in between cuts them off again. The note
    // needs no flush of its own: the one that commits the change replaces it.
    AreaJournal intent;
    intent.complete = false;
    intent.append
        = AreaJournal::Append { journalName(AreaFileKind::Description, txt), oldLength, oldLength + bytes.size() };
    const std::string journal = journalPath(directoryOf(path(area, AreaFileKind::Header)), area);
    if (auto written = writeJournal(*m_io, journal, intent, false); !written) {
        (void)m_io->remove(journal);
        return written.error();
    }
    auto fail = [&](const Error& e) -> Result<std::pair<AreaJournal::Append, std::vector<int32_t>>> {
        (void)recover(area);
        return e;
    };
    auto h = m_io->open(txt, FileIo::Mode::Append);
    if (!h)
        return fail(h.error());
    ScopedHandle handle(*m_io, *h);
    if (auto length = m_io->size(*h); !length)
        return fail(length.error());
    else if (*length + bytes.size() > uint64_t(std::numeric_limits<int32_t>::max()))
        return fail(Error { EFBIG, "the description file would pass 2 GiB" });
    std::optional<uint64_t> started;
    auto at = m_io->append(*h, bytes.data(), bytes.size(), &started);
    Result<void> written;
    if (!at)
        written = at.error();
    else if (started = *at; *at != oldLength) {
        // The board appended meanwhile: the texts went behind its own. The note before no longer
        // matches the file, so a crash now leaves them (unreferenced) rather than cut the board's.
        for (int32_t& p : pointers)
            p = int32_t(uint64_t(p) - oldLength + *at);
        intent.append->length = *at;
        intent.append->lengthAfter = *at + bytes.size();
    }
    if (written)
        written = m_io->syncData(*h);
    if (!written) {
        // A full disk takes part of the text: it is cut off now, and the note is told the length
        // it left so that recovery cuts it off should this fail or the process die first.
        (void)handle.close();
        if (!started)
            return fail(written.error());
        if (auto left = partialAppend(*m_io, txt, *started, bytes); left && *left) {
            intent.append->length = *started;
            intent.append->lengthAfter = **left;
            (void)writeJournal(*m_io, journal, intent);
            (void)cutBack(*m_io, txt, **left, *started);
        }
        return fail(written.error());
    }
    (void)handle.close();
    intent.append->land(*at, bytes);
    return std::pair { *intent.append, std::move(pointers) };
}

Result<std::pair<FileIo::Stamp, uint64_t>> AreaStore::beginChange(int area)
{
    if (auto r = recover(area); !r)
        return r.error();
    // Noted before the count the plan rests on, so an entry the board adds meanwhile is not lost.
    auto before = m_io->stamp(path(area, AreaFileKind::Header));
    if (!before)
        return before.error();
    auto records = count(area);
    if (!records)
        return records.error();
    return std::pair { *before, *records };
}

Result<void> AreaStore::insertEntries(int area, uint64_t p, std::vector<NewEntry> entries,
    std::vector<std::string> descriptions, std::span<const RowIdentity> expected)
{
    if (descriptions.size() != entries.size())
        return Error { EINVAL, "one description per entry" };
    if (entries.empty())
        return {};
    auto start = beginChange(area);
    if (!start)
        return start.error();
    const auto& [before, records] = *start;
    // A long name also goes into the description file, for the board's pointer at 174.
    std::vector<std::string> texts = std::move(descriptions);
    std::vector<size_t> longNameText(entries.size(), 0);
    for (size_t k = 0; k < entries.size(); ++k) {
        const std::string longName = entries[k].longName.name();
        if (!text::trim(longName).empty()) {
            longNameText[k] = texts.size();
            texts.push_back(longName);
        }
    }
    auto appended = appendNoted(area, texts);
    if (!appended)
        return appended.error();
    p = std::min(p, records);
    RewritePlan plan;
    plan.keep(0, p);
    for (size_t k = 0; k < entries.size(); ++k) {
        entries[k].header.setDescriptionPointer(appended->second[k]);
        entries[k].index.setDescriptionPointer(appended->second[k]);
        entries[k].header.setLongNamePointer(longNameText[k] ? appended->second[longNameText[k]] : 0);
        plan.add(std::move(entries[k]));
    }
    plan.keep(p, records - p);
    plan.setCreateLongNames(true);
    return commitPlan(area, plan, appended->first, before, expected);
}

Result<void> AreaStore::takeEntries(int area, uint64_t p, int from, const std::vector<uint64_t>& records,
    std::span<const RowIdentity> expected, std::span<const RowIdentity> expectedHere)
{
    if (m_fileBaseDir.empty())
        return noFileBase();
    if (from == area || from <= 0)
        return Error { EINVAL, "entries are taken from another area" };
    if (records.empty())
        return {};
    auto start = beginChange(area);
    if (!start)
        return start.error();
    const auto& [before, here] = *start;
    // The descriptions as the other area stores them, read in one pass over its files.
    std::vector<std::string> texts;
    texts.reserve(records.size());
    {
        auto hdr = m_io->open(path(from, AreaFileKind::Header), FileIo::Mode::Read);
        if (!hdr)
            return hdr.error();
        ScopedHandle header(*m_io, *hdr);
        if (auto same = checkRows(header.get(), from, expected, true); !same)
            return same.error();
        DescriptionReader descriptions(*m_io, path(from, AreaFileKind::Description));
        HeaderRecord::Bytes rec {};
        for (uint64_t r : records) {
            auto got = m_io->readAt(header.get(), r * HeaderRecord::kSize, rec.data(), rec.size());
            if (!got)
                return got.error();
            if (*got != rec.size())
                return Error { EINVAL, "area " + std::to_string(from) + " has no entry " + std::to_string(r + 1) };
            const int32_t pointer = enc::getLong(rec.data() + HeaderRecord::kDescriptionPointerOffset);
            texts.push_back(descriptions.textAt(pointer, kDescriptionReadLimit));
            if (descriptions.error())
                return *descriptions.error();
        }
    }
    auto appended = appendNoted(area, texts);
    if (!appended)
        return appended.error();
    p = std::min(p, here);
    RewritePlan plan;
    plan.setOtherArea(from);
    plan.keep(0, p);
    for (size_t k = 0; k < records.size(); ++k)
        plan.take(records[k], appended->second[k]);
    plan.keep(p, here - p);
    return commitPlan(area, plan, appended->first, before, expectedHere, expected);
}

Result<std::vector<bool>> AreaStore::setDescriptions(
    int area, const std::vector<DescriptionChange>& changes, std::span<const RowIdentity> expected)
{
    if (auto r = recover(area); !r)
        return r.error();
    auto records = count(area);
    if (!records)
        return records.error();
    const std::string hdrPath = path(area, AreaFileKind::Header);
    const std::string idxPath = path(area, AreaFileKind::Index);
    const std::string txtPath = path(area, AreaFileKind::Description);
    auto idxLength = m_io->exists(idxPath) ? m_io->fileSize(idxPath) : Result<uint64_t>(uint64_t(0));
    if (!idxLength)
        return idxLength.error();
    // The last change of a position wins.
    std::map<uint64_t, size_t> last;
    for (size_t k = 0; k < changes.size(); ++k) {
        if (changes[k].position >= *records)
            return Error { EINVAL,
                "record " + std::to_string(changes[k].position + 1) + " is past the end of the area" };
        last[changes[k].position] = k;
    }
    std::vector<bool> inPlace(changes.size(), false);
    if (last.empty())
        return inPlace;

    // A text other records point at too is never written over: they would change with it.
    auto hdr = readWholeFile(*m_io, hdrPath, uint64_t(1) << 31);
    if (!hdr)
        return hdr.error();
    std::unordered_map<int32_t, int> users;
    for (size_t off = 0; off + HeaderRecord::kSize <= hdr->size(); off += HeaderRecord::kSize)
        ++users[enc::getLong(hdr->data() + off + HeaderRecord::kDescriptionPointerOffset)];

    std::optional<ScopedHandle> txt;
    if (m_io->exists(txtPath)) {
        auto h = m_io->open(txtPath, FileIo::Mode::Read);
        if (!h)
            return h.error();
        txt.emplace(*m_io, *h);
    }
    AreaJournal note;
    std::vector<std::string> appendedTexts;
    std::vector<uint64_t> appendedFor;
    size_t budget = kInPlaceBudget;
    for (const auto& [position, k] : last) {
        const std::string& text = changes[k].text;
        const int32_t pointer
            = enc::getLong(hdr->data() + position * HeaderRecord::kSize + HeaderRecord::kDescriptionPointerOffset);
        const size_t wanted = text.size() + 1;
        bool fits = txt && pointer >= 0 && users[pointer] == 1 && wanted <= budget;
        if (fits) {
            auto enough = storedAtLeast(*m_io, txt->get(), pointer, wanted);
            if (!enough)
                return enough.error();
            fits = *enough;
        }
        if (fits) {
            std::vector<uint8_t> bytes(text.begin(), text.end());
            bytes.push_back(0);
            note.patches.push_back(
                { journalName(AreaFileKind::Description, txtPath), uint64_t(pointer), std::move(bytes), 0, 0 });
            budget -= wanted;
            inPlace[k] = true;
        } else {
            appendedTexts.push_back(text);
            appendedFor.push_back(position);
        }
    }

    txt.reset();
    const std::string headerDir = directoryOf(hdrPath);
    const std::string journal = journalPath(headerDir, area);
    if (!appendedTexts.empty()) {
        auto appended = appendNoted(area, appendedTexts);
        if (!appended)
            return appended.error();
        note.append = appended->first;
        for (size_t i = 0; i < appendedFor.size(); ++i) {
            std::vector<uint8_t> bytes(4);
            enc::putLong(bytes.data(), appended->second[i]);
            note.patches.push_back({ journalName(AreaFileKind::Header, hdrPath),
                appendedFor[i] * HeaderRecord::kSize + HeaderRecord::kDescriptionPointerOffset, bytes, 0, 0 });
            // A short or missing index has nothing to keep in step for the records it lacks.
            if (appendedFor[i] < recordCount(*idxLength, AreaFileKind::Index))
                note.patches.push_back({ journalName(AreaFileKind::Index, idxPath),
                    appendedFor[i] * IndexRecord::kSize + IndexRecord::kDescriptionPointerOffset, bytes, 0, 0 });
        }
    }
    if (note.serializedSize() > kJournalLimit) {
        (void)recover(area);
        return Error { EFBIG, "too many entries for one change" };
    }
    const std::string headerName = journalName(AreaFileKind::Header, hdrPath);
    const std::string indexName = journalName(AreaFileKind::Index, idxPath);
    std::vector<uint32_t> fileOf;
    fileOf.reserve(note.patches.size());
    for (const auto& patch : note.patches)
        fileOf.push_back(patch.file == headerName ? 0 : patch.file == indexName ? 1 : 2);
    bool started = false;
    if (auto done = writeNoted(area, note, { hdrPath, idxPath, txtPath }, fileOf, expected, &started); !done) {
        // Refused or failed before anything was written: the appended texts are cut off again.
        if (!started && note.append)
            (void)undoAppend(*m_io, m_fileBaseDir, area, *note.append);
        return done.error();
    }
    return inPlace;
}

} // namespace qv
