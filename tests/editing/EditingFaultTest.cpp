// Every command that changes area 1, put through a failing call at each of its file calls and a
// kill at each of its steps: the next load finds the old records or the new ones, never deletes
// the file of an entry that is still listed, and the check finds the area clean.

#include "editing/AreaSorter.h"
#include "editing/DescriptionExtraction.h"
#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"
#include "editing/EntryRemover.h"
#include "editing/EntryUpdater.h"
#include "editing/FileAdder.h"
#include "editing/FilesBbsImport.h"
#include "tests/editing/CommandSweep.h"
#include "tests/editing/EditingTestBoard.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

using test::AreaBytes;
using test::AreaState;
using test::Entry;
using test::FilesTestBoard;
using test::Ran;
using test::shownAt;
using Run = std::function<bool()>;
using BoardPtr = std::shared_ptr<Board>;

struct Operation {
    const char* label;
    std::function<std::unique_ptr<FilesTestBoard>()> make;
    // Readies the command on a board opened through the io of the sweep.
    std::function<Run(const FilesTestBoard&, BoardPtr)> ready;
    bool tornEveryStep = false;
    int killLimit = 200;
    bool textMayGrow = false; // text appended before a failing call may stay behind, unreferenced
    bool perRecord = false; // a failing call leaves each header record old or new
    bool successMeansNew = true; // success under a failing call leaves the new records
};

std::unique_ptr<FilesTestBoard> fourEntries()
{
    return std::make_unique<test::EditingTestBoard>();
}

std::unique_ptr<FilesTestBoard> withFiles()
{
    auto t = std::make_unique<FilesTestBoard>(
        std::vector<Entry> { Entry { .name = "C.ZIP", .size = 1, .description = "c", .longName = "c.zip" },
            Entry { .name = "A.ZIP", .size = 1, .description = "a" }, Entry { .name = "", .description = "comment" },
            Entry { .name = "E.ZIP", .size = 1, .description = "e" }, Entry { .name = "B.ZIP", .size = 1 },
            Entry { .name = "D.ZIP", .size = 1, .description = "d" } });
    for (const char* f : { "A.ZIP", "B.ZIP", "C.ZIP", "D.ZIP", "E.ZIP" })
        t->putFile(f, "0123456789");
    return t;
}

template <class Command> std::function<Run(const FilesTestBoard&, BoardPtr)> onBoard(Command command)
{
    return [command](const FilesTestBoard&, BoardPtr b) { return [b, command] { return command(*b); }; };
}
// With the rows as loaded, read before the sweep counts.
template <class Command> std::function<Run(const FilesTestBoard&, BoardPtr)> onRows(Command command)
{
    return [command](const FilesTestBoard&, BoardPtr b) {
        const auto rows = b->store().load(1, true).rows;
        return [b, rows, command] { return command(*b, rows); };
    };
}

std::vector<Operation> operations()
{
    using PO = PropertiesResult::Outcome;
    using DO = DescriptionsResult::Outcome;
    return {
        { "Apply with a moved description", fourEntries, onBoard([](Board& b) {
             const PropertyChanges c { .downloads = 7,
                 .keywords = std::array<QString, 5> { "k1", "k2" },
                 .description = "a description longer than the old one" };
             return EntryProperties(b, 1).apply(shownAt(b, 1, 3), c).outcome == PO::Written;
         }),
            true },
        { "Apply overwriting in place", fourEntries, onBoard([](Board& b) {
             const PropertyChanges c { .uploader = "Zed", .description = "short" };
             return EntryProperties(b, 1).apply(shownAt(b, 1, 0), c).outcome == PO::Written;
         }),
            true },
        { "global description over four entries", fourEntries, onBoard([](Board& b) {
             return Descriptions(b, 1).giveAll(shownAt(b, 1, { 0, 1, 2, 3 }), "Same for all").outcome == DO::Written;
         }),
            true },
        { "comment insertion", fourEntries, onBoard([](Board& b) {
             return Descriptions(b, 1).insertComment(2, "-- section --", "Sysop").outcome == DO::Written;
         }),
            true },
        { "remove with its files", withFiles, onRows([](Board& b, const LoadedRows& rows) {
             return EntryRemover(b)
                 .remove(1, rows, { 1, 2, 4 }, [](const QString&) { return DeletionAnswer::YesToAll; })
                 .ok();
         }) },
        { "sort by name descending", withFiles, onRows([](Board& b, const LoadedRows& rows) {
             return !AreaSorter(b).sort(1, rows, { SortKey::Name, true, {} }).error;
         }) },
        // Update leaves an entry whose file cannot be opened as it is.
        { "update", withFiles, onRows([](Board& b, const LoadedRows& rows) {
             return !EntryUpdater(b).update(1, rows, { 0, 1, 3, 5 }).error;
         }),
            false, 200, false, true, false },
        // A failing read finds no archive: the run reports success with nothing changed.
        { "extracting",
            []() -> std::unique_ptr<FilesTestBoard> {
                auto t = std::make_unique<FilesTestBoard>(
                    std::vector<Entry> { { .name = "A.ZIP", .description = "long old text of a" },
                        { .name = "B.ZIP", .description = "b" } });
                if (!t->zip("A.ZIP", "new a") || !t->zip("B.ZIP", "new b is longer"))
                    return nullptr;
                return t;
            },
            [](const FilesTestBoard& t, BoardPtr b) -> Run {
                return [&t, b] {
                    std::vector<DescriptionExtraction::Row> rows;
                    for (uint64_t i : { 0, 1 })
                        rows.push_back({ i, QString(i ? "B.zip" : "A.zip"), false,
                            b->store().readHeader(1, i).valueOr({}).encode() });
                    DescriptionExtractor extractor(t.settings, t.temp);
                    extractor.setBlocking(true);
                    return !DescriptionExtraction::run(*b, 1, rows, extractor).error;
                };
            },
            false, 100, true, false, false },
        { "adding",
            [] {
                auto t
                    = std::make_unique<FilesTestBoard>(std::vector<Entry> { { .name = "ONE.ZIP", .description = "one" },
                        { .name = "TWO.ZIP", .description = "two" }, { .name = "THREE.ZIP", .description = "three" } });
                t->put("alpha.txt", "a");
                t->put("Long name.txt", "bb");
                t->put("GAMMA.TXT", "ccc");
                return t;
            },
            onBoard([](Board& b) {
                FileAdder::Request request;
                request.names = { "alpha.txt", "Long name.txt", "gamma.txt" };
                request.uploader = "U";
                request.after = 1;
                request.extract = false;
                return !FileAdder::add(b, 1, request, nullptr, {}, QDate(2024, 1, 2)).error;
            }),
            false, 100, true },
        { "import adding and describing",
            [] {
                auto t = std::make_unique<FilesTestBoard>(
                    std::vector<Entry> { { .name = "EXIST.ZIP", .description = "old" } });
                for (const char* f : { "NEW1.ZIP", "EXIST.ZIP", "Long Name.txt" })
                    t->put(f, f);
                t->put("files.bbs", "; listed\r\nNEW1.ZIP new\r\nEXIST.ZIP changed\r\n\"Long Name.txt\" x\r\n");
                return t;
            },
            onBoard([](Board& b) {
                const FilesBbsImport::Request request { .updateDescriptions = true, .uploader = "u" };
                const auto o
                    = FilesBbsImport::apply(b, 1, FilesBbsImport::prepare(b, 1, request), request, QDate(2024, 6, 30));
                return !o.error && o.added == 3 && o.described == 1;
            }),
            true },
    };
}

