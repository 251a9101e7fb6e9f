// A file copied on the worker thread: its reports arrive on the caller's thread while that one's
// event loop runs, and whatever stops it (Cancel, a failing call) leaves no file and no
// temporary copy behind, and a transfer leaves both areas as they were.

#include "tests/support/FaultyFileIo.h"
#include "tests/transfer/TransferTestBoard.h"
#include "transfer/EntryTransfer.h"
#include "transfer/FileCopier.h"
#include "transfer/widgets/CopyFileWithProgress.h"
#include "transfer/widgets/CopyProgressWindow.h"

#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowTestTools.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

using test::Entry;
using test::FaultyFileIo;
using test::TransferTestBoard;

// Two pieces and a bit.
const std::string kLarge(size_t(17) << 20, 'x');

std::vector<std::string> temporaries(const std::string& directory)
{
    return test::namesIn(directory, ".qvcopy-");
}

// Holds the worker before the piece-th copy of bytes until this thread lets it go, so that
// everything the test does meanwhile happens while the copy is half way.
struct HeldCopy {
    HeldCopy(FaultyFileIo& io, int piece)
    {
        io.beforeCopyRange([this, piece](int n) {
            if (n == piece)
                (void)gate.tryAcquire(1, 10000); // a copy on this thread must not hang the test
        });
    }
    void release()
    {
        if (!released)
            gate.release();
        released = true;
    }
    QSemaphore gate;
    bool released = false;
};

TEST(CopyOnWorker, ReportsOnTheCallersThreadAndAnythingThatStopsItLeavesNothingBehind)
{
    struct Case {
        const char* label;
        FaultyFileIo::Op failing; // Count: none
        int n;
        bool cancel;
        FileCopier::Status expected;
    };
    const Case cases[] = {
        { "whole copy", FaultyFileIo::Op::Count, 0, false, FileCopier::Status::Copied },
        { "Cancel half way", FaultyFileIo::Op::Count, 0, true, FileCopier::Status::Cancelled },
        { "second piece fails", FaultyFileIo::Op::Write, 2, false, FileCopier::Status::Failed },
        { "flush fails", FaultyFileIo::Op::Sync, 1, false, FileCopier::Status::Failed },
        { "rename fails", FaultyFileIo::Op::Rename, 1, false, FileCopier::Status::Failed },
    };
    for (const Case& c : cases) {
        test::TempDir tmp;
        const std::string source = tmp.path() + "/BIG.ZIP";
        const std::string into = tmp.path() + "/into";
        std::filesystem::create_directories(into);
        test::writeFile(source, kLarge);
        FaultyFileIo io(systemFileIo());
        if (c.failing != FaultyFileIo::Op::Count)
            io.failAt(c.failing, c.n, EIO);
        HeldCopy held(io, 2);

        // A timer of this thread fires while the worker is held; the third tick presses Cancel
        // or lets the copy go on.
        int ticks = 0;
        bool cancel = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 3) {
                if (c.cancel)
                    cancel = true;
                else
                    held.release();
            }
        });
        timer.start(5);
        bool reportsHere = true;
        qint64 reported = 0;
        FileCopier::Callbacks callbacks;
        callbacks.onWorker = true;
        callbacks.progress = [&](qint64 done, qint64) {
            reportsHere = reportsHere && QThread::currentThread() == QCoreApplication::instance()->thread();
            reported = done;
        };
        bool letGo = false;
        callbacks.cancelled = [&] {
            // Let the worker go only once it has been told to stop.
            if (cancel && !letGo) {
                letGo = true;
                QTimer::singleShot(0, &timer, [&] { held.release(); });
            }
            return cancel;
        };
        const FileCopier::Copy copy
            = FileCopier(io).copyInto(QString::fromStdString(source), QString::fromStdString(into), callbacks);
        held.release(); // a copy that failed before its second piece
        EXPECT_EQ(copy.status, c.expected) << c.label;
        EXPECT_GE(ticks, 3) << c.label;
        EXPECT_TRUE(reportsHere) << c.label;
        EXPECT_EQ(temporaries(into), std::vector<std::string>()) << c.label;
        EXPECT_EQ(test::fileExists(into + "/BIG.ZIP"), c.expected == FileCopier::Status::Copied) << c.label;
        if (c.expected == FileCopier::Status::Copied) {
            EXPECT_EQ(io.calls(FaultyFileIo::Op::SyncDirectory), 1) << "the new name made durable";
            EXPECT_EQ(reported, qint64(kLarge.size())) << c.label;
            EXPECT_EQ(test::readFile(into + "/BIG.ZIP"), test::bytesOf(kLarge)) << c.label;
        }
        EXPECT_TRUE(test::fileExists(source)) << c.label;
    }
}

