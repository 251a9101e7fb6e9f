#include "browser/MainWindow.h"

#include "board/Messages.h"
#include "browser/AddFilesController.h"
#include "browser/AreaController.h"
#include "browser/AreaSelectors.h"
#include "browser/AreaTreeView.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/EditingController.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/ListFollower.h"
#include "browser/HelpWindow.h"
#include "browser/ListRoomKeeper.h"
#include "platform/widgets/Desktop.h"
#include "browser/RemoveSortController.h"
#include "browser/ToolsController.h"
#include "browser/TransferController.h"
#include "browser/UndoController.h"
#include "board/UndoStack.h"
#include "editing/EntryRemover.h"
#include "transfer/Clipboard.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QCloseEvent>
#include <QDate>
#include <QLocale>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

namespace qv {

namespace {
// Limits of the two splitters, in twips.
constexpr int kPanelMinTwips = 500;
constexpr int kListMinWidthTwips = 1000;
constexpr int kListMinHeightTwips = 500;
constexpr int kDescMinTwips = 540;
}

MainWindow::MainWindow(BrowserServices services, QWidget* parent)
    : QMainWindow(parent)
    , m_services(std::move(services))
{
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("Quorvex"));
    m_commands = new CommandTable(this);
    buildRegions();
    m_commands->scopeShortcuts(m_list, m_tree);

    m_tree->populate(m_services.board.config(), m_services.board.codePage());
    m_byNumber->populate(m_services.board);
    m_byName->populate(m_services.board, m_byNumber);
    m_model->setCodePage(&m_services.board.codePage());
    QStringList archivers;
    for (const ArchiverSlot& slot : m_services.settings.archivers)
        archivers.append(QString::fromStdString(slot.extension));
    m_model->setArchiverExtensions(archivers);

    m_areas = new AreaController(m_services,
        { this, m_commands, m_tree, m_byName, m_byNumber, m_model, m_desc, m_objectsPanel, m_sizePanel, m_progress },
        this);
    m_files = new FileListController(m_services, { this, m_commands, m_areas, m_list, m_model, m_desc }, this);
    m_removeSort = new RemoveSortController(
        m_services, { this, m_commands, m_areas, m_files, m_list, m_model, m_objectsPanel, m_sizePanel }, this);
    new EditingController(m_services, { this, m_commands, m_areas, m_list, m_model, m_desc }, this);
    m_tools = new ToolsController(m_services, { this, m_commands, m_areas, m_files, m_tree, m_list, m_model }, this);
    m_transfers = new TransferController(
        m_services, { this, m_commands, m_areas, m_files, m_list, m_model, m_objectsPanel, m_sizePanel }, this);
    // Removed entries leave the clipboard.
    connect(
        &m_removeSort->remover(), &EntryRemover::entriesRemoved, &m_transfers->clipboard(), &Clipboard::entriesRemoved);
    m_undo = new UndoController(m_services, { this, m_commands, m_areas, m_list }, this);
    connect(m_undo, &UndoController::stepsChanged, this, &MainWindow::refreshCommands);
    // A click on a column header sorts the area (after a question); the step is named before.
    connect(m_list->detailsView()->header(), &QHeaderView::sectionPressed, this,
        [this] { m_undo->stack().setPendingText(QStringLiteral("Sort")); });
    m_follower = new ListFollower(m_services, { this, m_commands, m_areas, m_files, m_list, m_model }, this);
    m_areas->setReadAgain([this] { m_follower->readAgain(); });
    connect(m_areas, &AreaController::fatalError, this, &MainWindow::endFatally);
    routeCommands();
    m_addFiles = new AddFilesController(m_services, this);
    connect(m_areas, &AreaController::areaLoaded, this, &MainWindow::refreshCommands);
    connect(m_areas, &AreaController::areaLoaded, m_tree, &AreaTreeView::markLoaded);
    // Rows dropped onto another area: the transfer of Direct Copy and Move, to that area's end.
    connect(m_tree, &AreaTreeView::entriesDropped, this, [this](int area, bool move) {
        if (area != m_areas->currentArea() && !m_transferRunning && m_services.board.areaExists(area))
            m_undo->asStep(m_undo->stepText(move ? QStringLiteral("dmove") : QStringLiteral("dcopy")),
                [&] { m_transfers->direct(move, area); });
    });
    connect(m_list, &FileListView::filesDropped, this, [this](const QStringList& paths) {
        if (!m_transferRunning)
            m_undo->asStep(QStringLiteral("Add Files"), [&] { m_addFiles->addDroppedFiles(paths); });
    });
    connect(m_tree, &AreaTreeView::clickIgnored, this, [this] {
        say(QStringLiteral("The tree does not change areas while Search File is open: double-click a result "
                           "there, or close it."));
    });
    connect(m_files, &FileListController::commandStateChanged, this, &MainWindow::refreshCommands);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, &MainWindow::refreshCommands);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::refreshCommands);
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(m_model, signal, this, &MainWindow::refreshCommands);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MainWindow::refreshCommands);
    // While the pane has the focus, Ctrl+X and Ctrl+C belong to its text.
    connect(m_desc, &DescriptionPane::focusEntered, this, [this] {
        m_descriptionFocus = true;
        refreshCommands();
    });
    connect(m_desc, &DescriptionPane::focusLeft, this, [this] {
        m_descriptionFocus = false;
        refreshCommands();
    });
    refreshCommands();
    m_files->applyDescriptionFont();
    for (int column = 0; column < FileListModel::ColumnCount; ++column)
        m_list->setColumnWidth(
            column, FileListModel::columnWidthTwips(column, m_list->font()) * logicalDpiX() / kTwipsPerInch);
    // 294 twips held two digits of a DOS-era face; a download count of four digits must not
    // end in an ellipsis with today's fonts.
    const int countWidth = m_list->detailsView()->fontMetrics().horizontalAdvance(QStringLiteral("99999")) + 12;
    if (m_list->detailsView()->columnWidth(FileListModel::Downloads) < countWidth)
        m_list->setColumnWidth(FileListModel::Downloads, countWidth);
    setDateColumnWidths();
    // The widths the sysop left last time.
    const std::vector<int>& widths = m_services.settings.listColumnWidths;
    if (int(widths.size()) == FileListModel::ColumnCount)
        for (int c = 0; c < FileListModel::ColumnCount; ++c)
            m_list->setColumnWidth(c, twipsToPixels(widths[size_t(c)], logicalDpiX()));
    // Sized after the columns: a first window is made wide enough for them.
    applyStoredGeometry();
    connect(m_areas, &AreaController::areaLoaded, this, &MainWindow::fitNameAndSize);
}

