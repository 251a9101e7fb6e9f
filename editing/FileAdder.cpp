#include "editing/FileAdder.h"

#include "board/Board.h"
#include "editing/DescriptionExtractor.h"
#include "platform/ShortName.h"
#include "storage/Encoding.h"
#include "storage/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <limits>

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

NewEntry FileAdder::entryFor(const Board& board, const QString& path, const QString& chosenName,
    const QString& shortName, const QString& uploader, const QDate& today)
{
    const QFileInfo file(path);
    const std::string stored = board.bytes(shortName.toUpper());
    NewEntry e;
    e.header.setName(stored);
    e.header.setSize(int32_t(std::min<qint64>(file.size(), std::numeric_limits<int32_t>::max())));
    e.header.setUploader(board.bytes(uploader.left(35)));
    e.header.setUploadDate(packed(today));
    e.header.setFileDate(packed(file.lastModified().date()));
    e.header.setLastDownloadDate(packed(today));
    e.header.setDescriptionPointer(-1);
    e.index.setName(text::toUpper(stored));
    e.index.setUploadDate(packed(today));
    if (chosenName.toUpper() != shortName.toUpper())
        setLongName(e, board.bytes(chosenName));
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

    std::vector<NewEntry> entries;
    std::vector<std::string> descriptions;
    for (const QString& requested : request.names) {
        const QString wanted = requested.trimmed();
        if (wanted.isEmpty())
            continue;
        const QString onDisk = every.contains(wanted) ? wanted : byUpper.value(wanted.toUpper());
        const QString path = onDisk.isEmpty() ? QString() : dir.filePath(onDisk);
        if (onDisk.isEmpty() || !QFileInfo(path).isFile()) {
            result.vanished << wanted;
            continue;
        }
        if (adding)
            adding(onDisk);
        const QString shortName = aliases.value(onDisk);
        NewEntry entry = entryFor(board, path, onDisk, shortName, request.uploader, today);
        std::string description;
        if (request.extract && extractor) {
            const auto e = extractor->extract(path, shortName, true);
            if (e.outcome == DescriptionExtractor::Outcome::Extracted)
                description = e.text;
        }
        LoadedRow row;
        row.name = text::displayName(entry.header.name(), request.useLongNames ? entry.longName.name() : std::string());
        row.size = entry.header.size();
        row.uploader = entry.header.uploader();
        row.uploadDate = entry.header.uploadDate();
        row.fileDate = entry.header.fileDate();
        row.lastDownloadDate = entry.header.lastDownloadDate();
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
    }
    return result;
}

} // namespace qv
