#pragma once

#include "storage/Result.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class Board;

// Brings a FILES.BBS into an area: listed files of the area's directory that have no entry yet
// become entries as Add Files makes them, with the list's description; comment lines come along
// in their place. prepare() only reads and says what would happen (the window shows it first);
// apply() makes it one change of the area.
class FilesBbsImport {
public:
    struct Request {
        QString listFile = {}; // empty: the FILES.BBS of the area's directory, found without case
        bool missing = false; // also add listed files that are not on disk, as Missing/Offline
        bool updateDescriptions = false; // entries already there get the list's description
        QString uploader = {};
    };

    enum class Action {
        Add, // on disk, not in the base
        AddMissing, // not on disk; with Request::missing
        AddComment,
        Describe, // in the base, its description changes
        Keep, // in the base (or a comment line the area already has)
        NotOnDisk, // not added: no such file, and missing entries not wanted
        Refused, // unsafe name or text: never added
        Twice, // listed again further down: the first one counts
    };
    struct Item {
        Action action = Action::Keep;
        size_t line = 0; // in the list, 1-based
        QString name; // as listed (comment lines: "")
        QString file; // the file on disk (Add)
        QString reason; // Refused
        std::string description; // board bytes, lines joined by CR LF
        int64_t listedSize = 0;
        int32_t listedDate = 0;
        uint64_t position = 0; // Describe and Keep: the entry in the area (0-based)
    };
    struct Plan {
        QString listPath; // the host file read
        std::vector<Item> items; // in list order
        std::optional<Error> error; // nothing can be imported
        int count(Action a) const;
    };

    static Plan prepare(const Board& board, int area, const Request& request);

    struct Outcome {
        int added = 0; // entries and comment lines
        int described = 0;
        QStringList vanished; // listed files gone from the directory since prepare()
        std::optional<Error> error; // nothing changed
    };
    // prepared(done, total) after each item of the plan is made ready, before the one change.
    static Outcome apply(Board& board, int area, const Plan& plan, const Request& request,
        const QDate& today = QDate::currentDate(), const std::function<void(size_t done, size_t total)>& prepared = {});

    // The words the window and qvtool show for an action.
    static QString actionText(Action action);
};

} // namespace qv
