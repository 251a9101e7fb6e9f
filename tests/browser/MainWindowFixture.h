#pragma once

// What the window tests share: a real window over scripted dialogs and desktop, and the ways a
// user picks rows and commands in it.

#include "board/Board.h"
#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/AreaSelectors.h"
#include "browser/AreaTreeView.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "browser/TransferController.h"
#include "settings/Settings.h"
#include "storage/AreaCheck.h"
#include "tests/editing/DialogProbe.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace qv::test {

// Polls at every turn of events while `run` runs: `act` gets each visible modal window (of that
// object name, when one is given) until it returns true; false when it never did.
inline bool pollModal(const std::function<bool(QWidget*)>& act, const std::function<void()>& run,
    const char* name = nullptr, int intervalMs = 0)
{
    bool done = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (done || !w || !w->isVisible() || (name && w->objectName() != QLatin1String(name)))
            return;
        poll.stop(); // `act` may run a modal window of its own
        done = act(w);
        if (!done)
            poll.start();
    });
    poll.start(intervalMs);
    run();
    return done;
}

// Runs `act` on the modal window that `open` brings up, which must be a T.
template <class T = QWidget, class Act> void inModal(QAction* open, const Act& act)
{
    EXPECT_TRUE(pollModal(
        [&](QWidget* w) {
            auto* d = qobject_cast<T*>(w);
            EXPECT_NE(d, nullptr) << w->metaObject()->className();
            if (d)
                act(d);
            return true;
        },
        [open] { open->trigger(); }, nullptr, 10))
        << "no window came up";
}

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { window.reset(); }

    // Shows, activates and starts a window on `board`; false when the start ended the run.
    bool startWindow(Board& board, std::function<bool(const Settings&, bool)> writeSettings = {})
    {
        BrowserServices services { settings, board, dialogs, desktop, std::move(writeSettings) };
        window = std::make_unique<MainWindow>(services);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        const bool started = window->start();
        QCoreApplication::processEvents();
        return started;
    }

    QAction* act(const char* id) const { return window->commands().action(id); }
    QString cell(int row, int column) const { return window->model()->index(row, column).data().toString(); }
    QStringList names() const
    {
        QStringList out;
        for (int r = 0; r < window->model()->rowCount(); ++r)
            out << cell(r, 0);
        return out;
    }
    QString objects() const { return window->objectsPanel()->text(); }
    // "title|text" of every message and question asked.
    QStringList messages() const
    {
        QStringList out;
        for (const auto& c : dialogs.calls)
            out << c.title + "|" + c.text;
        return out;
    }
    // Selects the rows with `current` (the first row by default) as the current one.
    void select(const std::vector<int>& rows, int current = -1)
    {
        QItemSelectionModel* s = window->fileList()->selectionModel();
        s->clearSelection();
        for (int r : rows)
            s->select(window->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        s->setCurrentIndex(
            window->model()->index(current < 0 ? rows.front() : current, 0), QItemSelectionModel::NoUpdate);
        QCoreApplication::processEvents();
    }
    void clickRow(int row, bool twice = false)
    {
        QTreeView* view = window->fileList()->detailsView();
        const QPoint at = view->visualRect(window->model()->index(row, 0)).center();
        // A real double click starts with a click; QTest's double click alone is only the second half.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    Settings settings;
    ScriptedDialogs dialogs;
    ScriptedDesktop desktop;
    std::unique_ptr<MainWindow> window;
};

// A window on a test board `T` (tests/editing/MappedBoard.h) named "Board", on its area 1; `board`
// is the window's opening of it. Every planned answer must be asked for.
template <class T> class MappedWindow : public WindowTest {
protected:
    void TearDown() override
    {
        WindowTest::TearDown();
        dialogs.verifyAllAnswersUsed();
    }
    void startOn(FileIo& io = systemFileIo())
    {
        settings.boardDirectory = t.builder.boardDir();
        settings.drives['C'] = t.tmp.path();
        settings.startupArea = 1;
        board = t.open(io);
        ASSERT_TRUE(startWindow(*board));
    }

    T t;
    std::unique_ptr<Board> board;
};

// A window on a board built byte by byte: the board directory is <root>/ra, the file base
// <root>/ra/fdb, stored in CONFIG.RA as C:\RA\FDB with C: mapped to <root>; each area's files lie
// in <root>/files/area<record>, stored as that host path unless the record says otherwise.
class MainWindowFixture : public WindowTest {
protected:
    MainWindowFixture()
        : board(tmp.path() + "/ra", tmp.path() + "/ra/fdb")
    {
        settings.fileBasePath = "C:\\RA\\FDB";
    }

    void TearDown() override
    {
        WindowTest::TearDown();
        opened.reset();
    }

    std::string root() const { return tmp.path(); }
    std::string areaDir(int record) const { return root() + "/files/area" + std::to_string(record); }

    // FILES.RA; a record without a path gets its own directory under files/.
    void writeAreas(std::vector<AreaRecordSpec> records)
    {
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].path.empty())
                records[i].path = areaDir(int(i) + 1);
            std::filesystem::create_directories(areaDir(int(i) + 1));
        }
        board.writeAreas(records);
    }

    // The window on the board as it is now; the settings it writes at the end are kept.
    bool open()
    {
        settings.boardDirectory = board.boardDir();
        settings.drives['C'] = root();
        opened = std::make_unique<Board>(Board::optionsOf(settings));
        return startWindow(*opened, [this](const Settings& s, bool normal) {
            written.push_back(s);
            writtenNormal = normal;
            return true;
        });
    }

    // Closes the window: the settings it wrote then, once.
    Settings closeAndRead()
    {
        window->close();
        EXPECT_EQ(written.size(), 1u);
        return written.empty() ? Settings {} : written.back();
    }

    TempDir tmp;
    BoardBuilder board;
    std::unique_ptr<Board> opened;
    std::vector<Settings> written;
    bool writtenNormal = false;
};

} // namespace qv::test
