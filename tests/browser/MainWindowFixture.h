#pragma once

#include "board/Board.h"
#include "browser/CommandTable.h"
#include "browser/MainWindow.h"
#include "settings/Settings.h"
#include "tests/support/BoardBuilder.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace qv::test {

// A real window on a board built byte by byte: the board directory is <root>/ra, the file base
// <root>/ra/fdb, stored in CONFIG.RA as C:\RA\FDB with C: mapped to <root>; each area's files lie
// in <root>/files/area<record>, stored as that host path unless the record says otherwise.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture()
        : board(tmp.path() + "/ra", tmp.path() + "/ra/fdb")
    {
        settings.fileBasePath = "C:\\RA\\FDB";
    }

    void TearDown() override
    {
        window.reset();
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

    bool open()
    {
        settings.boardDirectory = board.boardDir();
        settings.drives['C'] = root();
        opened = std::make_unique<Board>(Board::optionsOf(settings));
        BrowserServices services { settings, *opened, dialogs, desktop, [this](const Settings& s, bool normal) {
                                      written.push_back(s);
                                      writtenNormal = normal;
                                      return true;
                                  } };
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
    QStringList messages() const
    {
        QStringList out;
        for (const auto& c : dialogs.calls)
            out << c.title + "|" + c.text;
        return out;
    }

    TempDir tmp;
    BoardBuilder board;
    Settings settings;
    ScriptedDialogs dialogs;
    ScriptedDesktop desktop;
    std::unique_ptr<Board> opened;
    std::unique_ptr<MainWindow> window;
    std::vector<Settings> written;
    bool writtenNormal = false;
};

} // namespace qv::test
