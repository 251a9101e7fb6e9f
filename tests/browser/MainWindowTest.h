#pragma once

#include "tests/browser/MainWindowFixture.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QToolButton>

namespace qv::test {

// Board used by most tests: area 12 "Utilities" (group 1), area 3 "Games" (group 2, empty),
// area 5 "Orphans" (group 9, which does not exist) and area 4 "Games" again.
class MainWindowTest : public qv::test::MainWindowFixture {
protected:
    void SetUp() override
    {
        board.writeConfig("Kestrel BBS", "C:\\RA\\FDB");
        board.writeGroups({ { "Utility group" }, { "Game group" } });
        writeAreas({ { "Utilities", "", 1 }, { "Games", "", 2 }, { "Orphans", "", 9 }, { "Games", "", 2 } });
        board.writeFilesRdx({ 0, 0, 2, 4, 3, 0, 0, 0, 0, 0, 0, 1 });
        board.writeEntries(12,
            {
                { .name = "FOO.ZIP", .size = 500000, .uploader = "Ann Lee", .description = "Foo archive" },
                { .name = "MYLONG~1.TXT",
                    .size = 1048576,
                    .description = "Read me first",
                    .longName = "My Long Name.txt" },
                { .description = "-- a comment --" },
                { .name = "PICTURE.JPG", .size = 100, .uploader = "Bo", .description = std::nullopt },
            });
        board.writeEntries(3, {});
        board.writeEntries(5, { { .name = "ORPHAN.EXE", .size = 42, .description = "orphaned" } });
        board.writeEntries(4, { { .name = "A.TXT", .size = 1 }, { .name = "B.TXT", .size = 2 } });
        settings.startupArea = 12;
        settings.archivers[0].extension = "ZIP";
    }

    QString title() const { return window->windowTitle(); }
    QString megabytes() const { return window->sizePanel()->text(); }
    QComboBox* combo(const char* name) const { return window->findChild<QComboBox*>(name); }
    QStringList items(const char* name) const { return itemTexts(combo(name)); }

    void clickNode(const QString& key)
    {
        AreaTreeView* tree = window->tree();
        QTreeWidgetItem* item = tree->itemOfKey(key);
        ASSERT_NE(item, nullptr) << key.toStdString();
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    }

    void choose(QComboBox* box, const QString& text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->showPopup();
        QAbstractItemView* view = box->view();
        QTest::mouseClick(
            view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(index, 0)).center());
        QCoreApplication::processEvents();
    }
};

} // namespace qv::test
