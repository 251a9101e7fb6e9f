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
#include "browser/ListRoomKeeper.h"
#include "platform/widgets/Desktop.h"
#include "browser/RemoveSortController.h"
#include "browser/ToolsController.h"
#include "browser/TransferController.h"
#include "editing/EntryRemover.h"
#include "transfer/Clipboard.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QThread>
#include <QCloseEvent>
#include <QDate>
#include <QLocale>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
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
    m_follower = new ListFollower(m_services, { this, m_commands, m_areas, m_files, m_list, m_model }, this);
    m_areas->setReadAgain([this] { m_follower->readAgain(); });
    connect(m_areas, &AreaController::fatalError, this, &MainWindow::endFatally);
    routeCommands();
    m_addFiles = new AddFilesController(m_services, this);
    connect(m_areas, &AreaController::areaLoaded, this, &MainWindow::refreshCommands);
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
    applyStoredGeometry();
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
}

MainWindow::~MainWindow() = default;

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
    status->addWidget(m_objectsPanel);
    status->addWidget(m_sizePanel);
    status->addWidget(m_progress, 1);
}

void MainWindow::routeCommands()
{
    CommandTable* c = m_commands;
    c->route("exit", this, [this] { close(); });
    connect(c->action("AExp"), &QAction::triggered, this, &MainWindow::setAreaPanelShown);
    connect(m_panelClose, &QToolButton::clicked, this, [this] { setAreaPanelShown(false); });
    c->route("about", this, [this] {
        m_services.dialogs.message(this, QStringLiteral("About QRVX"),
            QStringLiteral("Quorvex ") + QString::fromStdString(m_services.settings.version),
            Dialogs::Icon::Information);
    });
    c->route("contents", this, [this] {
        // The README beside the program, or in the source tree above a build directory.
        const QDir bin(QCoreApplication::applicationDirPath());
        QString readme = QStringLiteral("README.md");
        Desktop::Launch launch { false, QStringLiteral("it is not beside the program") };
        for (const char* relative : { "README.md", "../README.md", "../../README.md" }) {
            if (QFileInfo::exists(bin.absoluteFilePath(QString::fromLatin1(relative)))) {
                readme = QFileInfo(bin.absoluteFilePath(QString::fromLatin1(relative))).canonicalFilePath();
                launch = m_services.desktop.openDocument(readme);
                break;
            }
        }
        if (!launch.started) {
            const messages::Message m = messages::contentsFailed(readme, launch.reason);
            m_services.dialogs.message(this, m.title, m.text, Dialogs::Icon::Warning);
        }
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
    const Settings& s = m_services.settings;
    const int w = s.windowWidth * logicalDpiX() / kTwipsPerInch;
    const int h = s.windowHeight * logicalDpiY() / kTwipsPerInch;
    resize(w, h);
    const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry() : QRect();
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
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing || m_endedFatally) {
        event->accept();
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
