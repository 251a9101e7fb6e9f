// The board's own writes beside the store's changes: a stand-in that appends entries and counts
// downloads without locks runs while each kind of change is made over and over. Nothing it wrote
// may be lost or land on another entry, and the area must check clean.

#include "storage/AreaCheck.h"
#include "storage/AreaStore.h"

#include "tests/support/BoardBuilder.h"
#include "tests/support/FaultyFileIo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <algorithm>
#include <map>

namespace qv {
namespace {

using test::BoardBuilder;
using test::Entry;

constexpr int kArea = 1;
constexpr int kOther = 2;
// How long each run lasts; QV_BOARD_BESIDE_MS makes it a soak.
const int kMilliseconds = std::getenv("QV_BOARD_BESIDE_MS") ? std::atoi(std::getenv("QV_BOARD_BESIDE_MS")) : 1500;

// Our entries are OURn.ZIP; the board's are SB..., which our changes never pick.
bool ours(const LoadedRow& row)
{
    return row.name.view().starts_with("Our") || row.name.view().starts_with("OUR");
}

std::optional<uint64_t> firstOurs(const LoadedRows& rows)
{
    for (uint64_t k = 0; k < rows.size(); ++k)
        if (ours(rows[k]))
            return k;
    return std::nullopt;
}

struct Operation {
    const char* label;
    // One round: reads the area as a command would, then changes it.
    std::function<Result<void>(AreaStore&, int round)> run;
};

Result<void> ignoreValue(const auto& r)
{
    return r ? Result<void>() : Result<void>(r.error());
}

const Operation kOperations[] = {
    { "sort",
        [](AreaStore& s, int round) -> Result<void> {
            auto stamp = s.io().stamp(s.fileBaseDir() + "/hdr/fdb1.hdr");
            const auto rows = s.load(kArea, false).rows;
            std::vector<uint64_t> order(rows.size());
            for (uint64_t k = 0; k < order.size(); ++k)
                order[k] = k;
            std::stable_sort(order.begin(), order.end(), [&](uint64_t a, uint64_t b) {
                return round % 2 ? rows[a].name < rows[b].name : rows[a].name > rows[b].name;
            });
            return s.rewrite(kArea, RewritePlan::permutation(order), *stamp);
        } },
    { "remove",
        [](AreaStore& s, int) -> Result<void> {
            auto stamp = s.io().stamp(s.fileBaseDir() + "/hdr/fdb1.hdr");
            const auto rows = s.load(kArea, false).rows;
            const auto p = firstOurs(rows);
            if (!p)
                return {};
            const RowIdentity id = identityOf(rows[*p], *p);
            return s.rewrite(kArea, RewritePlan::removal(rows.size(), { *p }), *stamp, std::span(&id, 1));
        } },
    { "add",
        [](AreaStore& s, int round) -> Result<void> {
            const auto rows = s.load(kArea, false).rows;
            const uint64_t p = rows.size() / 2;
            const RowIdentity id = identityOf(rows[p], p);
            std::vector<NewEntry> one;
            one.push_back(test::newEntry("OURNEW" + std::to_string(round % 100) + ".ZIP"));
            return s.insertEntries(kArea, p, std::move(one), { "ours" }, std::span(&id, 1));
        } },
    { "take",
        [](AreaStore& s, int round) -> Result<void> {
            const auto there = s.load(kOther, false).rows;
            const uint64_t r = uint64_t(round) % there.size();
            const RowIdentity id = identityOf(there[r], r);
            return s.takeEntries(kArea, 3, kOther, { r }, std::span(&id, 1));
        } },
    { "properties",
        [](AreaStore& s, int round) -> Result<void> {
            const auto rows = s.load(kArea, false).rows;
            const uint64_t p = *firstOurs(rows);
            const RowIdentity id = identityOf(rows[p], p);
            std::vector<uint8_t> cost(2);
            enc::putWord(cost.data(), round % 1000);
            return ignoreValue(s.patchRecords(kArea, {},
                { FieldPatch { AreaFileKind::Header, p, HeaderRecord::kCostOffset, cost, std::nullopt } },
                std::span(&id, 1)));
        } },
    { "description",
        [](AreaStore& s, int round) -> Result<void> {
            const auto rows = s.load(kArea, false).rows;
            const uint64_t p = *firstOurs(rows);
            const RowIdentity id = identityOf(rows[p], p);
            return ignoreValue(s.setDescriptions(
                kArea, { { p, "described " + std::string(size_t(round % 40), 'x') } }, std::span(&id, 1)));
        } },
};

class BoardBeside : public testing::TestWithParam<Operation> { };

TEST_P(BoardBeside, NothingTheBoardWritesIsLost)
{
    test::TempDir tmp;
    BoardBuilder board(tmp.path());
    std::vector<Entry> entries;
    for (int k = 0; k < 300; ++k)
        entries.push_back(Entry { .name = "OUR" + std::to_string(k) + ".ZIP", .description = "ours" });
    board.writeEntries(kArea, entries, false);
    board.writeEntries(kOther,
        { Entry { .name = "THERE1.ZIP", .description = "1" }, Entry { .name = "THERE2.ZIP", .description = "2" } },
        false);

    const std::string command = std::string(QV_STANDIN_BOARD) + " " + board.fileBaseDir() + " " + std::to_string(kArea)
        + " " + std::to_string(kMilliseconds) + " 60";
    FILE* standIn = ::popen(command.c_str(), "r");
    ASSERT_NE(standIn, nullptr);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    int completed = 0, gaveUp = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMilliseconds);
    for (int round = 0; std::chrono::steady_clock::now() < until; ++round) {
        auto done = GetParam().run(store, round);
        if (done)
            ++completed;
        else if (done.error().code == kChangedMeanwhile || done.error().code == kRowsChanged)
            ++gaveUp;
        else
            ADD_FAILURE() << done.error().message;
    }
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, standIn)) > 0;)
        out.append(buffer, n);
    ASSERT_EQ(::pclose(standIn), 0);

    std::map<std::string, int> added, counted;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = out.substr(at, end - at);
        if (line.rfind("added ", 0) == 0)
            added[line.substr(6)] = 0;
        else if (line.rfind("counted ", 0) == 0)
            ++counted[line.substr(8)];
    }
    ASSERT_FALSE(added.empty());
    const auto rows = store.load(kArea, false).rows;
    // A count the board makes on the new file while a late one is carried onto the same entry
    // can overwrite it (the board reads and writes a count without a lock); one on another entry
    // is never made.
    std::map<std::string, int> found;
    int lost = 0, total = 0;
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto h = store.readHeader(kArea, k);
        ASSERT_TRUE(h);
        if (added.count(h->name())) {
            ++found[h->name()];
            EXPECT_LE(h->downloads(), counted[h->name()]) << h->name();
            lost += counted[h->name()] - h->downloads();
            total += counted[h->name()];
        } else {
            EXPECT_EQ(h->downloads(), 0) << h->name();
        }
    }
    // The race is rare, not absent: up to one count in a hundred may go, a systematic loss not.
    EXPECT_LE(lost, std::max(2, total / 100)) << "of " << total;
    for (const auto& [name, unused] : added)
        EXPECT_EQ(found[name], 1) << name << " after " << completed << " changes";
    // An entry whose header the board wrote to the replaced file and whose index it wrote to the
    // new one can leave the index records of the entries carried over with it in another order.
    // Known and left: counted here, not failed.
    std::vector<std::string> problems;
    int indexOrder = 0;
    for (const std::string& p : AreaCheck::run(systemFileIo(), board.fileBaseDir(), kArea)) {
        if (p.find("index") != std::string::npos && p.find("SB") != std::string::npos)
            ++indexOrder;
        else if (p.find("index description pointer") == std::string::npos)
            problems.push_back(p);
    }
    EXPECT_EQ(problems, std::vector<std::string> {});
    EXPECT_GT(completed, gaveUp) << "most changes complete";
    std::printf("%s: %d completed, %d gave up, %zu added, %d counted, %d counts overwritten, %d index problems\n",
        GetParam().label, completed, gaveUp, added.size(), total, lost, indexOrder);
}

