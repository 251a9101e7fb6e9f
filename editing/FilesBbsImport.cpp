#include "editing/FilesBbsImport.h"

#include "board/Board.h"
#include "editing/EditedText.h"
#include "editing/FileAdder.h"
#include "platform/CodePage.h"
#include "platform/ShortName.h"
#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/Encoding.h"
#include "storage/FilesBbsReader.h"
#include "storage/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <limits>

namespace qv {

namespace {
using Action = FilesBbsImport::Action;

// Lists beyond this are no file lists.
constexpr uint64_t kListLimit = uint64_t(256) << 20;

// What the area holds, read once: names without case to positions, and comment texts.
struct AreaNames {
    QHash<QString, uint64_t> byName; // upper-case 8.3 and long names
    QSet<std::string> comments;
    std::vector<int32_t> pointers;
};

Result<AreaNames> readAreaNames(const Board& board, int area)
{
    FileIo& io = board.io();
    const std::string& base = board.store().fileBaseDir();
    AreaNames names;
    const std::string hdrPath = areaFilePath(io, base, area, AreaFileKind::Header);
    if (!io.exists(hdrPath))
        return names;
    auto hdr = readWholeFile(io, hdrPath, uint64_t(1) << 31);
    if (!hdr)
        return hdr.error();
    std::vector<uint8_t> lfn;
    const std::string lfnPath = areaFilePath(io, base, area, AreaFileKind::LongName);
    if (io.exists(lfnPath)) {
        auto l = readWholeFile(io, lfnPath, uint64_t(1) << 32);
        if (!l)
            return l.error();
        lfn = std::move(*l);
    }
    DescriptionReader texts(io, areaFilePath(io, base, area, AreaFileKind::Description));
    const uint64_t count = recordCount(hdr->size(), AreaFileKind::Header);
    names.pointers.resize(count);
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* rec = hdr->data() + i * HeaderRecord::kSize;
        const std::string name(text::trim(enc::getText(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth)));
        names.pointers[i] = enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset);
        if (name.empty()) {
            names.comments.insert(texts.textAt(names.pointers[i], kDescriptionReadLimit));
            continue;
        }
        names.byName.insert(board.text(text::toUpper(name)).toUpper(), i);
        if ((i + 1) * LongNameRecord::kSize <= lfn.size()) {
            const std::string l(
                text::trim(enc::getText(lfn.data() + i * LongNameRecord::kSize, LongNameRecord::kWidth)));
            if (!l.empty())
                names.byName.insert(board.text(l).toUpper(), i);
        }
    }
    if (texts.error())
        return *texts.error();
    return names;
}

// Why a listed name cannot be taken: the reader's reasons, and characters the page lacks.
QString refusal(const Board& board, const std::string& name)
{
    if (const std::string r = FilesBbsReader::unsafeName(name); !r.empty())
        return QString::fromStdString(r);
    const QString shown = board.text(name);
    for (const QChar c : shown)
        if (c == QChar::ReplacementCharacter || c.category() == QChar::Other_Control)
            return QStringLiteral("a character outside the code page");
    if (board.codePage().encode(shown) != name)
        return QStringLiteral("a character outside the code page");
    if (name.size() > LongNameRecord::kWidth)
        return QStringLiteral("a name longer than 255 characters");
    return {};
}

// The 8.3 name a listed file that is not on disk gets.
QString shortNameOfMissing(const QString& listed, const QStringList& onDisk)
{
    if (shortname::isValid83(listed))
        return listed.toUpper();
    return shortname::shortNamesFor(QStringList(onDisk) << listed).value(listed);
}
} // namespace

int FilesBbsImport::Plan::count(Action a) const
{
    return int(std::count_if(items.begin(), items.end(), [a](const Item& i) { return i.action == a; }));
}

QString FilesBbsImport::actionText(Action action)
{
    switch (action) {
    case Action::Add:
        return QStringLiteral("add");
    case Action::AddMissing:
        return QStringLiteral("add as missing");
    case Action::AddComment:
        return QStringLiteral("add comment");
    case Action::Describe:
        return QStringLiteral("new description");
    case Action::Keep:
        return QStringLiteral("already there");
    case Action::NotOnDisk:
        return QStringLiteral("not on disk");
    case Action::Refused:
        return QStringLiteral("refused");
    case Action::Twice:
        return QStringLiteral("listed twice");
    }
    return {};
}

