#include "editing/Descriptions.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "editing/EditedText.h"
#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/LargeTable.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {

namespace {

std::vector<uint8_t> longField(int32_t value)
{
    std::vector<uint8_t> bytes(4);
    enc::putLong(bytes.data(), value);
    return bytes;
}

DescriptionsResult outcome(DescriptionsResult::Outcome o, QString message)
{
    DescriptionsResult r;
    r.outcome = o;
    r.message = std::move(message);
    return r;
}

// storedLength for many pointers, read in pointer order through one window, so that every
// entry of an area costs no read of its own.
Result<std::vector<size_t>> storedLengths(FileIo& io, FileIo::Handle file, const std::vector<int32_t>& pointers)
{
    std::vector<size_t> lengths(pointers.size(), 0);
    std::vector<size_t> byPointer;
    for (size_t i = 0; i < pointers.size(); ++i)
        if (pointers[i] >= 0)
            byPointer.push_back(i);
    std::sort(byPointer.begin(), byPointer.end(), [&](size_t a, size_t b) { return pointers[a] < pointers[b]; });
    constexpr size_t kWindow = size_t(1) << 20;
    std::vector<char> window;
    uint64_t start = 0;
    bool full = false; // the window holds all it asked for: the file goes on behind it
    for (size_t i : byPointer) {
        const uint64_t at = uint64_t(pointers[i]);
        auto zeroIn = [&]() -> const void* {
            if (at < start || at >= start + window.size())
                return nullptr;
            return std::memchr(window.data() + (at - start), 0, window.size() - size_t(at - start));
        };
        const void* zero = zeroIn();
        if (!zero && (at < start || at >= start + window.size() || full)) {
            window.resize(kWindow);
            auto got = io.readAt(file, at, window.data(), window.size());
            if (!got)
                return got.error();
            window.resize(*got);
            start = at;
            full = *got == kWindow;
            zero = zeroIn();
        }
        if (zero)
            lengths[i] = size_t(static_cast<const char*>(zero) - (window.data() + (at - start))) + 1;
        else if (full) {
            // Longer than the window: read on as for one entry.
            auto one = Descriptions::storedLength(io, file, pointers[i]);
            if (!one)
                return one.error();
            lengths[i] = *one;
        }
    }
    return lengths;
}

} // namespace

Result<size_t> Descriptions::storedLength(FileIo& io, FileIo::Handle file, int32_t pointer)
{
    if (pointer < 0)
        return size_t(0);
    char chunk[512];
    size_t length = 0;
    while (length < kDescriptionReadLimit) {
        auto got = io.readAt(file, uint64_t(pointer) + length, chunk, sizeof chunk);
        if (!got)
            return got.error();
        if (*got == 0)
            return size_t(0);
        if (const void* zero = std::memchr(chunk, 0, *got))
            return length + size_t(static_cast<const char*>(zero) - chunk) + 1;
        length += *got;
    }
    return size_t(0);
}

