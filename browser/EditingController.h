#pragma once

#include "browser/BrowserServices.h"
#include "editing/widgets/PropertiesDialog.h"

#include <QObject>

class QWidget;

namespace qv {

class AreaController;
class CommandTable;
class DescriptionPane;
class FileListModel;
class FileListView;

// Entry editing in the window: the Properties dialog (props, and eddesc on its Description
// page), the Global Description dialog and inserting comment lines. The work is EntryProperties
// and Descriptions; this routes the commands and puts their results into the list and the pane.
class EditingController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        CommandTable* commands;
        AreaController* areas;
        FileListView* list;
        FileListModel* model;
        DescriptionPane* description;
    };

    EditingController(BrowserServices& services, Parts parts, QObject* parent = nullptr);

    // Opens the Properties dialog of the current entry on a page (window-modal, not blocking).
    void showProperties(PropertiesDialog::Page page);
    void showGlobalDescription();
    void insertComment();

private:
    // The row the Properties dialog is for: the current one, else the first selected; -1 for none.
    int entryRow() const;

    BrowserServices& m_services;
    Parts m_parts;
};

} // namespace qv
