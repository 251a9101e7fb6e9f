#include "transfer/AreaCleaner.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "editing/EntryRemover.h"
#include "platform/ShortName.h"
#include "transfer/EntryTransfer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace qv {

namespace {

// Days from a stored date to today; nullopt for a date that is not a day of the calendar.
std::optional<qint64> daysSince(int32_t stored, const QDate& today)
{
    const auto d = enc::decodeDate(stored);
    if (!d)
        return std::nullopt;
    const QDate date(d->year, d->month, d->day);
    if (!date.isValid())
        return std::nullopt;
    return date.daysTo(today);
}

// Whether the entry is past its area's kill days; detail says by which rule. An entry whose date
// cannot be read is never taken for old.
bool expired(const HeaderRecord& h, const AreaUpkeep& upkeep, const QDate& today, QString& detail)
{
    if (upkeep.killDaysDownload > 0) {
        // The board counts from the last download, and from the upload while there has been none.
        const bool never = h.downloads() == 0;
        const auto age = daysSince(never ? h.uploadDate() : h.lastDownloadDate(), today);
        if (age && *age > upkeep.killDaysDownload) {
            detail = never ? QStringLiteral("never downloaded, uploaded %1 days ago").arg(*age)
                           : QStringLiteral("last downloaded %1 days ago").arg(*age);
            return true;
        }
    }
    if (upkeep.killDaysFileDate > 0) {
        const auto age = daysSince(h.fileDate(), today);
        if (age && *age > upkeep.killDaysFileDate) {
            detail = QStringLiteral("file date %1 days old").arg(*age);
            return true;
        }
    }
    return false;
}

// The file of an entry, by the name the list shows or by its 8.3 name.
QString fileOf(const Board& board, const shortname::DirectoryNames& names, const LoadedRow& row)
{
    const QString shown = names.find(board.text(row.name));
    if (!shown.isEmpty())
        return shown;
    const HeaderRecord h = HeaderRecord::decode(row.record);
    return names.find(board.text(h.name()));
}

// Where expired entries of an area go, looked at once per plan.
struct MoveTarget {
    QString problem; // entries stay: why
    QString host;
    bool sameDirectory = false; // the two areas share a directory: nothing is copied
    std::optional<shortname::DirectoryNames> names;
};

MoveTarget moveTarget(const Board& board, int area, int to, const QString& sourceHost)
{
    MoveTarget t;
    if (to == area) {
        t.problem = QStringLiteral("the area is its own move area");
        return t;
    }
    if (!board.areaExists(to)) {
        t.problem = QStringLiteral("its move area %1 does not exist").arg(to);
        return t;
    }
    const auto upkeep = board.config().areaUpkeep(to);
    if (upkeep && upkeep->cdRom) {
        t.problem = QStringLiteral("its move area %1 is a CD-ROM area").arg(to);
        return t;
    }
    const Board::AreaDirectory dir = board.areaDirectory(to);
    if (!dir.ok() || !QFileInfo(dir.host).isDir()) {
        t.problem = QStringLiteral("the directory of area %1 cannot be reached%2")
                        .arg(to)
                        .arg(dir.problem.isEmpty() ? QString() : QStringLiteral(": ") + dir.problem);
        return t;
    }
    t.host = dir.host;
    t.sameDirectory = QFileInfo(dir.host).canonicalFilePath() == QFileInfo(sourceHost).canonicalFilePath();
    t.names.emplace(dir.host);
    return t;
}

} // namespace

int AreaCleaner::AreaPlan::count(Action action) const
{
    return int(std::count_if(items.begin(), items.end(), [action](const Item& i) { return i.action == action; }));
}

bool AreaCleaner::Outcome::ok() const
{
    return std::all_of(areas.begin(), areas.end(), [](const AreaOutcome& a) { return a.ok(); });
}

AreaCleaner::AreaCleaner(Board& board)
    : m_board(board)
{
}