Result<size_t> Descriptions::storedLength(FileIo& io, const std::string& descriptionFile, int32_t pointer)
{
    if (pointer < 0 || !io.exists(descriptionFile))
        return size_t(0);
    auto h = io.open(descriptionFile, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle file(io, *h);
    return storedLength(io, *h, pointer);
}

Descriptions::Descriptions(const Board& board, int area)
    : m_board(board)
    , m_area(area)
{
}

DescriptionsResult Descriptions::giveAll(std::vector<RowIdentity> shown, const QString& text) const
{
    using Outcome = DescriptionsResult::Outcome;
    // Sorted already when they come from the list in record order; moving 100,000 records costs.
    const auto byPosition = [](const RowIdentity& l, const RowIdentity& r) { return l.position < r.position; };
    if (!std::is_sorted(shown.begin(), shown.end(), byPosition))
        std::sort(shown.begin(), shown.end(), byPosition);
    shown.erase(std::unique(shown.begin(), shown.end(),
                    [](const RowIdentity& l, const RowIdentity& r) { return l.position == r.position; }),
        shown.end());
    if (shown.empty())
        return {};
    const CodePage& page = m_board.codePage();
    const EditedText::Encoded encoded = EditedText::description(page, text);
    if (!encoded.ok())
        return outcome(
            Outcome::Refused, messages::characterNotInCodePage(*encoded.refused, QString::fromLatin1(page.name())));

    AreaStore& store = m_board.store();
    FileIo& io = store.io();
    auto failed = [&](const Error& e) {
        DescriptionsResult r = outcome(Outcome::Failed, messages::changeNotWritten(m_area, e));
        r.rowsChanged = e.code == kRowsChanged;
        return r;
    };
    // An interrupted change is finished first, so the records read here are the ones patched.
    if (auto recovered = store.recover(m_area); !recovered)
        return failed(recovered.error());
    const std::string base = store.fileBaseDir();
    // The shown records are taken as they stand: the store compares every one with the file at
    // the commit, so nothing is read here but the count.
    const std::string hdr = areaFilePath(io, base, m_area, AreaFileKind::Header);
    auto headerBytes = io.fileSize(hdr);
    if (!headerBytes)
        return failed(headerBytes.error());
    const uint64_t count = *headerBytes / HeaderRecord::kSize;
    if (shown.back().position >= count)
        return failed(Error { kRowsChanged, rowsChangedMessage(m_area) });
    uint64_t indexed = 0;
    const std::string idx = areaFilePath(io, base, m_area, AreaFileKind::Index);
    if (io.exists(idx))
        if (auto n = io.fileSize(idx))
            indexed = recordCount(*n, AreaFileKind::Index);

    const std::string txt = areaFilePath(io, base, m_area, AreaFileKind::Description);
    std::optional<ScopedHandle> descriptions;
    if (io.exists(txt)) {
        auto h = io.open(txt, FileIo::Mode::Read);
        if (!h)
            return failed(h.error());
        descriptions.emplace(io, *h);
    }

    DescriptionsResult result;
    std::vector<std::string_view> appended; // each the same encoded text
    std::vector<FieldPatch> patches;
    std::vector<uint8_t> inPlace(encoded.bytes.begin(), encoded.bytes.end());
    inPlace.push_back(0);
    std::vector<std::optional<size_t>> appendedAs;
    reserveLarge(patches, 2 * shown.size());
    appendedAs.reserve(shown.size());
    appended.reserve(shown.size());
    std::vector<int32_t> pointers;
    pointers.reserve(shown.size());
    for (const RowIdentity& row : shown)
        pointers.push_back(enc::getLong(row.record.data() + HeaderRecord::kDescriptionPointerOffset));
    auto lengths = descriptions ? storedLengths(io, descriptions->get(), pointers)
                                : Result<std::vector<size_t>>(std::vector<size_t>(pointers.size(), 0));
    if (!lengths)
        return failed(lengths.error());
    for (size_t i = 0; i < shown.size(); ++i) {
        const uint64_t p = shown[i].position;
        const int32_t pointer = pointers[i];
        const size_t stored = (*lengths)[i];
        if (stored > 0 && inPlace.size() <= stored) {
            patches.push_back({ AreaFileKind::Description, uint64_t(pointer), 0, inPlace, std::nullopt });
            appendedAs.push_back(std::nullopt);
            ++result.overwritten;
            continue;
        }
        // Each entry gets a copy of its own, so a later edit of one leaves the others alone.
        const size_t k = appended.size();
        appended.push_back(encoded.bytes);
        patches.push_back({ AreaFileKind::Header, p, HeaderRecord::kDescriptionPointerOffset, longField(0), k });
        if (p < indexed)
            patches.push_back({ AreaFileKind::Index, p, IndexRecord::kDescriptionPointerOffset, longField(0), k });
        appendedAs.push_back(k);
        ++result.appended;
    }
    descriptions.reset();
    auto written = store.patchRecords(m_area, appended, std::move(patches), shown);
    if (!written)
        return failed(written.error());
    // The rows as they now stand: only the moved pointers differ from what was shown.
    for (size_t i = 0; i < shown.size(); ++i)
        if (appendedAs[i])
            enc::putLong(shown[i].record.data() + HeaderRecord::kDescriptionPointerOffset, (*written)[*appendedAs[i]]);
    result.records = std::move(shown);
    result.outcome = Outcome::Written;
    result.description = EditedText::forEditor(page, encoded.bytes);
    return result;
}

DescriptionsResult Descriptions::insertComment(
    uint64_t after, const QString& text, const QString& uploader, std::optional<RowIdentity> behind) const
{
    using Outcome = DescriptionsResult::Outcome;
    const CodePage& page = m_board.codePage();
    const QString pageName = QString::fromLatin1(page.name());
    const EditedText::Encoded description = EditedText::description(page, text);
    if (!description.ok())
        return outcome(Outcome::Refused, messages::characterNotInCodePage(*description.refused, pageName));
    const EditedText::Encoded name = EditedText::field(page, uploader.trimmed());
    if (!name.ok())
        return outcome(Outcome::Refused, messages::characterNotInCodePage(*name.refused, pageName));
    if (name.bytes.size() > HeaderRecord::kUploaderWidth)
        return outcome(
            Outcome::Refused, messages::textTooLong(QStringLiteral("The uploader"), int(HeaderRecord::kUploaderWidth)));

    AreaStore& store = m_board.store();
    auto failed = [&](const Error& e) {
        DescriptionsResult r = outcome(Outcome::Failed, messages::changeNotWritten(m_area, e));
        r.rowsChanged = e.code == kRowsChanged;
        return r;
    };
    if (auto recovered = store.recover(m_area); !recovered)
        return failed(recovered.error());
    auto count = store.count(m_area);
    if (!count)
        return failed(count.error());
    // A comment has no name, no dates and no counts; only its uploader and its text.
    NewEntry entry;
    entry.header.setUploader(name.bytes);
    const uint64_t at = behind ? behind->position + 1 : std::min(after, *count);
    std::span<const RowIdentity> expected;
    if (behind)
        expected = std::span(&*behind, 1);
    if (auto inserted = store.insertEntry(m_area, at, entry, description.bytes, expected); !inserted)
        return failed(inserted.error());
    DescriptionsResult result;
    result.outcome = Outcome::Written;
    result.appended = 1;
    result.description = EditedText::forEditor(page, description.bytes);
    result.position = at;
    result.row.name = RowName::lasting(text::kCommentRowText);
    result.row.comment = true;
    HeaderRecord shown;
    shown.setUploader(name.bytes);
    result.row.record = shown.encode();
    // The stored record carries the pointer the store gave the text: the row's identity.
    if (auto rows = store.readRows(m_area, { at }, false); rows && rows->size() == 1)
        result.row = rows->front();
    return result;
}

} // namespace qv
