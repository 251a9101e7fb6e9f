// A failing call or a killed process at any step of a transfer between areas leaves each area
// old or new, never the source new while the destination is old, and every moved file in at
// least one of the two directories.

#include "board/TransferLeftovers.h"
#include "tests/support/FaultSweep.h"
#include "tests/transfer/TransferTestBoard.h"
#include "transfer/EntryTransfer.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSet>

#include <filesystem>
#include <optional>

namespace qv {
namespace {

using test::FaultyFileIo;
using test::TransferTestBoard;

void makeBoard(TransferTestBoard& t)
{
    t.writeSmallAreas();
    t.putFile(2, "a2.zip", "beta's a2");
}

struct Operation {
    const char* label;
    std::vector<uint64_t> rows;
    uint64_t after;
};

const std::vector<Operation> kOperations = {
    { "cut and paste behind the first entry", { 0, 2 }, 1 },
    { "direct move with a file that replaces another", { 1, 3 }, UINT64_MAX },
};

bool run(Board& board, const Operation& op, std::vector<Clipboard::Item> items, bool onWorker = false)
{
    EntryTransfer::Request r;
    r.source = 1;
    r.entries = std::move(items);
    r.move = true;
    r.area = 2;
    r.after = op.after;
    EntryTransfer::Callbacks yes;
    yes.copy.overwrite = [](const QString&) { return true; };
    yes.copy.onWorker = onWorker;
    auto outcome = EntryTransfer(board).run(r, yes);
    return outcome.ok() && std::all_of(outcome.files.begin(), outcome.files.end(), [](const FileCopier::Copy& c) {
        return c.completed();
    });
}

struct State {
    test::AreaBytes alpha, beta;
};

State stateOf(const TransferTestBoard& t)
{
    return { t.bytes(1), t.bytes(2) };
}

State expectedAfter(const Operation& op)
{
    TransferTestBoard t;
    makeBoard(t);
    auto board = t.open();
    EXPECT_TRUE(run(*board, op, TransferTestBoard::items(*board, 1, op.rows))) << op.label;
    return stateOf(t);
}

// What the next load sees, once it has finished or undone an interrupted change.
void expectNothingLost(const TransferTestBoard& t, const State& before, const State& after, const std::string& where)
{
    {
        auto board = t.open();
        EXPECT_FALSE(board->store().load(1, true).error) << where;
        EXPECT_FALSE(board->store().load(2, true).error) << where;
    }
    State now = stateOf(t);
    // A torn append cannot be told from text another program added, so its bytes stay behind,
    // unreferenced.
    if (now.beta.txt.size() > before.beta.txt.size() && now.beta.txt.size() < after.beta.txt.size()
        && std::equal(before.beta.txt.begin(), before.beta.txt.end(), now.beta.txt.begin()))
        now.beta.txt = before.beta.txt;
    const bool alphaNew = now.alpha == after.alpha;
    const bool betaNew = now.beta == after.beta;
    EXPECT_TRUE(alphaNew || now.alpha == before.alpha) << where << ": Alpha is neither old nor new";
    EXPECT_TRUE(betaNew || now.beta == before.beta) << where << ": Beta is neither old nor new";
    EXPECT_FALSE(alphaNew && !betaNew) << where << ": the entries left Alpha without reaching Beta";
    for (const char* f : { "A1.ZIP", "A2.ZIP", "A4.ZIP" }) {
        const auto content = test::bytesOf(std::string("alpha ") + f);
        std::string lower = f;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        const bool somewhere = test::readFile(t.file(1, f)) == content || test::readFile(t.file(2, f)) == content
            || test::readFile(t.file(2, lower)) == content;
        EXPECT_TRUE(somewhere) << where << ": " << f << " is lost";
    }
    if (!alphaNew) {
        for (const char* f : { "A1.ZIP", "A2.ZIP", "A4.ZIP" })
            EXPECT_TRUE(test::fileExists(t.file(1, f))) << where << ": " << f << " went while its entry stays";
    }
    EXPECT_EQ(t.check(1), std::vector<std::string>()) << where;
    EXPECT_EQ(t.check(2), std::vector<std::string>()) << where;

    // The check of leftovers names exactly the temporary copies and every file one directory
    // holds without an entry there whose twin (same size and time) the other area's entry names:
    // a moved file not yet deleted from Alpha's, or a copy in Beta's whose entry never arrived.
    auto board = t.open();
    QSet<QString> expected;
    for (const auto& e : std::filesystem::directory_iterator(t.dir(2)))
        if (e.path().filename().string().starts_with(".qvcopy-"))
            expected.insert(QString::fromStdString(e.path().string()));
    auto names = [&](int area) {
        QSet<QString> out;
        for (bool longNames : { true, false })
            for (const LoadedRow& row : board->store().load(area, longNames).rows)
                out.insert(QString::fromStdString(row.name).toCaseFolded());
        return out;
    };
    const QSet<QString> named[2] = { names(1), names(2) };
    for (int area : { 1, 2 }) {
        const int other = 3 - area;
        for (const auto& e : std::filesystem::directory_iterator(t.dir(area))) {
            const QString name = QString::fromStdString(e.path().filename().string());
            if (name.startsWith(".qvcopy-") || named[area - 1].contains(name.toCaseFolded())
                || !named[other - 1].contains(name.toCaseFolded()))
                continue;
            const QFileInfo here(QString::fromStdString(e.path().string()));
            const QFileInfo there(Board::entryFile(QString::fromStdString(t.dir(other)), name));
            if (there.isFile() && here.size() == there.size() && here.lastModified() == there.lastModified())
                expected.insert(here.filePath());
        }
    }
    QSet<QString> reported;
    TransferLeftovers leftovers(*board);
    for (int area : { 1, 2 })
        for (const QString& line : leftovers.find(area))
            reported.insert(line.section(QLatin1Char(' '), line.startsWith(QLatin1String("temporary")) ? 2 : 1, -1)
                                .section(QLatin1String(" left by"), 0, 0));
    QStringList r = reported.values(), e = expected.values();
    r.sort();
    e.sort();
    EXPECT_EQ(r.join(QLatin1Char('\n')).toStdString(), e.join(QLatin1Char('\n')).toStdString()) << where;
}

// The files are copied on the worker thread, as the window copies them.
TEST(TransferFaults, EveryFailingCallLeavesBothAreasOldOrNewAndNothingLost)
{
    for (const Operation& op : kOperations) {
        const State after = expectedAfter(op);
        test::sweepFailingCalls(
            op.label,
            [&](FaultyFileIo& io) {
                TransferTestBoard t;
                makeBoard(t);
                auto board = t.open(io);
                auto items = TransferTestBoard::items(*board, 1, op.rows);
                io.resetCounts();
                ASSERT_TRUE(run(*board, op, items, true)) << op.label;
            },
            [&](FaultyFileIo::Op kind, int n, const std::string& where) {
                TransferTestBoard t;
                makeBoard(t);
                const State before = stateOf(t);
                FaultyFileIo io(systemFileIo());
                auto board = t.open(io);
                auto items = TransferTestBoard::items(*board, 1, op.rows);
                io.resetCounts();
                io.failAt(kind, n, EIO);
                (void)run(*board, op, items, true);
                board.reset();
                expectNothingLost(t, before, after, where);
            });
    }
}

TEST(TransferFaults, AProcessKilledAtAnyStepLeavesBothAreasOldOrNewAndNothingLost)
{
    for (const Operation& op : kOperations) {
        const State after = expectedAfter(op);
        std::optional<TransferTestBoard> t;
        State before;
        test::sweepKills(op.label,
            { .prepare =
                    [&] {
                        t.reset();
                        t.emplace();
                        makeBoard(*t);
                        before = stateOf(*t);
                    },
                .child =
                    [&](FaultyFileIo& io) {
                        auto board = t->open(io);
                        return run(*board, op, TransferTestBoard::items(*board, 1, op.rows));
                    },
                .killed = [&](const std::string& where) { expectNothingLost(*t, before, after, where); },
                .finished =
                    [&](const std::string& where, bool ok) {
                        EXPECT_TRUE(ok) << where;
                        EXPECT_EQ(stateOf(*t).alpha, after.alpha) << where;
                        EXPECT_EQ(stateOf(*t).beta, after.beta) << where;
                    },
                .tornOnEvenSteps = true });
    }
}

} // namespace
} // namespace qv
