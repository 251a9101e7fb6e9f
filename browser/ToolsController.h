#pragma once

#include "browser/BrowserServices.h"
#include "tools/widgets/DuplicatesWindow.h"
#include "tools/widgets/FindWindow.h"

#include <QObject>
#include <QPointer>

class QByteArray;
class QModelIndex;
class QWidget;

namespace qv {

class AreaController;
class AreaUpkeepDialog;
class AreaTreeView;
class CommandTable;
class FileListController;
class FileListModel;
class FileListView;

// Find files, FILES.BBS export and import, file lists, duplicates, pack and repair in the browser window: opens the
// find window beside it (the tree only shows while it is open, and it hides while the window is minimised), goes to a
// found area and entry, and runs the export dialog.
class ToolsController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        CommandTable* commands;
        AreaController* areas;
        FileListController* files;
        AreaTreeView* tree;
        FileListView* list;
        FileListModel* model;
    };

    ToolsController(BrowserServices& services, Parts parts, QObject* parent = nullptr);
    ~ToolsController() override;

    FindWindow* findWindow() const { return m_find; }
    void openFindWindow();
    void exportLists();
    void importList();
    void makeFileList();
    void openDuplicatesWindow();
    // Clean Areas on the chosen areas (the current one first chosen); the list is read again when
    // the clean changed its area.
    void cleanAreas();
    void packDescriptions();
    void checkAndRepair();
    DuplicatesWindow* duplicatesWindow() const { return m_dupes; }
    // Puts the find window's text, mode and column widths into the settings, when it is open.
    void rememberFindWindow();
    // A result of the find window: load the area when another is shown, then select, show and
    // describe the entry (1-based; 0 goes to the area only).
    // When the area changed since the search, the row holding the record found is taken.
    void goTo(int area, int position, const QByteArray& record = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Scrolls the row to where the find window does not cover it, when there is such a place.
    void keepClearOfFindWindow(const QModelIndex& index);
    void runUpkeep(AreaUpkeepDialog& dialog);

    BrowserServices& m_services;
    Parts m_parts;
    QPointer<FindWindow> m_find;
    QPointer<DuplicatesWindow> m_dupes;
    bool m_hiddenByMinimise = false;
};

} // namespace qv
