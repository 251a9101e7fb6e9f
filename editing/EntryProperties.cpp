#include "editing/EntryProperties.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "editing/Descriptions.h"
#include "editing/EditedText.h"
#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/IndexRecord.h"
#include "storage/KeywordChecksum.h"
#include "storage/Text.h"

#include <QDate>

#include <cerrno>

namespace qv {

namespace {

constexpr int kCountMax = 64000;

std::vector<uint8_t> textField(std::string_view text, size_t width)
{
    std::vector<uint8_t> bytes(width + 1);
    enc::putText(bytes.data(), width, text);
    return bytes;
}

std::vector<uint8_t> longField(int32_t value)
{
    std::vector<uint8_t> bytes(4);
    enc::putLong(bytes.data(), value);
    return bytes;
}

std::vector<uint8_t> wordField(int value)
{
    std::vector<uint8_t> bytes(2);
    enc::putWord(bytes.data(), value);
    return bytes;
}

PropertiesResult refused(PropertyField field, QString message)
{
    PropertiesResult r;
    r.outcome = PropertiesResult::Outcome::Refused;
    r.field = field;
    r.message = std::move(message);
    return r;
}

} // namespace

bool PropertyChanges::empty() const
{
    return onlyDescription() && !description;
}

bool PropertyChanges::onlyDescription() const
{
    return !uploader && !uploadDate && !lastDownload && !downloads && !cost && !attributes && !password && !keywords;
}

EntryProperties::EntryProperties(const Board& board, int area)
    : m_board(board)
    , m_area(area)
{
}

std::optional<EntryFields> EntryProperties::read(
    const RowIdentity& shown, bool useLongNames, QString* error, bool* rowsChanged) const
{
    AreaStore& store = m_board.store();
    const uint64_t position = shown.position;
    auto header = store.readHeader(m_area, position);
    const bool same = header && header->encode() == shown.record;
    if (rowsChanged)
        *rowsChanged = !same && (header || header.error().code == EINVAL);
    if (!same) {
        if (error)
            *error = header || header.error().code == EINVAL
                ? messages::rowsChanged(m_area)
                : messages::changeNotWritten(m_area, QString::fromStdString(header.error().message));
        return std::nullopt;
    }
    const HeaderRecord& h = *header;
    std::string longName;
    if (useLongNames)
        if (auto l = store.readLongName(m_area, position))
            longName = l->name();
    EntryFields f;
    f.position = position;
    f.comment = h.isComment();
    f.name = m_board.text(text::displayName(h.name(), longName));
    f.size = h.size();
    f.fileDate = h.fileDate();
    f.uploadDate = boxesOf(h.uploadDate());
    f.lastDownload = boxesOf(h.lastDownloadDate());
    f.downloads = h.downloads();
    f.cost = h.cost();
    f.attributes = h.attributes();
    f.uploader = m_board.text(h.uploader());
    f.password = m_board.text(h.password());
    for (size_t k = 0; k < f.keywords.size(); ++k)
        f.keywords[k] = m_board.text(h.keyword(k));
    f.description = EditedText::forEditor(m_board.codePage(), store.readDescription(m_area, position));
    return f;
}

QString EntryProperties::rangeProblem(PropertyField field, int value)
{
    switch (field) {
    case PropertyField::UploadMonth:
    case PropertyField::LastDownloadMonth:
        return value >= 1 && value <= 12 ? QString() : messages::monthOutOfRange();
    case PropertyField::UploadDay:
    case PropertyField::LastDownloadDay:
        return value >= 1 && value <= 31 ? QString() : messages::dayOutOfRange();
    case PropertyField::UploadYear:
    case PropertyField::LastDownloadYear:
        return value >= 1980 && value <= 2107 ? QString() : messages::yearOutOfRange();
    case PropertyField::Downloads:
    case PropertyField::Cost:
        return value >= 0 && value <= kCountMax ? QString() : messages::countOutOfRange();
    default:
        return {};
    }
}

std::optional<std::pair<PropertyField, QString>> EntryProperties::firstRangeProblem(const PropertyChanges& c)
{
    std::vector<std::pair<PropertyField, int>> values;
    if (c.uploadDate)
        values.insert(values.end(),
            { { PropertyField::UploadMonth, c.uploadDate->month }, { PropertyField::UploadDay, c.uploadDate->day },
                { PropertyField::UploadYear, c.uploadDate->year } });
    if (c.lastDownload)
        values.insert(values.end(),
            { { PropertyField::LastDownloadMonth, c.lastDownload->month },
                { PropertyField::LastDownloadDay, c.lastDownload->day },
                { PropertyField::LastDownloadYear, c.lastDownload->year } });
    if (c.downloads)
        values.push_back({ PropertyField::Downloads, *c.downloads });
    if (c.cost)
        values.push_back({ PropertyField::Cost, *c.cost });
    for (const auto& [field, value] : values)
        if (QString problem = rangeProblem(field, value); !problem.isEmpty())
            return std::pair { field, problem };
    return std::nullopt;
}

DateBoxes EntryProperties::boxesOf(int32_t packedDate)
{
    const auto d = enc::decodeDate(packedDate);
    if (!d || !QDate(d->year, d->month, d->day).isValid())
        return DateBoxes { 1, 1, 1980 };
    return DateBoxes { d->month, d->day, d->year };
}

enc::CalendarDate EntryProperties::calendarDate(const DateBoxes& b)
{
    const QDate date = QDate(b.year, 1, 1).addMonths(b.month - 1).addDays(b.day - 1);
    return { date.year(), date.month(), date.day() };
}

void EntryProperties::updateRow(LoadedRow& row, const HeaderRecord& h)
{
    row.record = h.encode();
}

PropertiesResult EntryProperties::apply(const RowIdentity& shown, const PropertyChanges& c) const
{
    const uint64_t position = shown.position;
    if (c.empty())
        return {};
    if (auto problem = firstRangeProblem(c))
        return refused(problem->first, problem->second);

    // Every text is turned into board bytes before anything is read or written.
    const CodePage& page = m_board.codePage();
    const QString pageName = QString::fromLatin1(page.name());
    struct Text {
        std::optional<QString> value;
        PropertyField field;
        size_t width;
        const char* label;
        std::string bytes;
    };
    std::vector<Text> texts;
    if (c.uploader)
        texts.push_back(
            { c.uploader->trimmed(), PropertyField::Uploader, HeaderRecord::kUploaderWidth, "The uploader", {} });
    if (c.password)
        texts.push_back(
            { c.password->trimmed(), PropertyField::Password, HeaderRecord::kPasswordWidth, "The password", {} });
    if (c.keywords)
        for (size_t k = 0; k < HeaderRecord::kKeywordCount; ++k)
            texts.push_back({ (*c.keywords)[k], PropertyField(int(PropertyField::Keyword1) + int(k)),
                HeaderRecord::kKeywordWidth, "A keyword", {} });
    for (Text& t : texts) {
        const EditedText::Encoded e = EditedText::field(page, *t.value);
        if (!e.ok())
            return refused(t.field, messages::characterNotInCodePage(*e.refused, pageName));
        if (e.bytes.size() > t.width)
            return refused(t.field, messages::textTooLong(QString::fromLatin1(t.label), int(t.width)));
        t.bytes = e.bytes;
    }
    std::optional<std::string> description;
    if (c.description) {
        const EditedText::Encoded e = EditedText::description(page, *c.description);
        if (!e.ok())
            return refused(PropertyField::Description, messages::characterNotInCodePage(*e.refused, pageName));
        description = e.bytes;
    }

    AreaStore& store = m_board.store();
    PropertiesResult result;
    auto failed = [&](const Error& e) {
        result.outcome = PropertiesResult::Outcome::Failed;
        result.rowsChanged = e.code == kRowsChanged;
        result.message = messages::changeNotWritten(m_area, e);
        return result;
    };
    // The record shown is the one changed; the store checks it again when the change commits.
    auto read = store.readHeader(m_area, position);
    if (!read && read.error().code != EINVAL)
        return failed(read.error());
    if (!read || read->encode() != shown.record)
        return failed(Error { kRowsChanged, rowsChangedMessage(m_area) });
    HeaderRecord h = *read;
    if (h.isComment() && !c.onlyDescription())
        return refused(PropertyField::None, messages::commentHasOnlyDescription(position + 1));
    // An area whose index file lacks the record still gets its header written; the index has
    // nothing to keep in step.
    FileIo& io = store.io();
    const std::string idx = areaFilePath(io, store.fileBaseDir(), m_area, AreaFileKind::Index);
    uint64_t indexRecords = 0;
    if (io.exists(idx)) {
        auto length = io.fileSize(idx);
        if (!length)
            return failed(length.error());
        indexRecords = recordCount(*length, AreaFileKind::Index);
    }
    const bool indexed = position < indexRecords;

    std::vector<FieldPatch> patches;
    auto header = [&](size_t offset, std::vector<uint8_t> bytes, const char* name) {
        std::copy(bytes.begin(), bytes.end(), h.bytes().begin() + std::ptrdiff_t(offset));
        patches.push_back({ AreaFileKind::Header, position, offset, std::move(bytes), std::nullopt });
        if (name)
            result.written << QString::fromLatin1(name);
    };
    auto index = [&](size_t offset, std::vector<uint8_t> bytes, std::optional<size_t> appended = std::nullopt) {
        if (indexed)
            patches.push_back({ AreaFileKind::Index, position, offset, std::move(bytes), appended });
    };
    auto textOf = [&](PropertyField field) {
        for (const Text& t : texts)
            if (t.field == field)
                return t.bytes;
        return std::string();
    };

    if (c.uploader)
        header(HeaderRecord::kUploaderOffset, textField(textOf(PropertyField::Uploader), HeaderRecord::kUploaderWidth),
            "uploader");
    if (c.uploadDate)
        header(HeaderRecord::kUploadDateOffset, longField(enc::encodeDate(calendarDate(*c.uploadDate))), "upload date");
    if (c.lastDownload)
        header(HeaderRecord::kLastDownloadOffset, longField(enc::encodeDate(calendarDate(*c.lastDownload))),
            "last download");
    if (c.downloads)
        header(HeaderRecord::kDownloadsOffset, wordField(*c.downloads), "downloads");
    if (c.attributes)
        header(HeaderRecord::kAttributesOffset, { uint8_t(*c.attributes & 0x7F) }, "attributes");
    if (c.password)
        header(HeaderRecord::kPasswordOffset, textField(textOf(PropertyField::Password), HeaderRecord::kPasswordWidth),
            "password");
    if (c.keywords) {
        for (size_t k = 0; k < HeaderRecord::kKeywordCount; ++k) {
            // Stored trimmed; the board's keyword search matches the checksum of exactly that.
            const std::string bytes(text::trim(textOf(PropertyField(int(PropertyField::Keyword1) + int(k)))));
            header(HeaderRecord::keywordOffset(k), textField(bytes, HeaderRecord::kKeywordWidth),
                k == 0 ? "keywords" : nullptr);
            // The entry's own index record, whatever names other records carry.
            index(IndexRecord::kChecksumsOffset + 4 * k, longField(keywordChecksum(bytes)));
        }
    }
    if (c.cost)
        header(HeaderRecord::kCostOffset, wordField(*c.cost), "cost");

    if (description) {
        // An edited text keeps the line breaks its stored text had; an unchanged one is not written.
        const std::string txt = areaFilePath(io, store.fileBaseDir(), m_area, AreaFileKind::Description);
        const std::string before
            = h.descriptionPointer() < 0 ? std::string() : readDescription(io, txt, h.descriptionPointer());
        description = EditedText::description(page, *c.description, EditedText::lineBreakOf(before)).bytes;
        if (*description == before && h.descriptionPointer() >= 0)
            description.reset();
    }
    if (!description && patches.empty())
        return {};

    std::vector<std::string_view> appended; // of description, which lives until the patch
    if (description) {
        result.written << QStringLiteral("description");
        const int32_t pointer = h.descriptionPointer();
        const std::string txt = areaFilePath(io, store.fileBaseDir(), m_area, AreaFileKind::Description);
        auto stored = Descriptions::storedLength(io, txt, pointer);
        if (!stored)
            return failed(stored.error());
        if (*stored > 0 && description->size() + 1 <= *stored) {
            // Not longer than the stored text: written over it, the pointers stay.
            std::vector<uint8_t> bytes(description->begin(), description->end());
            bytes.push_back(0);
            patches.push_back({ AreaFileKind::Description, uint64_t(pointer), 0, std::move(bytes), std::nullopt });
            header(HeaderRecord::kDescriptionPointerOffset, longField(pointer), nullptr);
            index(IndexRecord::kDescriptionPointerOffset, longField(pointer));
            result.descriptionPointer = pointer;
        } else {
            appended.push_back(*description);
            patches.push_back(
                { AreaFileKind::Header, position, HeaderRecord::kDescriptionPointerOffset, longField(0), size_t(0) });
            index(IndexRecord::kDescriptionPointerOffset, longField(0), size_t(0));
            result.descriptionAppended = true;
        }
        result.description = EditedText::forEditor(page, *description);
    }

    auto written = store.patchRecords(m_area, appended, std::move(patches), std::span(&shown, 1));
    if (!written)
        return failed(written.error());
    if (result.descriptionAppended) {
        result.descriptionPointer = written->front();
        h.setDescriptionPointer(result.descriptionPointer);
    } else if (!description) {
        result.descriptionPointer = h.descriptionPointer();
    }
    result.outcome = PropertiesResult::Outcome::Written;
    result.header = h;
    return result;
}

} // namespace qv
