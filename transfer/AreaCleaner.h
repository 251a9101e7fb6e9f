#pragma once

#include "storage/AreaConfiguration.h"
#include "storage/AreaStore.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;

// Area upkeep as the board's own maintenance tools do it: entries past their area's kill days go
// to its move area with their files (the transfer of Direct Move) or are removed with them;
// entries whose file is gone, and entries marked Deleted, are removed. Comment lines and Locked
// entries are never touched, nor the files of a CD-ROM area. prepare() only reads and says what
// would happen (the window and --dry-run show it); apply() makes it one change per area, files
// deleted only after that change and never one a remaining entry names.
class AreaCleaner {
public:
    enum class Reason { Deleted, Missing, Expired };
    enum class Action {
        Remove, // the entry goes and its file is deleted (a missing one has none)
        RemoveKeepFile, // the entry goes, its file stays (a CD-ROM area)
        Move, // to the area's move area with its file
        Stay, // it qualifies, but nothing is done (why says why)
    };
    struct Request {
        std::vector<int> areas;
        bool expired = false;
        bool missing = false;
        bool deleted = false;
        QDate today = QDate::currentDate(); // the day ages are counted to
    };
    struct Item {
        uint64_t position = 0; // 0-based, in the area as planned from
        Reason reason = Reason::Deleted;
        Action action = Action::Stay;
        QString detail; // why it qualifies: "not downloaded for 400 days"
        QString why; // Stay: why nothing is done
        int to = 0; // Move: the area it goes to
    };
    struct AreaPlan {
        int area = 0;
        AreaUpkeep upkeep;
        QString problem; // the area is left alone: why (its directory cannot be reached, ...)
        QString note; // what the area's settings leave out ("expired entries of a CD-ROM area stay")
        LoadedRows rows; // every row as loaded: the identities the change rests on
        std::vector<Item> items; // in record order
        int count(Action action) const;
    };
    struct Plan {
        Request request;
        std::vector<AreaPlan> areas; // in the order asked
    };

    // Called before each area with its index among count; false stops (apply: before that area).
    using Progress = std::function<bool(size_t index, size_t count, int area)>;

    static Plan prepare(const Board& board, const Request& request, const Progress& progress = {});

    struct AreaOutcome {
        int area = 0;
        bool skipped = false; // nothing to do, or left alone (the plan's problem)
        std::vector<uint64_t> removed; // positions as planned, ascending, moved ones among them
        std::vector<uint64_t> moved;
        int movedTo = 0; // the move area, when entries went there
        std::vector<uint64_t> cameBack; // planned as missing, but the file is there now: stays
        QStringList deleted; // host paths of files deleted (not those of moved entries)
        QStringList trashed; // those of them that went to the trash
        QStringList notDeleted; // deleting failed
        QStringList keptShared; // another remaining entry names the file
        QStringList notCopied; // moved without its file, which stays in the area's directory
        // Nothing of the area changed, except with movedButKept: the move area has the entries
        // and this area still holds them too (nothing lost; the next clean tries again).
        std::optional<Error> error;
        bool stale = false; // refused: the rows no longer hold what the plan saw
        bool movedButKept = false;
        CarriedOver carried;
        bool ok() const { return !error; }
    };
    struct Outcome {
        std::vector<AreaOutcome> areas;
        bool stopped = false; // progress said stop; the areas not reached are unchanged
        bool ok() const;
    };

    explicit AreaCleaner(Board& board);
    Outcome apply(const Plan& plan, const Progress& progress = {});

    // The words the window and qvtool show.
    static QString reasonText(Reason reason);
    static QString actionText(const Item& item);

private:
    AreaOutcome applyArea(const AreaPlan& plan);

    Board& m_board;
};

} // namespace qv