INSTANTIATE_TEST_SUITE_P(
    Store, BoardBeside, testing::ValuesIn(kOperations), [](const auto& info) { return std::string(info.param.label); });

// The board uploads between the moment a change measures the description file and its own
// append: the new texts land behind the board's, and every pointer must say so.
TEST(BoardBeside, TextsAppendedAtTheLastMomentAreFoundWhereTheyLanded)
{
    struct Case {
        const char* label;
        std::function<Result<void>(AreaStore&)> run;
        uint64_t position; // the entry that gets "ours"
    };
    const Case cases[] = {
        { "insertion",
            [](AreaStore& s) { return s.insertEntries(kArea, 1, { test::newEntry("OURNEW.ZIP") }, { "ours" }); }, 1 },
        { "description appended",
            [](AreaStore& s) {
                return ignoreValue(s.setDescriptions(kArea, { { 0, "ours" } }));
            },
            0 },
        { "entry taken", [](AreaStore& s) { return s.takeEntries(kArea, 2, kOther, { 0 }); }, 2 },
    };
    const std::string upload = std::string("upload text") + '\0';
    for (const Case& c : cases) {
        test::TempDir tmp;
        BoardBuilder board(tmp.path());
        board.writeEntries(kArea, { Entry { .name = "A.ZIP", .description = "a" }, Entry { .name = "B.ZIP" } }, false);
        board.writeEntries(kOther, { Entry { .name = "C.ZIP", .description = "ours" } }, false);
        const auto before = test::readFile(board.descriptionPath(kArea));
        test::FaultyFileIo io(systemFileIo());
        bool uploaded = false;
        io.beforeAppend([&] {
            if (std::exchange(uploaded, true))
                return;
            FILE* f = std::fopen(board.descriptionPath(kArea).c_str(), "ab");
            std::fwrite(upload.data(), 1, upload.size(), f);
            std::fclose(f);
        });
        AreaStore store(io, board.fileBaseDir());
        ASSERT_TRUE(c.run(store)) << c.label;
        EXPECT_TRUE(uploaded) << c.label;
        EXPECT_EQ(store.readDescription(kArea, c.position), "ours") << c.label;
        const auto after = test::readFile(board.descriptionPath(kArea));
        ASSERT_GE(after.size(), before.size() + upload.size()) << c.label;
        EXPECT_EQ(std::string(after.begin() + long(before.size()), after.begin() + long(before.size() + upload.size())),
            upload)
            << c.label;
        EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), kArea), std::vector<std::string> {}) << c.label;
    }
}