void MainWindow::fitNameAndSize()
{
    // Names and sizes of the area as loaded; the columns grow to them (a long name up to half
    // the list), never below what they had.
    QTreeView* details = m_list->detailsView();
    const int half = std::max(details->viewport()->width() / 2, details->columnWidth(FileListModel::Name));
    for (int column : { FileListModel::Name, FileListModel::Size }) {
        // QTreeView keeps its override protected; the base class offers it.
        const int needed = std::max(static_cast<QAbstractItemView*>(details)->sizeHintForColumn(column),
            details->header()->sectionSizeHint(column));
        const int wanted = column == FileListModel::Name ? std::min(needed, half) : needed;
        if (wanted > details->columnWidth(column))
            m_list->setColumnWidth(column, wanted);
    }
}

MainWindow::~MainWindow()
{
    // The pane loses the focus while the window goes; nothing is left to enable by then.
    m_desc->disconnect(this);
}

void MainWindow::buildRegions()
{
    m_commands->buildMenuBar(menuBar());

    // Band bar: the toolbar band and the "Area " band; Qt's tool bar area lets the user move
    // and wrap them.
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName("Toolbar1");
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(16, 16));
    m_commands->buildToolBar(m_toolBar);

    // The narrow default window cannot hold both bands on one row; the user may join them.
    addToolBarBreak();
    m_areaBand = addToolBar(QStringLiteral("Area "));
    m_areaBand->setObjectName("picArea");
    auto* band = new QWidget(m_areaBand);
    auto* bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(4, 0, 4, 0);
    auto* bandText = new QLabel(QStringLiteral("Area "), band);
    bandText->setObjectName("picAreaText");
    m_byName = new AlphabeticAreaSelector(band);
    m_byNumber = new NumericAreaSelector(band);
    for (QWidget* combo : { static_cast<QWidget*>(m_byName), static_cast<QWidget*>(m_byNumber) })
        combo->setMinimumWidth(260);
    bandLayout->addWidget(bandText);
    bandLayout->addWidget(m_byName);
    bandLayout->addWidget(m_byNumber);
    m_byNumber->hide();
    m_areaBand->addWidget(band);

    // Area panel: caption bar with its close button above the tree.
    m_panel = new QWidget(this);
    m_panel->setObjectName("TVF");
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    auto* caption = new QWidget(m_panel);
    caption->setObjectName("labAllFoldersBar");
    caption->setAutoFillBackground(true);
    caption->setBackgroundRole(QPalette::Mid);
    auto* captionLayout = new QHBoxLayout(caption);
    captionLayout->setContentsMargins(4, 1, 1, 1);
    auto* captionText = new QLabel(QStringLiteral("All Folders"), caption);
    captionText->setObjectName("labAllFolders");
    m_panelClose = new QToolButton(caption);
    m_panelClose->setObjectName("tlbClose");
    m_panelClose->setToolTip(QStringLiteral("Close"));
    m_panelClose->setAutoRaise(true);
    m_panelClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_panelClose->setIconSize(QSize(10, 10));
    captionLayout->addWidget(captionText, 1);
    captionLayout->addWidget(m_panelClose);
    m_tree = new AreaTreeView(m_panel);
    panelLayout->addWidget(caption);
    panelLayout->addWidget(m_tree, 1);

    // Right side: the list over the description pane.
    m_model = new FileListModel(this);
    m_list = new FileListView(this);
    m_list->setModel(m_model);
    m_desc = new DescriptionPane(this);
    m_descSplitter = new QSplitter(Qt::Vertical, this);
    m_descSplitter->setObjectName("Picture2");
    m_descSplitter->addWidget(m_list);
    m_descSplitter->addWidget(m_desc);
    m_descSplitter->setStretchFactor(0, 1);
    m_descSplitter->setStretchFactor(1, 0);
    m_descSplitter->setChildrenCollapsible(false);

    m_treeSplitter = new QSplitter(Qt::Horizontal, this);
    m_treeSplitter->setObjectName("Picture3");
    m_treeSplitter->addWidget(m_panel);
    m_treeSplitter->addWidget(m_descSplitter);
    m_treeSplitter->setStretchFactor(0, 0);
    m_treeSplitter->setStretchFactor(1, 1);
    m_treeSplitter->setChildrenCollapsible(false);
    setCentralWidget(m_treeSplitter);
    new ListRoomKeeper(m_treeSplitter, m_descSplitter, m_list, this);

    // The splitter limits are minimum sizes of the panes next to each bar, so a drag stops there.
    const int dpi = logicalDpiX();
    auto px = [dpi](int twips) { return twips * dpi / kTwipsPerInch; };
    m_panel->setMinimumWidth(px(kPanelMinTwips));
    m_list->setMinimumSize(px(kListMinWidthTwips), px(kListMinHeightTwips));
    m_desc->setMinimumSize(px(kListMinWidthTwips), px(kDescMinTwips));

    QStatusBar* status = statusBar();
    status->setObjectName("StatusBar1");
    m_objectsPanel = new QLabel(status);
    m_objectsPanel->setObjectName("StatusPanel1");
    m_objectsPanel->setMinimumWidth(120);
    m_sizePanel = new QLabel(status);
    m_sizePanel->setObjectName("StatusPanel2");
    m_sizePanel->setMinimumWidth(120);
    m_progress = new QProgressBar(status);
    m_progress->setObjectName("ProgressBar1");
    m_progress->setTextVisible(false);
    m_progress->hide();
    // Not QStatusBar::showMessage: that would hide the counts while it shows.
    m_messagePanel = new QLabel(status);
    m_messagePanel->setObjectName("StatusMessage");
    status->addWidget(m_objectsPanel);
    status->addWidget(m_sizePanel);
    status->addWidget(m_progress, 1);
    status->addWidget(m_messagePanel, 1);
}

