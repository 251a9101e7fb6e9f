#pragma once

#include "storage/Result.h"

#include <QDate>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qv {

class Board;
class DescriptionExtractor;

// A mass upload: every file of an area's directory that has no entry yet becomes one, with its
// FILE_ID.DIZ, as Add Files adds them, in one change of the area. What arrived by other ways
// (FTP, file echoes) goes in from a script.
class PendingUpload {
public:
    struct Result {
        QStringList added; // names on disk, in the order added (after the last entry)
        QList<QPair<QString, QString>> skipped; // name, why it cannot be added
        std::optional<Error> error; // nothing was added
    };
    // extractor may be null (no descriptions).
    // adding(name) before each file, as FileAdder::add calls it.
    static Result addPending(Board& board, int area, const QString& uploader, const DescriptionExtractor* extractor,
        const QDate& today = QDate::currentDate(), const std::function<void(const QString&)>& adding = {});
};

} // namespace qv