// The board's own tools put a new description file in place of the one a change has just
// appended to, between the append and the commit: the change must give up rather than point its
// records into the board's texts, and must not cut the board's file either.
TEST(BoardBeside, TextsAppendedToADescriptionFileReplacedMeanwhileCommitNothing)
{
    struct Change {
        const char* label;
        std::function<Result<void>(AreaStore&)> run;
    };
    const Change changes[] = {
        { "insertion",
            [](AreaStore& s) { return s.insertEntries(kArea, 1, { test::newEntry("OURNEW.ZIP") }, { "ours" }); } },
        { "description appended",
            [](AreaStore& s) {
                return ignoreValue(s.setDescriptions(kArea, { { 0, "ours" } }));
            } },
        { "patch with an appended text",
            [](AreaStore& s) {
                std::vector<uint8_t> pointer(4);
                return ignoreValue(s.patchRecords(kArea, { "ours" },
                    { FieldPatch { AreaFileKind::Header, 0, HeaderRecord::kDescriptionPointerOffset, pointer, 0 } }));
            } },
        // Its description and its board long name are appended one after the other.
        { "entry taken", [](AreaStore& s) { return s.takeEntries(kArea, 2, kOther, { 0 }); } },
    };
    const std::string upload = std::string("upload text") + '\0';
    const std::function<void(const std::string&, const std::vector<uint8_t>&)> boards[] = {
        [&](const std::string& txt, const std::vector<uint8_t>& before) { // renamed over
            test::writeFile(txt + ".new", std::string(before.begin(), before.end()) + upload);
            ASSERT_EQ(std::rename((txt + ".new").c_str(), txt.c_str()), 0);
        },
        [&](const std::string& txt, const std::vector<uint8_t>& before) { // rewritten in place
            test::writeFile(txt, std::string(before.begin(), before.end()) + upload);
        },
    };
    for (const Change& c : changes) {
        for (size_t b = 0; b < std::size(boards); ++b) {
            SCOPED_TRACE(std::string(c.label) + (b == 0 ? ", renamed over" : ", rewritten in place"));
            test::TempDir tmp;
            BoardBuilder board(tmp.path());
            board.writeEntries(
                kArea, { Entry { .name = "A.ZIP", .description = "a" }, Entry { .name = "B.ZIP" } }, false);
            board.writeEntries(kOther,
                { Entry { .name = "C.ZIP", .description = "ours" },
                    Entry { .name = "D.ZIP", .description = "C long" } },
                false);
            test::patchLong(board.headerPath(kOther), HeaderRecord::kLongNamePointerOffset, 5);
            const std::string txt = board.descriptionPath(kArea);
            const auto before = test::readFile(txt);
            const auto headerBefore = test::readFile(board.headerPath(kArea));
            const auto otherBefore = test::readFile(board.headerPath(kOther));
            test::FaultyFileIo io(systemFileIo());
            bool appended = false, replaced = false;
            io.beforeAppend([&] { appended = true; });
            io.beforeLock([&] {
                if (appended && !std::exchange(replaced, true))
                    boards[b](txt, before);
            });
            AreaStore store(io, board.fileBaseDir());
            const auto done = c.run(store);
            ASSERT_TRUE(replaced);
            ASSERT_FALSE(done);
            EXPECT_EQ(done.error().code, kChangedMeanwhile);
            EXPECT_EQ(test::readFile(board.headerPath(kArea)), headerBefore);
            EXPECT_EQ(test::readFile(board.headerPath(kOther)), otherBefore);
            auto boardTexts = before;
            boardTexts.insert(boardTexts.end(), upload.begin(), upload.end());
            EXPECT_EQ(test::readFile(txt), boardTexts);
            EXPECT_EQ(AreaCheck::run(systemFileIo(), board.fileBaseDir(), kArea), std::vector<std::string> {});
        }
    }
}

} // namespace
} // namespace qv
