// A failing call or a killed process at any step of a transfer or a clean leaves each area old or
// new, never the source new while area 2 is old, no file deleted whose entry remains, every
// moved file in at least one of the two directories, and the check naming exactly what the
// command left half way.

#include "board/TransferLeftovers.h"
#include "tests/editing/CommandSweep.h"
#include "tests/transfer/CleanTestBoard.h"
#include "tests/transfer/TransferTestBoard.h"
#include "transfer/AreaCleaner.h"
#include "transfer/EntryTransfer.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSet>

#include <filesystem>
#include <map>

namespace qv {
namespace {

using test::Ran;
using Run = std::function<bool()>;
using BoardPtr = std::shared_ptr<Board>;
using Files = std::map<std::string, std::vector<uint8_t>>;

// The source area and area 2, the destination, with what their directories hold.
struct State {
    test::AreaBytes src, dst;
    Files srcFiles, dstFiles;
    bool operator==(const State&) const = default;
};

template <class Fixture> struct Operation {
    const char* label;
    int src;
    std::vector<std::string> moved; // files the command takes to area 2
    std::function<void(Fixture&)> fill;
    std::function<Run(BoardPtr, bool killing)> ready;
};

template <class Fixture> State stateOf(const Fixture& t, int src)
{
    return { t.bytes(src), t.bytes(2), test::filesIn(t.dir(src)), test::filesIn(t.dir(2)) };
}

QString folded(const std::string& name)
{
    return QString::fromStdString(name).toCaseFolded();
}

// What the next load sees, once it has finished or undone an interrupted change.
template <class Fixture>
void expectNothingLost(const Fixture& t, const Operation<Fixture>& op, const State& before, const State& after, Ran ran,
    const std::string& where)
{
    const int src = op.src;
    {
        auto board = t.open();
        EXPECT_FALSE(board->store().load(src, true).error) << where;
        EXPECT_FALSE(board->store().load(2, true).error) << where;
    }
    State now = stateOf(t, src);
    // A torn append cannot be told from text another program added: its bytes stay, unreferenced.
    auto& txt = now.dst.txt;
    if (txt.size() > before.dst.txt.size() && txt.size() < after.dst.txt.size()
        && std::equal(before.dst.txt.begin(), before.dst.txt.end(), txt.begin()))
        txt = before.dst.txt;
    const bool srcNew = now.src == after.src;
    const bool dstNew = now.dst == after.dst;
    EXPECT_TRUE(srcNew || now.src == before.src) << where << ": the source is neither old nor new";
    EXPECT_TRUE(dstNew || now.dst == before.dst) << where << ": area 2 is neither old nor new";
    EXPECT_FALSE(srcNew && !dstNew) << where << ": entries left the source without reaching area 2";
    for (const auto& [f, bytes] : srcNew ? after.srcFiles : before.srcFiles)
        EXPECT_TRUE(now.srcFiles.count(f)) << where << ": " << f << " went while its entry stays";
    if (ran == Ran::Failed && op.moved.empty()) {
        EXPECT_EQ(now.srcFiles, before.srcFiles) << where << ": failed, yet deleted a file";
    }
    for (const std::string& f : op.moved) {
        const auto& bytes = before.srcFiles.at(f);
        bool somewhere = false;
        for (const Files* dir : { &now.srcFiles, &now.dstFiles })
            for (const auto& [name, held] : *dir)
                somewhere = somewhere || (folded(name) == folded(f) && held == bytes);
        EXPECT_TRUE(somewhere) << where << ": " << f << " is lost";
    }
    for (int area : { src, 2 })
        EXPECT_EQ(AreaCheck::run(systemFileIo(), t.builder.fileBaseDir(), area), std::vector<std::string>()) << where;

    // The leftovers named are exactly the temporary copies and every file one directory holds
    // without an entry there whose twin (same size and time) the other area's entry names: a
    // moved file not yet deleted from the source, or a copy whose entry never arrived.
    auto board = t.open();
    QSet<QString> expected;
    auto names = [&](int area) {
        QSet<QString> out;
        for (bool longNames : { true, false })
            for (const LoadedRow& row : board->store().load(area, longNames).rows)
                out.insert(folded(row.name.str()));
        return out;
    };
    const std::map<int, QSet<QString>> named { { src, names(src) }, { 2, names(2) } };
    for (int area : { src, 2 }) {
        const int other = area == 2 ? src : 2;
        for (const auto& e : std::filesystem::directory_iterator(t.dir(area))) {
            const QString name = QString::fromStdString(e.path().filename().string());
            const QString path = QString::fromStdString(e.path().string());
            if (name.startsWith(".qvcopy-")) {
                expected.insert(path);
                continue;
            }
            if (named.at(area).contains(name.toCaseFolded()) || !named.at(other).contains(name.toCaseFolded()))
                continue;
            const QFileInfo here(path);
            const QFileInfo there(Board::entryFile(QString::fromStdString(t.dir(other)), name));
            if (there.isFile() && here.size() == there.size() && here.lastModified() == there.lastModified())
                expected.insert(path);
        }
    }
    QStringList reported;
    TransferLeftovers leftovers(*board);
    for (int area : { src, 2 })
        for (const QString& line : leftovers.find(area))
            reported << line.section(' ', line.startsWith("temporary") ? 2 : 1, -1).section(" left by", 0, 0);
    reported.removeDuplicates();
    QStringList e = expected.values();
    reported.sort();
    e.sort();
    EXPECT_EQ(reported.join('\n').toStdString(), e.join('\n').toStdString()) << where;
}

template <class Fixture> void sweep(const Operation<Fixture>& op)
{
    test::sweepCommand<Fixture, State>({ .label = op.label,
        .make =
            [&] {
                auto t = std::make_unique<Fixture>();
                op.fill(*t);
                return t;
            },
        .start = [&](Fixture& t, FileIo& io, bool killing) { return op.ready(BoardPtr(t.open(io)), killing); },
        .state = [&](const Fixture& t) { return stateOf(t, op.src); },
        .expect = [&](const Fixture& t, const State& before, const State& after, Ran ran,
                      const std::string& where) { expectNothingLost(t, op, before, after, ran, where); } });
}

// A cut of Alpha's rows pasted into Beta; the files are copied on the worker thread, as the
// window copies them, except in the killed child.
Operation<test::TransferTestBoard> moving(const char* label, std::vector<uint64_t> rows, uint64_t after)
{
    return { label, 1, { "A1.ZIP", "A2.ZIP", "A4.ZIP" },
        [](test::TransferTestBoard& t) {
            t.writeSmallAreas();
            t.putFile(2, "a2.zip", "beta's a2");
        },
        [rows, after](BoardPtr b, bool killing) -> Run {
            EntryTransfer::Request r;
            r.source = 1;
            r.entries = test::TransferTestBoard::items(*b, 1, rows);
            r.move = true;
            r.area = 2;
            r.after = after;
            return [b, r, killing] {
                EntryTransfer::Callbacks yes;
                yes.copy.overwrite = [](const QString&) { return true; };
                yes.copy.onWorker = !killing;
                auto outcome = EntryTransfer(*b).run(r, yes);
                return outcome.ok()
                    && std::all_of(outcome.files.begin(), outcome.files.end(),
                        [](const FileCopier::Copy& c) { return c.completed(); });
            };
        } };
}

Operation<test::CleanTestBoard> cleaning(const char* label, int area, std::vector<std::string> moved)
{
    return { label, area, std::move(moved), [area](test::CleanTestBoard& t) { t.fill(area); },
        [area](BoardPtr b, bool) -> Run {
            const auto plan = AreaCleaner::prepare(*b, { { area }, true, true, true, test::CleanTestBoard::kToday });
            return [b, plan] { return AreaCleaner(*b).apply(plan).ok(); };
        } };
}

class TransferFaults : public testing::TestWithParam<Operation<test::TransferTestBoard>> { };
class CleanFaults : public testing::TestWithParam<Operation<test::CleanTestBoard>> { };

TEST_P(TransferFaults, EveryFailingCallOrKillLeavesBothAreasOldOrNewAndNothingLost)
{
    sweep(GetParam());
}

TEST_P(CleanFaults, EveryFailingCallOrKillLeavesBothAreasOldOrNewAndNothingLost)
{
    sweep(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Paste, TransferFaults,
    testing::Values(moving("cut and paste behind the first entry", { 0, 2 }, 1),
        moving("direct move with a file that replaces another", { 1, 3 }, UINT64_MAX)));
INSTANTIATE_TEST_SUITE_P(Clean, CleanFaults,
    testing::Values(
        cleaning("removing", 4, {}), cleaning("moving and removing", 1, { "OLDDL.ZIP", "NEVER.ZIP", "OLDFD.ZIP" })));

} // namespace
} // namespace qv