AreaCleaner::Plan AreaCleaner::prepare(const Board& board, const Request& request, const Progress& progress)
{
    Plan plan;
    plan.request = request;
    for (size_t index = 0; index < request.areas.size(); ++index) {
        const int area = request.areas[index];
        if (progress && !progress(index, request.areas.size(), area))
            break;
        AreaPlan& a = plan.areas.emplace_back();
        a.area = area;
        if (!board.areaExists(area)) {
            a.problem = messages::areaDoesNotExist(area);
            continue;
        }
        const auto upkeep = board.config().areaUpkeep(area);
        if (!upkeep) {
            a.problem = QStringLiteral("its record in FILES.RA cannot be read");
            continue;
        }
        a.upkeep = *upkeep;
        // Without its directory nothing can be told missing, and no file could be moved or
        // deleted: an unmounted disc or an unmapped drive must not empty the area.
        const Board::AreaDirectory dir = board.areaDirectory(area);
        if (!dir.ok() || !QFileInfo(dir.host).isDir()) {
            a.problem = QStringLiteral("its directory %1 cannot be reached%2")
                            .arg(dir.stored)
                            .arg(dir.problem.isEmpty() ? QString() : QStringLiteral(": ") + dir.problem);
            continue;
        }
        LoadOutcome loaded = board.loadArea(area, true);
        if (loaded.error) {
            a.problem = messages::loadFailed(*loaded.error, board.fileBasePath()).text;
            continue;
        }
        a.rows = std::move(loaded.rows);
        const bool expiring
            = request.expired && (a.upkeep.killDaysDownload > 0 || a.upkeep.killDaysFileDate > 0) && !a.upkeep.cdRom;
        if (request.expired && a.upkeep.cdRom && (a.upkeep.killDaysDownload > 0 || a.upkeep.killDaysFileDate > 0))
            a.note = QStringLiteral("expired entries of a CD-ROM area stay");
        const shortname::DirectoryNames names(dir.host);
        std::optional<MoveTarget> target;
        for (uint64_t p = 0; p < a.rows.size(); ++p) {
            const LoadedRow& row = a.rows[size_t(p)];
            if (row.comment)
                continue;
            const HeaderRecord h = HeaderRecord::decode(row.record);
            if (h.hasAttribute(Attribute::Locked))
                continue;
            Item item;
            item.position = p;
            // One file lookup at most per entry, and only when a rule needs it.
            std::optional<bool> there;
            auto fileThere = [&] {
                if (!there)
                    there = !fileOf(board, names, row).isEmpty();
                return *there;
            };
            if (request.deleted && h.hasAttribute(Attribute::Deleted)) {
                item.reason = Reason::Deleted;
                item.action = a.upkeep.cdRom ? Action::RemoveKeepFile : Action::Remove;
            } else if (request.missing && !fileThere()) {
                item.reason = Reason::Missing;
                item.action = Action::Remove;
                item.detail = QStringLiteral("not in %1").arg(dir.stored);
            } else if (expiring && expired(h, a.upkeep, request.today, item.detail)) {
                item.reason = Reason::Expired;
                if (a.upkeep.moveArea == 0) {
                    item.action = Action::Remove;
                } else {
                    if (!target)
                        target = moveTarget(board, area, a.upkeep.moveArea, dir.host);
                    item.to = a.upkeep.moveArea;
                    const QString rowText = board.text(row.name).trimmed();
                    if (!target->problem.isEmpty())
                        item.why = target->problem;
                    else if (!fileThere())
                        item.why = QStringLiteral("its file is not on disk");
                    else if (!target->sameDirectory && !target->names->find(rowText).isEmpty())
                        item.why = QStringLiteral("area %1 already has a file %2").arg(item.to).arg(rowText);
                    item.action = item.why.isEmpty() ? Action::Move : Action::Stay;
                }
            } else {
                continue;
            }
            a.items.push_back(std::move(item));
        }
    }
    return plan;
}

AreaCleaner::Outcome AreaCleaner::apply(const Plan& plan, const Progress& progress)
{
    Outcome outcome;
    for (size_t index = 0; index < plan.areas.size(); ++index) {
        if (progress && !progress(index, plan.areas.size(), plan.areas[index].area)) {
            outcome.stopped = true;
            break;
        }
        outcome.areas.push_back(applyArea(plan.areas[index]));
    }
    return outcome;
}

