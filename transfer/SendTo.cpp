#include "transfer/SendTo.h"

#include "board/Board.h"
#include "editing/FileAdder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace qv {

SendTo::Outcome SendTo::run(Board& board, const Request& request, const DescriptionExtractor* extractor,
    const FileCopier::Callbacks& callbacks, const std::function<void(const QString&)>& copying)
{
    Outcome outcome;
    if (!board.areaExists(request.area)) {
        outcome.error = Error { ENOENT, "area " + std::to_string(request.area) + " does not exist" };
        return outcome;
    }
    // Refused before the copy, so no file is left without an entry.
    if (const QString why = FileAdder::refusal(board.codePage(), QFileInfo(request.file).fileName(), request.uploader);
        !why.isEmpty()) {
        outcome.error = Error { EILSEQ, why.toStdString() };
        return outcome;
    }
    const Board::AreaDirectory directory = board.areaDirectory(request.area);
    if (copying)
        copying(request.file);
    const FileCopier copier(board.io());
    if (directory.ok())
        copier.removeLeftovers(directory.host);
    outcome.copy = copier.copyInto(request.file, directory.ok() ? directory.host : QString(), callbacks);
    if (outcome.copy.status == FileCopier::Status::Failed) {
        outcome.error = Error { EIO, outcome.copy.error.toStdString() };
        return outcome;
    }
    if (outcome.copy.status == FileCopier::Status::Cancelled)
        return outcome;
    if (outcome.copy.completed() && !outcome.copy.replaced)
        board.noteFileAppeared(outcome.copy.destination);
    // The file in the area's directory now, copied or kept as it was.
    FileAdder::Request add;
    add.names = { QFileInfo(outcome.copy.destination).fileName() };
    add.uploader = request.uploader;
    add.useLongNames = request.useLongNames;
    const FileAdder::Result added = FileAdder::add(board, request.area, add, extractor);
    if (added.error || added.added.isEmpty()) {
        outcome.error = added.error.value_or(Error { ENOENT, "the file was not found in the area's directory" });
        return outcome;
    }
    outcome.added = true;
    if (request.move && outcome.copy.completed()) {
        const Board::Discarded d = board.discardFile(request.file);
        outcome.originalDeleted = d.gone;
        outcome.originalTrashed = !d.inTrash.isEmpty();
    }
    return outcome;
}

} // namespace qv
