#include "editing/PendingUpload.h"

#include "board/Board.h"
#include "editing/FileAdder.h"
#include "editing/PendingFiles.h"
#include "platform/ShortName.h"
#include "storage/Text.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace qv {

PendingUpload::Result PendingUpload::addPending(Board& board, int area, const QString& uploader,
    const DescriptionExtractor* extractor, const QDate& today, const std::function<void(const QString&)>& adding)
{
    Result result;
    const Board::AreaDirectory directory = board.areaDirectory(area);
    if (!directory.ok()) {
        result.error
            = Error { ENOENT, directory.problem.isEmpty() ? "no area directory" : directory.problem.toStdString() };
        return result;
    }
    const LoadOutcome loaded = board.store().load(area, true);
    if (loaded.error) {
        result.error = Error { loaded.error->code ? loaded.error->code : EIO, loaded.error->detail };
        return result;
    }
    QStringList rows;
    rows.reserve(qsizetype(loaded.rows.size()));
    for (const LoadedRow& r : loaded.rows)
        rows << board.text(r.name);
    QStringList names;
    const shortname::DirectoryNames onDisk(directory.host);
    for (const QString& listed : PendingFiles::list(directory.host, QStringLiteral("*.*"), rows).notInBase) {
        const QString found = onDisk.find(listed);
        const QString path = found.isEmpty() ? directory.host + QLatin1Char('/') + listed : found;
        const QString name = QFileInfo(path).fileName();
        // A name the code page cannot hold would be stored with substitutes and never found again.
        if (const QString why = FileAdder::unstorableName(board.codePage(), name); !why.isEmpty()) {
            result.skipped.append({ name, why });
            continue;
        }
        if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
            result.skipped.append({ name, QStringLiteral("cannot be read: ") + file.errorString() });
            continue;
        }
        names << name;
    }
    if (names.isEmpty())
        return result;
    FileAdder::Request request;
    request.names = names;
    request.uploader = uploader;
    request.extract = extractor != nullptr;
    const FileAdder::Result added = FileAdder::add(board, area, request, extractor, adding, today);
    if (added.error) {
        result.error = added.error;
        return result;
    }
    result.added = added.added;
    for (const QString& gone : added.vanished)
        result.skipped.append({ gone, QStringLiteral("left the directory") });
    return result;
}

} // namespace qv
