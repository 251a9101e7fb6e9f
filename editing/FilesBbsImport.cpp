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

#include <array>
#include <cerrno>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace qv {

namespace {
using Action = FilesBbsImport::Action;

// Lists beyond this are no file lists.
constexpr uint64_t kListLimit = uint64_t(256) << 20;

// Upper case of board bytes as the code page has it, one byte for one: names compare without
// case as bytes, without a decoded copy of every name in the area.
std::array<uint8_t, 256> upperBytes(const CodePage& page)
{
    std::array<uint8_t, 256> upper {};
    for (int b = 0; b < 256; ++b) {
        upper[size_t(b)] = uint8_t(b);
        const char byte = char(b);
        const QString u = page.decode(std::string_view(&byte, 1)).toUpper();
        if (u.size() != 1)
            continue;
        const std::string back = page.encode(u);
        if (back.size() == 1 && page.decode(back) == u)
            upper[size_t(b)] = uint8_t(back[0]);
    }
    return upper;
}

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

// The names a list asks about, as upper-case board bytes, each with the last position of the area
// known by it (as 8.3 or long name); the area's comment texts and description pointers.
struct AreaNames {
    static constexpr uint64_t kNone = UINT64_MAX;
    std::array<uint8_t, 256> upper {};
    std::unordered_map<std::string, uint64_t, TextHash, std::equal_to<>> byName;
    QSet<std::string> comments;
    std::vector<int32_t> pointers;

    // The key of a name given as text; empty when the code page cannot hold it (no entry can
    // have that name).
    std::string key(const CodePage& page, const QString& name) const
    {
        std::string bytes = page.encode(name);
        if (page.decode(bytes) != name)
            return {};
        for (char& c : bytes)
            c = char(upper[uint8_t(c)]);
        return bytes;
    }
    void want(const std::string& key)
    {
        if (!key.empty())
            byName.emplace(key, kNone);
    }
    std::optional<uint64_t> find(const std::string& key) const
    {
        const auto it = key.empty() ? byName.end() : byName.find(key);
        if (it == byName.end() || it->second == kNone)
            return std::nullopt;
        return it->second;
    }
};

// One pass over the area's header and long-name files: the positions of the wanted names, the
// comment texts and every description pointer.
Result<void> readAreaNames(const Board& board, int area, AreaNames& names)
{
    FileIo& io = board.io();
    const std::string& base = board.store().fileBaseDir();
    const std::string hdrPath = areaFilePath(io, base, area, AreaFileKind::Header);
    if (!io.exists(hdrPath))
        return {};
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
    std::array<char, 256> folded;
    auto note = [&](std::string_view name, uint64_t position) {
        for (size_t k = 0; k < name.size(); ++k)
            folded[k] = char(names.upper[uint8_t(name[k])]);
        const auto it = names.byName.find(std::string_view(folded.data(), name.size()));
        if (it != names.byName.end())
            it->second = position;
    };
    auto field = [](const uint8_t* p, size_t width) {
        return text::trim(std::string_view(reinterpret_cast<const char*>(p) + 1, std::min<size_t>(p[0], width)));
    };
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* rec = hdr->data() + i * HeaderRecord::kSize;
        const std::string_view name = field(rec + HeaderRecord::kNameOffset, HeaderRecord::kNameWidth);
        names.pointers[i] = enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset);
        if (name.empty()) {
            names.comments.insert(texts.textAt(names.pointers[i], kDescriptionReadLimit));
            continue;
        }
        note(name, i);
        if ((i + 1) * LongNameRecord::kSize <= lfn.size()) {
            const std::string_view l = field(lfn.data() + i * LongNameRecord::kSize, LongNameRecord::kWidth);
            if (!l.empty())
                note(l, i);
        }
    }
    if (texts.error())
        return *texts.error();
    return {};
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
    const QDir dir(directory.host);
    const QStringList every = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QHash<QString, QString> aliases = shortname::shortNamesFor(every);
    QHash<QString, QString> byUpper;
    for (const QString& name : every)
        byUpper.insert(aliases.value(name).toUpper(), name);
    for (const QString& name : every)
        byUpper.insert(name.toUpper(), name);
    const QSet<QString> exact(every.begin(), every.end());

    // First the list alone: what each line names and which of its names the area is asked about.
    AreaNames names;
    names.upper = upperBytes(board.codePage());
    struct Listed {
        size_t item;
        std::string keys[3]; // as listed, the file on disk, its 8.3 alias
        bool present;
    };
    std::vector<Listed> listed;
    QSet<QString> seen;
    const std::string_view list(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    for (FilesBbsReader::Item& read : FilesBbsReader::read(list)) {
        Item item;
        item.line = read.line;
        item.description = std::move(read.description);
        item.listedSize = read.size.value_or(0);
        item.listedDate = read.fileDate.value_or(0);
        if (read.kind == FilesBbsReader::Item::Kind::Comment) {
            item.action = Action::AddComment; // unless the area has it: below
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
        const QString onDisk = exact.contains(item.name) ? item.name : byUpper.value(upper);
        const bool present = !onDisk.isEmpty() && QFileInfo(dir.filePath(onDisk)).isFile();
        const QString key = present ? onDisk.toUpper() : upper;
        if (seen.contains(key)) {
            item.action = Action::Twice;
            plan.items.push_back(std::move(item));
            continue;
        }
        seen.insert(key);
        Listed l { plan.items.size(), { names.key(board.codePage(), item.name) }, present };
        if (present) {
            l.keys[1] = names.key(board.codePage(), onDisk);
            l.keys[2] = names.key(board.codePage(), aliases.value(onDisk));
            item.file = onDisk;
        }
        for (const std::string& k : l.keys)
            names.want(k);
        listed.push_back(std::move(l));
        plan.items.push_back(std::move(item));
    }

    // Then the area, once.
    if (auto r = readAreaNames(board, area, names); !r) {
        plan.items.clear();
        plan.error = r.error();
        return plan;
    }
    for (Item& item : plan.items)
        if (item.action == Action::AddComment && names.comments.contains(item.description))
            item.action = Action::Keep;
    DescriptionReader texts(io, areaFilePath(io, board.store().fileBaseDir(), area, AreaFileKind::Description));
    for (const Listed& l : listed) {
        Item& item = plan.items[l.item];
        std::optional<uint64_t> known = names.find(l.keys[0]);
        if (!known && l.present) {
            known = names.find(l.keys[1]);
            if (!known)
                known = names.find(l.keys[2]);
        }
        if (known) {
            item.file.clear();
            item.position = *known;
            item.action = Action::Keep;
            if (request.updateDescriptions
                && texts.textAt(names.pointers[*known], kDescriptionReadLimit) != item.description)
                item.action = Action::Describe;
        } else if (l.present) {
            item.action = Action::Add;
        } else {
            item.action = request.missing ? Action::AddMissing : Action::NotOnDisk;
        }
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
            const QFileInfo file(dir.filePath(item.file));
            if (!file.isFile()) {
                outcome.vanished << item.name;
                continue;
            }
            QString refused;
            auto entry = FileAdder::entryFor(
                board, file, item.file, aliases.value(item.file), request.uploader, today, &refused);
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
