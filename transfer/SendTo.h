#pragma once

#include "storage/Result.h"
#include "transfer/FileCopier.h"

#include <QString>

#include <functional>
#include <optional>

namespace qv {

class Board;
class DescriptionExtractor;

// A file handed to the program from outside goes into an area's directory and becomes the
// area's new last entry, with its FILE_ID.DIZ. A move deletes the original only once the entry
// is committed, and never when the file already lay in that directory.
class SendTo {
public:
    struct Request {
        int area = 0;
        QString file; // absolute host path
        bool move = false;
        QString uploader;
        bool useLongNames = true;
    };
    struct Outcome {
        FileCopier::Copy copy;
        bool added = false;
        bool originalDeleted = false;
        bool originalTrashed = false;
        std::optional<Error> error; // no entry was added
    };

    static Outcome run(Board& board, const Request& request, const DescriptionExtractor* extractor,
        const FileCopier::Callbacks& callbacks = {}, const std::function<void(const QString&)>& copying = {});
};

} // namespace qv
