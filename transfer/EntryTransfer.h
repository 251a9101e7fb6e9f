#pragma once

#include "storage/AreaStore.h"
#include "storage/RowIdentity.h"
#include "transfer/Clipboard.h"
#include "transfer/FileCopier.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Board;

// Moves or copies entries of one area: within the area (a paste of the internal clipboard), to
// another area (a paste, or a direct copy or move) or, files only, to a directory.
//
// Whatever fails and wherever the process dies, every entry and every file exists at least
// once: the files are copied first; then the destination gains the entries (one change of that
// area); then the source loses them (a second change); only then are the source files deleted
// whose copies completed. A failure before the destination changed leaves both areas as they
// were and removes the copies again, except those that replaced a file that was there.
class EntryTransfer {
public:
    enum class To { Area, Directory };
    struct Request {
        int source = 0;
        // The rows taken, in list order, each with its row as the list showed it (its record).
        std::vector<Clipboard::Item> entries;
        // false: the entries are where they were shown, or the transfer is refused (a direct copy
        // or move); true: each is found by its record wherever it is now (a paste).
        bool locate = false;
        bool move = false;
        To to = To::Area;
        int area = 0; // destination area (the source itself: a reorder or duplication)
        uint64_t after = UINT64_MAX; // insertion point in the destination; past the end: behind the last
        // The destination row shown in front of the insertion point: the entries go behind it, and
        // only while it is still there. Without it they go behind the first `after` records.
        std::optional<RowIdentity> behind;
        QString directory; // To::Directory: host directory
        bool useLongNames = true; // how rows are compared and built
        // A move out of the area: more rows of the source, as the list showed them, that leave it
        // in the same change as the moved ones without going anywhere (a clean removes and moves
        // at once). With deleteRemovedFiles their files are deleted after that change, as the
        // moved ones' are, never one a remaining entry names.
        std::vector<Clipboard::Item> removedWith = {};
        bool deleteRemovedFiles = false;
    };
    enum class Stage { None, Checking, Destination, Source };
    struct Outcome {
        Stage failedAt = Stage::None;
        std::optional<Error> error; // failedAt Checking or Destination: the file base is unchanged
        bool stale = false; // refused: rows no longer hold what was shown (kRowsChanged)
        // A paste refused for this entry (index into entries): gone from its area, or found at
        // more than one place.
        std::optional<size_t> gone;
        std::optional<size_t> ambiguous;
        // The user stopped the file copy: failedAt Destination, both areas and directories as
        // they were (copies made so far removed).
        bool cancelled = false;
        std::vector<FileCopier::Copy> files; // in entry order, comment lines left out
        // Destination: where the entries now are, and their rows as loading shows them.
        uint64_t insertedAt = 0;
        LoadedRows inserted;
        // Within one area: record k is now record order[k] of before.
        std::vector<uint64_t> order;
        // Source positions removed (before the removal), ascending: where the entries were found,
        // which after a paste or a retry need not be where the list showed them.
        std::vector<uint64_t> removed;
        // After a copy: where the entries taken are now in their own area.
        std::vector<uint64_t> heldNow;
        QStringList deleted; // source files deleted after a move (removedWith's among them)
        QStringList trashed; // those of them that went to the trash
        QStringList keptShared; // moved, but still named by an entry left in the source
        bool ok() const { return !error; }
    };
    struct Callbacks {
        FileCopier::Callbacks copy;
        // Before each file: its host path, as the overwrite question and the errors name files
        // (the stored path when the area's directory cannot be reached).
        std::function<void(const QString& shownSource)> copying;
        // A file that could not be copied; its entry is transferred all the same.
        std::function<void(const FileCopier::Copy&)> copyFailed;
    };

    explicit EntryTransfer(Board& board);
    Outcome run(const Request& request, const Callbacks& callbacks = {});

    // After a cut within one area: the rows left in front of p, the held ones, then the rest.
    static std::vector<uint64_t> moveOrder(uint64_t count, const std::vector<uint64_t>& held, uint64_t p);
    // After a copy within one area: the first p rows, the held ones again, then the rest.
    static std::vector<uint64_t> duplicateOrder(uint64_t count, const std::vector<uint64_t>& held, uint64_t p);

private:
    bool check(const Request& request, Outcome& outcome);
    // Where the entries are now, found by their records; false with the entry that is not found
    // once in outcome.
    bool locate(const Request& request, Outcome& outcome);
    void copyFiles(const Request& request, const QString& destination, const Callbacks& callbacks, Outcome& outcome);
    void withinArea(const Request& request, Outcome& outcome);
    // Removes entries[k] for each k of `leaving` from the source.
    bool removeFromSource(const Request& request, const std::vector<size_t>& leaving, Outcome& outcome);
    void deleteMovedFiles(const Request& request, Outcome& outcome);
    void undoCopies(const Outcome& outcome);
    // Entries and removedWith as one list: k below entries.size() is entries[k].
    static const Clipboard::Item& item(const Request& request, size_t k);
    static size_t itemCount(const Request& request);
    std::vector<RowIdentity> identities(const Request& request, const std::vector<size_t>& which) const;

    Board& m_board;
    std::vector<uint64_t> m_positions; // of the entries (then removedWith) in the source, as checked
};

} // namespace qv