FilesBbsImport::Plan FilesBbsImport::prepare(const Board& board, int area, const Request& request)
{
    Plan plan;
    const Board::AreaDirectory directory = board.areaDirectory(area);
    if (!directory.ok()) {
        plan.error
            = Error { ENOENT, directory.problem.isEmpty() ? "no area directory" : directory.problem.toStdString() };
        return plan;
    }
    FileIo& io = board.io();
    plan.listPath = request.listFile.isEmpty() ? QFile::decodeName(QByteArray::fromStdString(
                        resolveCaseInsensitive(io, QFile::encodeName(directory.host).toStdString() + "/files.bbs")))
                                               : request.listFile;
    auto bytes = readWholeFile(io, QFile::encodeName(plan.listPath).toStdString(), kListLimit);
    if (!bytes) {
        plan.error = bytes.error();
        return plan;
    }
    auto names = readAreaNames(board, area);
    if (!names) {
        plan.error = names.error();
        return plan;
    }
    DescriptionReader texts(io, areaFilePath(io, board.store().fileBaseDir(), area, AreaFileKind::Description));

    const QDir dir(directory.host);
    const QStringList every = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QHash<QString, QString> aliases = shortname::shortNamesFor(every);
    QHash<QString, QString> byUpper;
    for (const QString& name : every)
        byUpper.insert(aliases.value(name).toUpper(), name);
    for (const QString& name : every)
        byUpper.insert(name.toUpper(), name);

    QSet<QString> seen;
    const std::string_view list(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    for (FilesBbsReader::Item& read : FilesBbsReader::read(list)) {
        Item item;
        item.line = read.line;
        item.description = std::move(read.description);
        item.listedSize = read.size.value_or(0);
        item.listedDate = read.fileDate.value_or(0);
        if (read.kind == FilesBbsReader::Item::Kind::Comment) {
            item.action = names->comments.contains(item.description) ? Action::Keep : Action::AddComment;
            plan.items.push_back(std::move(item));
            continue;
        }
        item.name = board.text(read.name);
        item.reason = read.kind == FilesBbsReader::Item::Kind::Refused ? QString::fromStdString(read.reason)
                                                                       : refusal(board, read.name);
        if (!item.reason.isEmpty()) {
            item.action = Action::Refused;
            plan.items.push_back(std::move(item));
            continue;
        }
        const QString upper = item.name.toUpper();
        const QString onDisk = every.contains(item.name) ? item.name : byUpper.value(upper);
        const bool present = !onDisk.isEmpty() && QFileInfo(dir.filePath(onDisk)).isFile();
        const QString key = present ? onDisk.toUpper() : upper;
        if (seen.contains(key)) {
            item.action = Action::Twice;
            plan.items.push_back(std::move(item));
            continue;
        }
        seen.insert(key);
        auto known = names->byName.constFind(upper);
        if (known == names->byName.constEnd() && present) {
            known = names->byName.constFind(onDisk.toUpper());
            if (known == names->byName.constEnd())
                known = names->byName.constFind(aliases.value(onDisk).toUpper());
        }
        if (known != names->byName.constEnd()) {
            item.position = *known;
            item.action = Action::Keep;
            if (request.updateDescriptions
                && texts.textAt(names->pointers[*known], kDescriptionReadLimit) != item.description)
                item.action = Action::Describe;
        } else if (present) {
            item.action = Action::Add;
            item.file = onDisk;
        } else {
            item.action = request.missing ? Action::AddMissing : Action::NotOnDisk;
        }
        plan.items.push_back(std::move(item));
    }
    if (texts.error())
        plan.error = *texts.error();
    return plan;
}

FilesBbsImport::Outcome FilesBbsImport::apply(Board& board, int area, const Plan& plan, const Request& request,
    const QDate& today, const std::function<void(size_t done, size_t total)>& prepared)
{
    Outcome outcome;
    if (plan.error) {
        outcome.error = plan.error;
        return outcome;
    }
    const Board::AreaDirectory directory = board.areaDirectory(area);
    if (!directory.ok()) {
        outcome.error = Error { ENOENT, directory.problem.toStdString() };
        return outcome;
    }
    const QDir dir(directory.host);
    const QStringList every = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QHash<QString, QString> aliases = shortname::shortNamesFor(every);
    const int32_t packedToday = enc::encodeDate({ today.year(), today.month(), today.day() });
    if (const QString why = FileAdder::refusal(board.codePage(), QString(), request.uploader); !why.isEmpty()) {
        outcome.error = Error { EINVAL, why.toStdString() };
        return outcome;
    }
    const std::string uploader
        = EditedText::field(board.codePage(), request.uploader.left(int(HeaderRecord::kUploaderWidth))).bytes;

    std::vector<NewEntry> entries;
    std::vector<std::string> descriptions;
    std::vector<AreaStore::DescriptionChange> changes;
    size_t done = 0;
    for (const Item& item : plan.items) {
        if (prepared)
            prepared(done++, plan.items.size());
        switch (item.action) {
        case Action::Add: {
            const QString path = dir.filePath(item.file);
            if (!QFileInfo(path).isFile()) {
                outcome.vanished << item.name;
                continue;
            }
            QString refused;
            auto entry = FileAdder::entryFor(
                board, path, item.file, aliases.value(item.file), request.uploader, today, &refused);
            if (!entry) {
                outcome.error = Error { EINVAL, refused.toStdString() };
                return outcome;
            }
            entries.push_back(std::move(*entry));
            break;
        }
        case Action::AddMissing: {
            NewEntry e;
            const std::string stored = board.codePage().encode(shortNameOfMissing(item.name, every));
            e.header.setName(stored);
            e.header.setSize(int32_t(std::clamp<int64_t>(item.listedSize, 0, std::numeric_limits<int32_t>::max())));
            e.header.setUploader(uploader);
            e.header.setUploadDate(packedToday);
            e.header.setFileDate(item.listedDate);
            e.header.setLastDownloadDate(packedToday);
            e.header.setAttributes(uint8_t(Attribute::MissingOffline));
            e.index.setName(text::toUpper(stored));
            e.index.setUploadDate(packedToday);
            if (board.text(stored).toUpper() != item.name.toUpper())
                FileAdder::setLongName(e, board.codePage().encode(item.name));
            entries.push_back(std::move(e));
            break;
        }
        case Action::AddComment: {
            NewEntry e;
            e.header.setUploader(uploader);
            entries.push_back(std::move(e));
            break;
        }
        case Action::Describe:
            changes.push_back({ item.position, item.description });
            continue;
        default:
            continue;
        }
        descriptions.push_back(item.description);
    }
    const int added = int(entries.size());
    if (auto r
        = board.store().insertAndRedescribe(area, UINT64_MAX, std::move(entries), std::move(descriptions), changes);
        !r) {
        outcome.error = r.error();
        return outcome;
    }
    outcome.added = added;
    outcome.described = int(changes.size());
    return outcome;
}

} // namespace qv