void MainWindow::say(const QString& text)
{
    m_messagePanel->setText(text);
}

QWidget* MainWindow::helpWindow() const
{
    return m_help;
}

UndoController& MainWindow::undo() const
{
    return *m_undo;
}

void reportDone(QWidget* window, const QString& text)
{
    if (auto* main = qobject_cast<MainWindow*>(window))
        main->say(text);
}

void MainWindow::routeCommands()
{
    CommandTable* c = m_commands;
    c->route("exit", this, [this] { close(); });
    c->route("selall", this, [this] { m_list->currentView()->selectAll(); });
    connect(c->action("AExp"), &QAction::triggered, this, &MainWindow::setAreaPanelShown);
    connect(m_panelClose, &QToolButton::clicked, this, [this] { setAreaPanelShown(false); });
    c->route("about", this, [this] {
        m_services.dialogs.message(this, QStringLiteral("About QRVX"),
            QStringLiteral("Quorvex ") + QString::fromStdString(m_services.settings.version),
            Dialogs::Icon::Information);
    });
    c->route("contents", this, [this] {
        const QString manual = HelpWindow::manualPath();
        if (manual.isEmpty()) {
            const messages::Message m
                = messages::contentsFailed(QDir(QCoreApplication::applicationDirPath())
                                               .absoluteFilePath(QStringLiteral("../share/doc/quorvex/index.html")),
                    QStringLiteral("the manual is not installed"));
            m_services.dialogs.message(this, m.title, m.text, Dialogs::Icon::Warning);
            return;
        }
        if (!m_help)
            m_help = new HelpWindow(this);
        m_help->showManual(manual);
    });
}

