#pragma once

#include "browser/BrowserServices.h"
#include "browser/CommandState.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QLabel;
class QProgressBar;
class QSplitter;
class QToolBar;
class QToolButton;

namespace qv {

class AddFilesController;
class AlphabeticAreaSelector;
class AreaController;
class AreaTreeView;
class CommandTable;
class DescriptionPane;
class FileListController;
class FileListModel;
class FileListView;
class ListFollower;
class HelpWindow;
class NumericAreaSelector;
class RemoveSortController;
class ToolsController;
class TransferController;
class UndoController;

// The status bar's report of a finished change, when window is the browser window.
void reportDone(QWidget* window, const QString& text);

// Form1: the browser window. A frame only: it builds the regions and the commands and routes
// each command to the controller that does its work.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(BrowserServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Chooses the start-up area, loads it and lays out the panes. False when a fatal error
    // ended the run (the user has been told; nothing is written at shutdown then).
    bool start();
    bool endedFatally() const { return m_endedFatally; }
    // Applies what the first activation applies, when the window system has not activated
    // the window yet (a screenshot without a window manager).
    void ensureFirstActivation();

    CommandTable& commands() const { return *m_commands; }
    AreaController& areas() const { return *m_areas; }
    FileListController& files() const { return *m_files; }
    RemoveSortController& removeSort() const { return *m_removeSort; }
    ToolsController& tools() const { return *m_tools; }
    AddFilesController& addFiles() const { return *m_addFiles; }
    TransferController& transfers() const { return *m_transfers; }
    UndoController& undo() const;
    ListFollower& follower() const { return *m_follower; }
    AreaTreeView* tree() const { return m_tree; }
    FileListView* fileList() const { return m_list; }
    FileListModel* model() const { return m_model; }
    DescriptionPane* descriptionPane() const { return m_desc; }
    QWidget* areaPanel() const { return m_panel; }
    QSplitter* treeSplitter() const { return m_treeSplitter; }
    QSplitter* descriptionSplitter() const { return m_descSplitter; }
    QLabel* objectsPanel() const { return m_objectsPanel; }
    QLabel* sizePanel() const { return m_sizePanel; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* messagePanel() const { return m_messagePanel; }
    QWidget* helpWindow() const;
    // What the last change did, in the status bar beside the counts until the next one.
    void say(const QString& text);

    // Enables every command from the window's present state (the one place that does).
    void refreshCommands();
    WindowState currentState() const;
    // What the internal clipboard and a running transfer contribute to the state.
    void setClipboardQuery(std::function<bool()> holdsEntries) { m_clipboardHolds = std::move(holdsEntries); }
    void setTransferRunning(bool running);

    bool areaPanelShown() const;
    void setAreaPanelShown(bool shown);
    // Widths and heights in twips, as the settings keep them.
    int areaPanelWidthTwips() const;
    int descriptionHeightTwips() const;
    void setDescriptionHeightTwips(int twips);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildRegions();
    void routeCommands();
    void applyStoredGeometry();
    // What the first window needs for the toolbar and every column of the list beside the panel.
    QSize firstWindowSize() const;
    void onActivated();
    void setDateColumnWidths();
    void fitNameAndSize();
    void endFatally();
    void storeWindowValues(bool windowNormal);

    BrowserServices m_services;
    CommandTable* m_commands = nullptr;
    AreaController* m_areas = nullptr;
    FileListController* m_files = nullptr;
    RemoveSortController* m_removeSort = nullptr;
    ToolsController* m_tools = nullptr;
    AddFilesController* m_addFiles = nullptr;
    TransferController* m_transfers = nullptr;
    QPointer<UndoController> m_undo; // a child that may go before the signals that ask it
    ListFollower* m_follower = nullptr;

    QToolBar* m_toolBar = nullptr;
    QToolBar* m_areaBand = nullptr;
    AlphabeticAreaSelector* m_byName = nullptr;
    NumericAreaSelector* m_byNumber = nullptr;
    QWidget* m_panel = nullptr;
    QToolButton* m_panelClose = nullptr;
    AreaTreeView* m_tree = nullptr;
    QSplitter* m_treeSplitter = nullptr;
    QSplitter* m_descSplitter = nullptr;
    FileListView* m_list = nullptr;
    FileListModel* m_model = nullptr;
    DescriptionPane* m_desc = nullptr;
    QLabel* m_objectsPanel = nullptr;
    QLabel* m_sizePanel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_messagePanel = nullptr;
    HelpWindow* m_help = nullptr;

    int m_panelWidthPx = 0; // remembered while the panel is hidden
    QRect m_appliedGeometry; // frame position and client size from the settings, in pixels
    bool m_activatedOnce = false;
    bool m_endedFatally = false;
    bool m_closing = false;
    bool m_descriptionFocus = false;
    bool m_transferRunning = false;
    bool m_closeWhenIdle = false; // closed while a file was copied: closes once it ends
    std::function<bool()> m_clipboardHolds;
};

} // namespace qv
