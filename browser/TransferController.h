#pragma once

#include "browser/BrowserServices.h"
#include "transfer/EntryTransfer.h"
#include "transfer/widgets/ClipboardViewer.h"

#include <QObject>
#include <QPointer>

class QLabel;
class QWidget;

namespace qv {

class AreaController;
class Clipboard;
class CommandTable;
class FileListController;
class FileListModel;
class FileListView;
class MainWindow;

// The window's side of the internal clipboard and of Direct Copy and Direct Move: it takes the
// selected rows, asks where they go, runs the transfer of transfer/ and brings the list up to
// date in place. Cut, Copy and Paste act on text while a text box has the focus.
class TransferController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        MainWindow* window;
        CommandTable* commands;
        AreaController* areas;
        FileListController* files;
        FileListView* list;
        FileListModel* model;
        QLabel* objectsPanel;
        QLabel* sizePanel;
    };

    TransferController(BrowserServices& services, Parts parts, QObject* parent = nullptr);
    ~TransferController() override;

    Clipboard& clipboard() const { return *m_clipboard; }
    ClipboardViewer* viewer() const { return m_viewer; }

    void take(bool cut);
    void paste(bool behindAll);
    // toArea 0: Direct Copy or Move asks where to; else the entries go to the end of that area.
    void direct(bool move, int toArea = 0);
    void showViewer();

private:
    // Cut, Copy and Paste of the focused text box; false when the focus is not in one.
    bool textCommand(const QString& command);
    // With the progress window, the busy pointer and every other change held off.
    EntryTransfer::Outcome run(const EntryTransfer::Request& request);
    void showCounts();

    BrowserServices& m_services;
    Parts m_parts;
    Clipboard* m_clipboard;
    QPointer<ClipboardViewer> m_viewer;
};

} // namespace qv