WindowState MainWindow::currentState() const
{
    WindowState s;
    const auto& rows = m_model->rows();
    s.areaLoaded = m_areas->currentArea() != 0;
    s.rows = int(rows.size());
    s.selectedRows = int(m_list->selectedRows().size());
    s.currentRow = m_list->currentRow();
    s.currentIsComment = s.currentRow >= 0 && s.currentRow < s.rows && rows[size_t(s.currentRow)].comment;
    s.descriptionHasFocus = m_descriptionFocus;
    s.clipboardHolds = m_clipboardHolds && m_clipboardHolds();
    s.transferRunning = m_transferRunning;
    s.canUndo = m_undo && m_undo->stack().canUndo();
    s.canRedo = m_undo && m_undo->stack().canRedo();
    return s;
}

void MainWindow::refreshCommands()
{
    m_commands->applyState(currentState());
}

void MainWindow::setTransferRunning(bool running)
{
    m_transferRunning = running;
    refreshCommands();
    if (!running && m_closeWhenIdle)
        QTimer::singleShot(0, this, &QWidget::close);
}

bool MainWindow::areaPanelShown() const
{
    return !m_panel->isHidden();
}

void MainWindow::setAreaPanelShown(bool shown)
{
    if (shown == areaPanelShown()) {
        m_commands->action("AExp")->setChecked(shown);
        return;
    }
    if (!shown) {
        m_panelWidthPx = m_panel->width();
        m_panel->hide();
    } else {
        m_panel->show();
        const int total = m_treeSplitter->width();
        m_treeSplitter->setSizes({ m_panelWidthPx, std::max(0, total - m_panelWidthPx) });
    }
    m_commands->action("AExp")->setChecked(shown);
}

int MainWindow::areaPanelWidthTwips() const
{
    const int px = areaPanelShown() ? m_treeSplitter->sizes().value(0) : m_panelWidthPx;
    return px * kTwipsPerInch / logicalDpiX();
}

int MainWindow::descriptionHeightTwips() const
{
    return m_descSplitter->sizes().value(1) * kTwipsPerInch / logicalDpiY();
}

void MainWindow::setDescriptionHeightTwips(int twips)
{
    const int px = twips * logicalDpiY() / kTwipsPerInch;
    const int total = m_descSplitter->height();
    m_descSplitter->setSizes({ std::max(0, total - px), px });
}

void MainWindow::applyStoredGeometry()
{
    Settings& s = m_services.settings;
    const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
    if (!s.windowSizeStored) {
        // The stored default of 8000 x 7000 twips cuts off the toolbar and half the columns of
        // today's fonts: the first window fits them, within the screen.
        const QSize fit = firstWindowSize();
        const QSize room = screen.isValid() ? screen.size() * 9 / 10 : fit;
        s.windowWidth = std::max(s.windowWidth, std::min(fit.width(), room.width()) * kTwipsPerInch / logicalDpiX());
        s.windowHeight
            = std::max(s.windowHeight, std::min(fit.height(), room.height()) * kTwipsPerInch / logicalDpiY());
        s.windowSizeStored = true;
    }
    const int w = s.windowWidth * logicalDpiX() / kTwipsPerInch;
    const int h = s.windowHeight * logicalDpiY() / kTwipsPerInch;
    resize(w, h);
    const int x = s.windowX ? *s.windowX * logicalDpiX() / kTwipsPerInch : screen.x() + (screen.width() - w) / 2;
    const int y = s.windowY ? *s.windowY * logicalDpiY() / kTwipsPerInch : screen.y() + (screen.height() - h) / 2;
    move(x, y);
    m_appliedGeometry = QRect(x, y, w, h);
    if (s.windowState == 2)
        setWindowState(Qt::WindowMaximized);
    else if (s.windowState == 1)
        setWindowState(Qt::WindowMinimized);

    m_commands->action("mnuDispLFN")->setChecked(s.useLongNames);
    m_files->setListView(s.viewAsList);
    m_panelWidthPx = s.areaPanelWidth * logicalDpiX() / kTwipsPerInch;
    m_treeSplitter->setSizes({ m_panelWidthPx, std::max(0, w - m_panelWidthPx) });
    m_panel->setVisible(s.areaPanelShown);
    m_commands->action("AExp")->setChecked(s.areaPanelShown);
    m_areas->setOrderByName(!s.areasInNumberOrder);
}

