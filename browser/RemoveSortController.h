#pragma once

#include "browser/BrowserServices.h"

#include <QList>
#include <QObject>

class QLabel;
class QWidget;

namespace qv {

class AreaController;
struct CarriedOver;
class CommandTable;
class EntryRemover;
class FileListController;
class FileListModel;
class FileListView;

// The window's side of Remove, Update and the two sorts: it collects the rows and the answers,
// runs the work of editing/ and brings the list up to date (rows removed and changed in place,
// the area reloaded after a sort).
class RemoveSortController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        CommandTable* commands;
        AreaController* areas;
        FileListController* files;
        FileListView* list;
        FileListModel* model;
        QLabel* objectsPanel;
        QLabel* sizePanel;
    };

    RemoveSortController(BrowserServices& services, Parts parts, QObject* parent = nullptr);
    ~RemoveSortController() override;

    void removeSelected();
    void updateSelected();
    // The column-header sort of the whole area (column = the key preselected in the dialog) and
    // the sort of the selected rows.
    void sortAll(int column);
    void sortSelection();

    // Who holds entries of an area (the internal clipboard) follows removals here.
    EntryRemover& remover() const { return *m_remover; }
    // Sorts of at least this many rows show the progress window.
    static constexpr int kProgressRows = 5000;

private:
    void sort(bool selection, int preselectedKey);
    void showCounts();
    // The board's additions during a rewrite: the list shows them and the status bar says so.
    void showCarriedOver(const CarriedOver& carried, const char* operation);
    void reportFailure(const QString& command, int code, const std::string& detail);

    BrowserServices& m_services;
    Parts m_parts;
    EntryRemover* m_remover;
};

} // namespace qv