// After a clean run: the new records; else each header record old or new, the others unchanged.
bool eachRecordOldOrNew(const AreaBytes& now, const AreaBytes& before, const AreaBytes& after)
{
    if (now.idx != before.idx || now.lfn != before.lfn || now.txt != before.txt || now.hdr.size() != before.hdr.size())
        return false;
    for (size_t at = 0; at < now.hdr.size(); at += HeaderRecord::kSize) {
        auto same = [&](const std::vector<uint8_t>& other) {
            return std::equal(
                now.hdr.begin() + long(at), now.hdr.begin() + long(at + HeaderRecord::kSize), other.begin() + long(at));
        };
        if (!same(before.hdr) && !same(after.hdr))
            return false;
    }
    return true;
}

void expectOldOrNew(const Operation& op, const FilesTestBoard& t, const AreaState& before, const AreaState& after,
    Ran ran, const std::string& where)
{
    const AreaState atOnce = t.state();
    if (ran == Ran::Failed) {
        EXPECT_EQ(atOnce.files, before.files) << where << ": failed, yet a file went";
    }
    if (ran == Ran::Succeeded && op.successMeansNew) {
        EXPECT_TRUE(atOnce.bytes == after.bytes) << where << ": success claimed for a change not in place";
    }
    EXPECT_FALSE(t.open()->store().load(1, true).error) << where;
    const AreaState now = t.state();
    const AreaBytes &n = now.bytes, &b = before.bytes;
    if (op.perRecord && ran != Ran::Killed) {
        EXPECT_TRUE(eachRecordOldOrNew(n, b, after.bytes)) << where;
        EXPECT_EQ(now.files, before.files) << where;
    } else if (n.sameRecords(b)) {
        // After a kill, or where the command appends first, text nothing refers to may stay.
        const bool grown = (op.textMayGrow || ran == Ran::Killed) && n.txt.size() > b.txt.size()
            && std::equal(b.txt.begin(), b.txt.end(), n.txt.begin());
        EXPECT_TRUE(n.txt == b.txt || grown) << where << ": description file";
        EXPECT_EQ(now.files, before.files) << where << ": a file went while its entry stays";
    } else {
        EXPECT_TRUE(n == after.bytes) << where << ": neither the old nor the new records";
        for (const std::string& f : after.files)
            EXPECT_TRUE(std::find(now.files.begin(), now.files.end(), f) != now.files.end()) << where << ": " << f;
    }
    EXPECT_EQ(t.check(), std::vector<std::string>()) << where;
}

class EditingFaults : public testing::TestWithParam<Operation> { };

TEST_P(EditingFaults, EveryFailingCallOrKillLeavesOldOrNewAndNoListedEntryWithoutItsFile)
{
    const Operation& op = GetParam();
    test::sweepCommand<FilesTestBoard, AreaState>({ .label = op.label,
        .make = op.make,
        .start = [&](FilesTestBoard& t, FileIo& io, bool) { return op.ready(t, BoardPtr(t.open(io))); },
        .state = [](const FilesTestBoard& t) { return t.state(); },
        .expect = [&](const FilesTestBoard& t, const AreaState& before, const AreaState& after, Ran ran,
                      const std::string& where) { expectOldOrNew(op, t, before, after, ran, where); },
        .tornEveryStep = op.tornEveryStep,
        .killLimit = op.killLimit });
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EditingFaults, testing::ValuesIn(operations()), [](const testing::TestParamInfo<Operation>& i) {
        std::string name = i.param.label;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

} // namespace
} // namespace qv