TEST(CopyOnWorker, CancelInTheWindowDuringACopyLeavesBothAreasAsTheyWere)
{
    TransferTestBoard t;
    t.builder.writeEntries(1, { Entry { .name = "SMALL.ZIP" }, Entry { .name = "BIG.ZIP" } });
    t.builder.writeEntries(2, { Entry { .name = "B1.ZIP" } });
    t.putFile(1, "SMALL.ZIP", "small");
    t.putFile(1, "BIG.ZIP", kLarge);
    const auto before1 = t.bytes(1), before2 = t.bytes(2);
    FaultyFileIo io(systemFileIo());
    HeldCopy held(io, 3); // the second piece of BIG.ZIP, after the whole of SMALL.ZIP
    auto board = t.open(io);
    for (bool move : { false, true }) {
        EntryTransfer::Request r;
        r.source = 1;
        r.entries = TransferTestBoard::items(*board, 1, { 0, 1 });
        r.move = move;
        r.area = 2;
        test::ScriptedDialogs dialogs;
        CopyFileWithProgress progress(dialogs, nullptr);
        // Pressed while the second file is half way; the worker goes on once it has heard it.
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            CopyProgressWindow* w = progress.window();
            if (!w || io.calls(FaultyFileIo::Op::Write) < 2)
                return;
            QTest::mouseClick(w->cancelButton(), Qt::LeftButton);
            QTimer::singleShot(100, &press, [&] { held.release(); });
            press.stop();
        });
        press.start(5);
        held.released = false;
        io.resetCounts();
        const EntryTransfer::Outcome outcome = EntryTransfer(*board).run(r, progress.transferCallbacks(r));
        EXPECT_TRUE(outcome.cancelled) << move;
        EXPECT_EQ(t.bytes(1), before1) << move;
        EXPECT_EQ(t.bytes(2), before2) << move;
        EXPECT_EQ(temporaries(t.dir(2)), std::vector<std::string>()) << move;
        EXPECT_FALSE(test::fileExists(t.file(2, "SMALL.ZIP"))) << move << ": the first copy is undone";
        EXPECT_FALSE(test::fileExists(t.file(2, "BIG.ZIP"))) << move;
        EXPECT_TRUE(test::fileExists(t.file(1, "BIG.ZIP"))) << move;
        EXPECT_EQ(t.check(1), std::vector<std::string>()) << move;
        EXPECT_EQ(t.check(2), std::vector<std::string>()) << move;
        EXPECT_TRUE(dialogs.calls.empty()) << move;
    }
}

TEST(CopyOnWorker, AFailedCopyIsShownWithItsDestination)
{
    TransferTestBoard t;
    t.builder.writeEntries(1, { Entry { .name = "SMALL.ZIP" } });
    t.putFile(1, "SMALL.ZIP", "small");
    FaultyFileIo io(systemFileIo());
    auto board = t.open(io);
    EntryTransfer::Request r;
    r.source = 1;
    r.entries = TransferTestBoard::items(*board, 1, { 0 });
    r.area = 2;
    test::ScriptedDialogs dialogs;
    CopyFileWithProgress progress(dialogs, nullptr);
    io.failAt(FaultyFileIo::Op::Write, 1, EIO);
    (void)EntryTransfer(*board).run(r, progress.transferCallbacks(r));
    ASSERT_EQ(dialogs.calls.size(), 1);
    EXPECT_EQ(dialogs.calls[0].icon, Dialogs::Icon::Critical);
    EXPECT_EQ(dialogs.messages(),
        QStringList({ "Quorvex|Error while copying file! " + QString::fromStdString(t.file(2, "SMALL.ZIP")) }));
    EXPECT_EQ(t.check(2), std::vector<std::string>());
}

} // namespace
} // namespace qv
