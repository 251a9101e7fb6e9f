#include "editing/FileAdder.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "editing/DescriptionExtractor.h"
#include "editing/EditedText.h"
#include "platform/ShortName.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <limits>
#include <numeric>

namespace qv {

namespace {
int32_t packed(const QDate& d)
{
    return enc::encodeDate({ d.year(), d.month(), d.day() });
}
} // namespace

void FileAdder::setLongName(NewEntry& entry, const std::string& longName)
{
    entry.longName.setName(longName);
}

QString FileAdder::unstorableName(const CodePage& codePage, const QString& name)
{
    const EditedText::Encoded e = EditedText::field(codePage, name);
    return e.ok() ? QString() : messages::fileNameNotInCodePage(name, *e.refused, QString::fromLatin1(codePage.name()));
}

QString FileAdder::refusal(const CodePage& codePage, const QString& name, const QString& uploader)
{
    if (QString why = unstorableName(codePage, name); !why.isEmpty())
        return why;
    const EditedText::Encoded by = EditedText::field(codePage, uploader.left(kUploaderLength));
    return by.ok() ? QString() : messages::characterNotInCodePage(*by.refused, QString::fromLatin1(codePage.name()));
}

std::optional<NewEntry> FileAdder::entryFor(const Board& board, const QFileInfo& file, const QString& chosenName,
    const QString& shortName, const QString& uploader, const QDate& today, QString* refusal)
{
    // A name written with a substitute would name no file.
    const CodePage& page = board.codePage();
    if (QString why = FileAdder::refusal(page, chosenName, uploader); !why.isEmpty()) {
        if (refusal)
            *refusal = std::move(why);
        return std::nullopt;
    }
    const std::string stored = EditedText::field(page, shortName.toUpper()).bytes;
    NewEntry e;
    e.header.setName(stored);
    e.header.setSize(int32_t(std::min<qint64>(file.size(), std::numeric_limits<int32_t>::max())));
    e.header.setUploader(EditedText::field(page, uploader.left(kUploaderLength)).bytes);
    e.header.setUploadDate(packed(today));
    e.header.setFileDate(packed(file.lastModified().date()));
    e.header.setLastDownloadDate(packed(today));
    e.header.setDescriptionPointer(-1);
    e.index.setName(text::toUpper(stored));
    e.index.setUploadDate(packed(today));
    if (chosenName.toUpper() != shortName.toUpper())
        setLongName(e, EditedText::field(page, chosenName).bytes);
    return e;
}

FileAdder::Result FileAdder::add(Board& board, int area, const Request& request, const DescriptionExtractor* extractor,
    const std::function<void(const QString&)>& adding, const QDate& today)
{
    Result result;
    const Board::AreaDirectory directory = board.areaDirectory(area);
    if (!directory.ok()) {
        result.error
            = Error { ENOENT, directory.problem.isEmpty() ? "no area directory" : directory.problem.toStdString() };
        return result;
    }
    // One listing of the directory serves every name: exact, then without case, then the alias.
    const QDir dir(directory.host);
    const QStringList every = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QHash<QString, QString> aliases = shortname::shortNamesFor(every);
    QHash<QString, QString> byUpper;
    for (const QString& name : every) {
        byUpper.insert(aliases.value(name).toUpper(), name);
    }
    for (const QString& name : every)
        byUpper.insert(name.toUpper(), name);
    const QSet<QString> exact(every.begin(), every.end());

    std::vector<NewEntry> entries;
    std::vector<std::string> descriptions;
    for (const QString& requested : request.names) {
        const QString wanted = requested.trimmed();
        if (wanted.isEmpty())
            continue;
        const QString onDisk = exact.contains(wanted) ? wanted : byUpper.value(wanted.toUpper());
        const QString path = onDisk.isEmpty() ? QString() : dir.filePath(onDisk);
        const QFileInfo file(path);
        if (onDisk.isEmpty() || !file.isFile()) {
            result.vanished << wanted;
            continue;
        }
        const QString shortName = aliases.value(onDisk);
        QString refusal;
        std::optional<NewEntry> made = entryFor(board, file, onDisk, shortName, request.uploader, today, &refusal);
        if (!made) {
            result.error = Error { EILSEQ, refusal.toStdString() };
            result.rows.clear();
            result.added.clear();
            return result;
        }
        if (adding)
            adding(onDisk);
        NewEntry entry = std::move(*made);
        std::string description;
        if (request.extract && extractor) {
            const auto e = extractor->extract(path, shortName, true);
            if (e.outcome == DescriptionExtractor::Outcome::Extracted)
                description = e.text;
        }
        LoadedRow row;
        row.name = text::displayName(entry.header.name(), request.useLongNames ? entry.longName.name() : std::string());
        row.record = entry.header.encode();
        result.rows.push_back(std::move(row));
        result.added << onDisk;
        entries.push_back(std::move(entry));
        descriptions.push_back(std::move(description));
    }
    if (entries.empty())
        return result;
    auto count = board.store().count(area);
    if (!count) {
        result.error = count.error();
        result.rows.clear();
        return result;
    }
    result.at = std::min(request.after, *count);
    if (auto r = board.store().insertEntries(area, result.at, std::move(entries), std::move(descriptions)); !r) {
        result.error = r.error();
        result.rows.clear();
        return result;
    }
    // The rows as stored, pointers and all: a command on a new row rests on the bytes the file
    // holds, as on any other. Should the reading fail, the rows made above still show the entries.
    std::vector<uint64_t> positions(result.rows.size());
    std::iota(positions.begin(), positions.end(), result.at);
    if (auto stored = board.store().readRows(area, positions, request.useLongNames))
        result.rows = std::move(*stored);
    return result;
}

} // namespace qv
