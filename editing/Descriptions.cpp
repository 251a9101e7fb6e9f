#include "editing/Descriptions.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "editing/EditedText.h"
#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

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

DescriptionsResult Descriptions::giveAll(std::vector<uint64_t> positions, const QString& text) const
{
    using Outcome = DescriptionsResult::Outcome;
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    if (positions.empty())
        return {};
    const CodePage& page = m_board.codePage();
    const EditedText::Encoded encoded = EditedText::description(page, text);
    if (!encoded.ok())
        return outcome(
            Outcome::Refused, messages::characterNotInCodePage(*encoded.refused, QString::fromLatin1(page.name())));

    AreaStore& store = m_board.store();
    FileIo& io = store.io();
    auto failed = [&](const Error& e) {
        return outcome(Outcome::Failed, messages::changeNotWritten(m_area, QString::fromStdString(e.message)));
    };
    // An interrupted change is finished first, so the records read here are the ones patched.
    if (auto recovered = store.recover(m_area); !recovered)
        return failed(recovered.error());
    auto count = store.count(m_area);
    if (!count)
        return failed(count.error());
    if (positions.back() >= *count)
        return outcome(Outcome::Refused, messages::noSuchEntry(m_area, positions.back() + 1));
    const std::string base = store.fileBaseDir();
    auto headers = readWholeFile(
        io, areaFilePath(io, base, m_area, AreaFileKind::Header), uint64_t(std::numeric_limits<int32_t>::max()));
    if (!headers)
        return failed(headers.error());
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
    std::vector<std::string> appended;
    std::vector<FieldPatch> patches;
    std::vector<uint8_t> inPlace(encoded.bytes.begin(), encoded.bytes.end());
    inPlace.push_back(0);
    for (uint64_t p : positions) {
        const int32_t pointer
            = enc::getLong(headers->data() + p * HeaderRecord::kSize + HeaderRecord::kDescriptionPointerOffset);
        auto stored = descriptions ? storedLength(io, descriptions->get(), pointer) : Result<size_t>(size_t(0));
        if (!stored)
            return failed(stored.error());
        if (*stored > 0 && inPlace.size() <= *stored) {
            patches.push_back({ AreaFileKind::Description, uint64_t(pointer), 0, inPlace, std::nullopt });
            ++result.overwritten;
            continue;
        }
        // Each entry gets a copy of its own, so a later edit of one leaves the others alone.
        const size_t k = appended.size();
        appended.push_back(encoded.bytes);
        patches.push_back({ AreaFileKind::Header, p, HeaderRecord::kDescriptionPointerOffset, longField(0), k });
        if (p < indexed)
            patches.push_back({ AreaFileKind::Index, p, IndexRecord::kDescriptionPointerOffset, longField(0), k });
        ++result.appended;
    }
    descriptions.reset();
    if (auto written = store.patchRecords(m_area, appended, std::move(patches)); !written)
        return failed(written.error());
    result.outcome = Outcome::Written;
    result.description = EditedText::forEditor(page, encoded.bytes);
    return result;
}

DescriptionsResult Descriptions::insertComment(uint64_t after, const QString& text, const QString& uploader) const
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
        return outcome(Outcome::Failed, messages::changeNotWritten(m_area, QString::fromStdString(e.message)));
    };
    if (auto recovered = store.recover(m_area); !recovered)
        return failed(recovered.error());
    auto count = store.count(m_area);
    if (!count)
        return failed(count.error());
    // A comment has no name, no dates and no counts; only its uploader and its text.
    NewEntry entry;
    entry.header.setUploader(name.bytes);
    const uint64_t at = std::min(after, *count);
    if (auto inserted = store.insertEntry(m_area, at, entry, description.bytes); !inserted)
        return failed(inserted.error());
    DescriptionsResult result;
    result.outcome = Outcome::Written;
    result.appended = 1;
    result.description = EditedText::forEditor(page, description.bytes);
    result.position = at;
    result.row.name = std::string(text::kCommentRowText);
    result.row.comment = true;
    result.row.uploader = name.bytes;
    return result;
}

} // namespace qv
