// The window's undo over commands that change areas and files: do, undo and redo leave the
// area files and the files on disk as they were; a step changed since is refused; the stack's
// texts and its limit.

#include "board/UndoStack.h"
#include "editing/EntryRemover.h"
#include "tests/support/FaultyFileIo.h"
#include "tests/transfer/TransferTestBoard.h"
#include "transfer/EntryTransfer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>

#include <functional>

namespace qv {
namespace {

using test::TransferTestBoard;

// Both areas' files and what both directories hold.
struct State {
    test::AreaBytes alpha, beta;
    std::array<std::map<std::string, std::vector<uint8_t>>, 2> files;
    bool operator==(const State&) const = default;
};

State stateOf(const TransferTestBoard& t)
{
    return { t.bytes(1), t.bytes(2), { test::filesIn(t.dir(1)), test::filesIn(t.dir(2)) } };
}

void expectState(const State& now, const State& was, const std::string& where)
{
    for (auto [n, w] : { std::pair { &now.alpha, &was.alpha }, std::pair { &now.beta, &was.beta } }) {
        EXPECT_TRUE(n->sameRecords(*w)) << where;
        EXPECT_TRUE(n->txt.size() >= w->txt.size() && std::equal(w->txt.begin(), w->txt.end(), n->txt.begin()))
            << where;
    }
    EXPECT_EQ(now.files, was.files) << where;
}

EntryTransfer::Outcome transfer(Board& b, bool move, std::vector<uint64_t> rows)
{
    EntryTransfer::Request r;
    r.source = 1;
    r.entries = TransferTestBoard::items(b, 1, rows);
    r.move = move;
    r.area = 2;
    return EntryTransfer(b).run(r, {});
}

struct Command {
    const char* label;
    std::function<void(Board&)> run;
};

const std::vector<Command> kCommands = {
    { "Remove of 2 entries",
        [](Board& b) {
            EntryRemover remover(b);
            const auto rows = b.store().load(1, true).rows;
            auto out = remover.remove(1, rows, { 0, 3 }, [](const QString&) { return DeletionAnswer::YesToAll; });
            EXPECT_TRUE(out.ok());
        } },
    { "Direct Move of 2 entries",
        [](Board& b) {
            EXPECT_TRUE(transfer(b, true, { 1, 3 }).ok());
        } },
    { "Direct Copy", [](Board& b) { EXPECT_TRUE(transfer(b, false, { 0 }).ok()); } },
};

TEST(UndoStack, UndoAndRedoPutAreasAndFilesBack)
{
    for (const Command& c : kCommands) {
        TransferTestBoard t;
        t.writeSmallAreas();
        auto board = t.open(systemFileIo(), true);
        UndoStack stack(*board, QString::fromStdString(t.tmp.path() + "/undo"));
        const State before = stateOf(t);
        EXPECT_EQ(stack.undoText(), "&Undo");
        stack.begin(QString::fromLatin1(c.label));
        c.run(*board);
        stack.end();
        const State after = stateOf(t);
        ASSERT_NE(after.files, before.files) << c.label;
        EXPECT_EQ(stack.undoText(), QStringLiteral("&Undo ") + c.label);

        auto undone = stack.undo();
        EXPECT_TRUE(undone.done) << c.label << ": " << undone.message.toStdString();
        EXPECT_EQ(undone.message, QString()) << c.label;
        expectState(stateOf(t), before, std::string(c.label) + ": undo");
        EXPECT_EQ(stack.redoText(), QStringLiteral("&Redo ") + c.label);
        EXPECT_EQ(t.check(1), std::vector<std::string>()) << c.label;
        EXPECT_EQ(t.check(2), std::vector<std::string>()) << c.label;

        auto redone = stack.redo();
        EXPECT_TRUE(redone.done) << c.label << ": " << redone.message.toStdString();
        expectState(stateOf(t), after, std::string(c.label) + ": redo");
        EXPECT_TRUE(stack.undo().done) << c.label;
        expectState(stateOf(t), before, std::string(c.label) + ": second undo");
    }
}

TEST(UndoStack, AStepChangedSinceIsRefusedAndChangesNothing)
{
    TransferTestBoard t;
    t.writeSmallAreas();
    auto board = t.open(systemFileIo(), true);
    UndoStack stack(*board, QString::fromStdString(t.tmp.path() + "/undo"));
    stack.begin(QStringLiteral("Direct Move"));
    kCommands[1].run(*board);
    stack.end();
    // The board counts a download in the destination.
    auto hdr = test::readFile(t.builder.headerPath(2));
    hdr[HeaderRecord::kDownloadsOffset] ^= 1;
    test::writeFile(t.builder.headerPath(2), hdr);
    const State changed = stateOf(t);
    const auto refused = stack.undo();
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.message.toStdString(),
        "Area 2 was changed by another program since the direct move; it cannot be undone. Nothing was changed.");
    EXPECT_TRUE(stateOf(t) == changed);
    EXPECT_TRUE(stack.canUndo()); // still offered: the other program may change it back
}

// An undo whose restore fails part way is no success: it says why, and neither undo nor redo
// is offered any more, as the areas may be half undone.
TEST(UndoStack, AnUndoThatFailsIsReportedAndOfferedNoMore)
{
    TransferTestBoard t;
    t.writeSmallAreas();
    test::FaultyFileIo io(systemFileIo());
    auto board = t.open(io, true);
    UndoStack stack(*board, QString::fromStdString(t.tmp.path() + "/undo"));
    stack.begin(QStringLiteral("Direct Move"));
    kCommands[1].run(*board);
    stack.end();
    io.failFrom(test::FaultyFileIo::Op::Rename, 1, EIO);
    const auto failed = stack.undo();
    EXPECT_FALSE(failed.done);
    EXPECT_EQ(failed.message.toStdString(),
        "Area 1 could not be changed completely (error 5); the change is finished when the area is next loaded.");
    EXPECT_FALSE(stack.canUndo());
    EXPECT_FALSE(stack.canRedo());
}

TEST(UndoStack, StepsBeyondTheLimitGoOldestFirstAndTheMenuSaysSo)
{
    TransferTestBoard t;
    t.writeSmallAreas();
    auto board = t.open();
    const QString dir = QString::fromStdString(t.tmp.path() + "/undo");
    auto keptFiles = [&dir] {
        int n = 0;
        for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
            ++n;
        return n;
    };
    uint64_t one = 0; // what a sort of this area keeps
    int oneFiles = 0; // in files
    {
        UndoStack stack(*board, dir);
        stack.begin(QStringLiteral("Sort"));
        ASSERT_TRUE(board->store().rewrite(1, RewritePlan::permutation({ 3, 2, 1, 0 })));
        stack.end();
        one = stack.bytesKept();
        oneFiles = keptFiles();
        ASSERT_GT(oneFiles, 0);
        ASSERT_GT(one, 4u * HeaderRecord::kSize);
    }
    {
        UndoStack stack(*board, dir, one * 3 / 2);
        for (const char* text : { "Sort", "Sort Again" }) {
            stack.begin(QString::fromLatin1(text));
            ASSERT_TRUE(board->store().rewrite(1, RewritePlan::permutation({ 3, 2, 1, 0 })));
            stack.end();
        }
        EXPECT_EQ(stack.undoText(), "&Undo Sort Again");
        EXPECT_LE(stack.bytesKept(), one * 3 / 2);
        EXPECT_EQ(keptFiles(), oneFiles); // the dropped step's copies are gone from the disk
        EXPECT_TRUE(stack.undo().done);
        EXPECT_FALSE(stack.canUndo());
        EXPECT_EQ(stack.undoText(), "Can't Undo");
        // A step that changed nothing is no step.
        stack.begin(QStringLiteral("Nothing"));
        stack.end();
        EXPECT_EQ(stack.undoText(), "Can't Undo");
        EXPECT_TRUE(QDir(dir).exists());
    }
    EXPECT_FALSE(QDir(dir).exists()); // gone with the window
}

} // namespace
} // namespace qv