QSize MainWindow::firstWindowSize() const
{
    QTreeView* details = m_list->detailsView();
    int columns = details->verticalScrollBar()->sizeHint().width() + 2 * details->frameWidth();
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        columns += details->columnWidth(c);
    const int panel = m_services.settings.areaPanelWidth * logicalDpiX() / kTwipsPerInch;
    const int width = std::max(m_toolBar->sizeHint().width(), panel + m_treeSplitter->handleWidth() + columns) + 8;
    return { width, std::max(600, width * 2 / 3) };
}

bool MainWindow::start()
{
    if (!m_areas->loadInitialArea())
        return false;
    setDescriptionHeightTwips(m_services.settings.descriptionPaneHeight);
    return true;
}

void MainWindow::ensureFirstActivation()
{
    if (!m_activatedOnce)
        onActivated();
}

void MainWindow::onActivated()
{
    if (!m_activatedOnce) {
        m_activatedOnce = true;
        m_areas->setOrderByName(!m_services.settings.areasInNumberOrder);
    }
    setDateColumnWidths();
}

void MainWindow::setDateColumnWidths()
{
    // Date columns follow today's date in the short format, whatever the user made of them. The
    // twip rule assumes a narrow DOS-era face; never go below what the list font needs.
    const int rule = m_model->dateColumnWidthTwips(m_list->font()) * logicalDpiX() / kTwipsPerInch;
    const QString sample = QLocale::system().toString(QDate(2000, 12, 28), QLocale::ShortFormat);
    const int needed = m_list->detailsView()->fontMetrics().horizontalAdvance(sample) + 16;
    for (int column : { FileListModel::FileDate, FileListModel::UploadDate, FileListModel::DownloadDate })
        m_list->setColumnWidth(column, std::max(rule, needed));
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        onActivated();
    QMainWindow::changeEvent(event);
}

void MainWindow::endFatally()
{
    m_endedFatally = true;
    hide();
    // Before the event loop runs, start() returning false ends the run; an exit() then would
    // only make the next event loop of the process return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(1);
}

void MainWindow::storeWindowValues(bool windowNormal)
{
    Settings& s = m_services.settings;
    if (windowNormal) {
        // The position is the frame's, as move() took it; the size is the client's, as resize()
        // took it. What did not change since start-up keeps its stored twips, which pixels may
        // not represent exactly.
        const QRect now(pos(), size());
        const QRect& was = m_appliedGeometry;
        auto twipsX = [this](int px) { return px * kTwipsPerInch / logicalDpiX(); };
        auto twipsY = [this](int px) { return px * kTwipsPerInch / logicalDpiY(); };
        if (now.width() != was.width())
            s.windowWidth = twipsX(now.width());
        if (now.height() != was.height())
            s.windowHeight = twipsY(now.height());
        if (now.x() != was.x() || !s.windowX)
            s.windowX = twipsX(now.x());
        if (now.y() != was.y() || !s.windowY)
            s.windowY = twipsY(now.y());
    }
    s.windowState = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    s.descriptionPaneHeight = descriptionHeightTwips();
    s.areaPanelWidth = areaPanelWidthTwips();
    s.areaPanelShown = areaPanelShown();
    s.viewAsList = m_files->listView();
    s.useLongNames = m_commands->action("mnuDispLFN")->isChecked();
    s.areasInNumberOrder = m_commands->toolAction("numsort")->isChecked();
    s.listColumnWidths.clear();
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        s.listColumnWidths.push_back(pixelsToTwips(m_list->detailsView()->columnWidth(c), logicalDpiX()));
    m_tools->rememberFindWindow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing || m_endedFatally) {
        event->accept();
        return;
    }
    // A transfer between its copies and its commits must not be cut off: the window waits.
    if (m_transferRunning) {
        m_closeWhenIdle = true;
        say(QStringLiteral("The window closes when the transfer has ended"));
        event->ignore();
        return;
    }
    m_closing = true;
    const bool normal = !isMinimized() && !isMaximized() && !isFullScreen();
    storeWindowValues(normal);
    if (m_services.writeSettings)
        m_services.writeSettings(m_services.settings, normal);
    event->accept();
}

} // namespace qv