AreaCleaner::AreaOutcome AreaCleaner::applyArea(const AreaPlan& plan)
{
    AreaOutcome o;
    o.area = plan.area;
    const Board::AreaDirectory dir = m_board.areaDirectory(plan.area);
    std::optional<shortname::DirectoryNames> names;
    std::vector<Clipboard::Item> moves, removes;
    std::vector<int> removing;
    for (const Item& item : plan.items) {
        if (item.action == Action::Stay || !plan.problem.isEmpty())
            continue;
        const LoadedRow& row = plan.rows[size_t(item.position)];
        // A file put back since the preview makes its entry no longer missing.
        if (item.reason == Reason::Missing && dir.ok()) {
            if (!names)
                names.emplace(dir.host);
            if (!fileOf(m_board, *names, row).isEmpty()) {
                o.cameBack.push_back(item.position);
                continue;
            }
        }
        if (item.action == Action::Move) {
            moves.push_back({ item.position, row });
        } else {
            removes.push_back({ item.position, row });
            removing.push_back(int(item.position));
        }
    }
    if (moves.empty() && removes.empty()) {
        o.skipped = true;
        return o;
    }

    if (moves.empty()) {
        // Every file in question is one the plan means to delete; a CD-ROM area's stay.
        EntryRemover::Ask ask;
        if (!plan.upkeep.cdRom)
            ask = [](const QString&) { return DeletionAnswer::Yes; };
        EntryRemover remover(m_board);
        const EntryRemover::Outcome r = remover.remove(plan.area, plan.rows, removing, ask);
        if (r.error) {
            o.error = r.error;
            o.stale = r.error->code == kRowsChanged;
            return o;
        }
        o.removed = r.removed;
        o.deleted = r.deleted;
        o.trashed = r.trashed;
        o.notDeleted = r.notDeleted;
        o.keptShared = r.keptShared;
        o.carried = r.carried;
        return o;
    }

    // The move area gains the expired entries first; then this area loses them and the removed
    // ones in one change; then the files go.
    EntryTransfer::Request t;
    t.source = plan.area;
    t.entries = std::move(moves);
    t.move = true;
    t.to = EntryTransfer::To::Area;
    t.area = plan.upkeep.moveArea;
    t.removedWith = std::move(removes);
    t.deleteRemovedFiles = !plan.upkeep.cdRom;
    EntryTransfer::Callbacks callbacks;
    // The plan left out files the move area already has; one that came meanwhile is kept.
    callbacks.copy.overwrite = [](const QString&) { return false; };
    const EntryTransfer::Outcome r = EntryTransfer(m_board).run(t, callbacks);
    if (!r.ok()) {
        o.error = r.error;
        o.stale = r.stale;
        o.movedButKept = r.failedAt == EntryTransfer::Stage::Source;
        return o;
    }
    o.removed = r.removed;
    for (const Clipboard::Item& e : t.entries)
        o.moved.push_back(e.position);
    o.movedTo = t.area;
    QStringList movedFiles;
    for (const FileCopier::Copy& c : r.files) {
        if (c.status == FileCopier::Status::Copied)
            movedFiles.append(c.source);
        else if (c.status != FileCopier::Status::SameFile)
            o.notCopied.append(c.source);
    }
    // A moved file left this directory, but it is not gone.
    for (const QString& path : r.deleted)
        if (!movedFiles.contains(path)) {
            o.deleted.append(path);
            if (r.trashed.contains(path))
                o.trashed.append(path);
        }
    o.keptShared = r.keptShared;
    o.carried = m_board.store().lastCarriedOver();
    return o;
}

QString AreaCleaner::reasonText(Reason reason)
{
    switch (reason) {
    case Reason::Deleted:
        return QStringLiteral("deleted");
    case Reason::Missing:
        return QStringLiteral("missing");
    case Reason::Expired:
        return QStringLiteral("expired");
    }
    return {};
}

QString AreaCleaner::actionText(const Item& item)
{
    switch (item.action) {
    case Action::Remove:
        return item.reason == Reason::Missing ? QStringLiteral("remove") : QStringLiteral("remove, delete its file");
    case Action::RemoveKeepFile:
        return QStringLiteral("remove, keep its file (CD-ROM)");
    case Action::Move:
        return QStringLiteral("move to area %1").arg(item.to);
    case Action::Stay:
        return QStringLiteral("stays: ") + item.why;
    }
    return {};
}

} // namespace qv
