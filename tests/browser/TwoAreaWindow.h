#pragma once

#include "browser/CommandTable.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "settings/Settings.h"
#include "tests/support/FaultyFileIo.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/transfer/TransferTestBoard.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace qv::test {

// A real window on Alpha: F1..F5 with their files and the comment "Editors and viewers"; Beta:
// B1, B2. `other` is a second opening of the board, as another program has it.
class TwoAreaWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        t.builder.writeConfig("Board", "C:\\FDB");
        t.builder.writeGroups({ { "General" } });
        t.builder.writeFilesRdx({ 1, 2, 3 });
        t.builder.writeEntries(1,
            { Entry { .name = "F1.ZIP", .size = 1 }, Entry { .name = "F2.ZIP", .size = 2 },
                Entry { .name = "F3.ZIP", .size = 3 }, Entry { .name = "F4.ZIP", .size = 4 },
                Entry { .name = "F5.ZIP", .size = 5 }, Entry { .name = "", .description = "Editors and viewers" } });
        t.builder.writeEntries(2, { Entry { .name = "B1.ZIP" }, Entry { .name = "B2.ZIP" } });
        for (const char* f : { "F1.ZIP", "F2.ZIP", "F3.ZIP", "F4.ZIP", "F5.ZIP" })
            t.putFile(1, f, f);
        settings.boardDirectory = t.builder.boardDir();
        settings.drives['C'] = t.tmp.path();
        settings.startupArea = 1;
        board = t.open(io);
        other = t.open();
        BrowserServices services { settings, *board, dialogs, desktop, {} };
        window = std::make_unique<MainWindow>(services);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->start());
        window->fileList()->detailsView()->setFocus();
    }
    void TearDown() override
    {
        window.reset();
        dialogs.verifyAllAnswersUsed();
    }

    QAction* act(const char* id) const { return window->commands().action(id); }
    void select(const std::vector<int>& rows, int current)
    {
        QItemSelectionModel* s = window->fileList()->selectionModel();
        s->clearSelection();
        for (int r : rows)
            s->select(window->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        s->setCurrentIndex(window->model()->index(current, 0), QItemSelectionModel::NoUpdate);
    }
    QStringList names() const
    {
        QStringList out;
        for (const LoadedRow& r : window->model()->rows())
            out << QString::fromStdString(r.name);
        return out;
    }
    QString objects() const { return window->objectsPanel()->text(); }

    TransferTestBoard t;
    Settings settings;
    ScriptedDialogs dialogs;
    ScriptedDesktop desktop;
    FaultyFileIo io { systemFileIo() }; // fails nothing; a test may hold a copy half way
    std::unique_ptr<Board> board, other;
    std::unique_ptr<MainWindow> window;
};

} // namespace qv::test
