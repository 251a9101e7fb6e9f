#include "browser/ToolsController.h"

#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/AreaTreeView.h"
#include "browser/CommandTable.h"
#include "browser/FileIcons.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "editing/CurrentUploader.h"
#include "editing/widgets/ImportDialog.h"
#include "settings/Settings.h"
#include "tools/widgets/ExportDialog.h"
#include "tools/widgets/FileListDialog.h"
#include "tools/widgets/FindWindow.h"
#include "transfer/widgets/CleanDialog.h"
#include "tools/widgets/PackDialog.h"
#include "tools/widgets/RepairDialog.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMainWindow>
#include <QStatusBar>
#include <QTreeView>
#include <QWidget>

namespace qv {

ToolsController::ToolsController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
{
    m_parts.commands->route("ffind", this, [this] { openFindWindow(); });
    m_parts.commands->route("fbbs", this, [this] { exportLists(); });
    m_parts.commands->route("importbbs", this, [this] { importList(); });
    m_parts.commands->route("filelist", this, [this] { makeFileList(); });
    m_parts.commands->route("dupes", this, [this] { openDuplicatesWindow(); });
    m_parts.commands->route("clean", this, [this] { cleanAreas(); });
    m_parts.commands->route("packdesc", this, [this] { packDescriptions(); });
    m_parts.commands->route("repair", this, [this] { checkAndRepair(); });
    m_parts.window->installEventFilter(this);
}

ToolsController::~ToolsController()
{
    delete m_find.data();
    delete m_dupes.data();
}

void ToolsController::openFindWindow()
{
    if (m_find) {
        m_find->show();
        m_find->raise();
        m_find->activateWindow();
        return;
    }
    QStringList archivers;
    for (const ArchiverSlot& slot : m_services.settings.archivers)
        archivers.append(QString::fromStdString(slot.extension));
    ResultRowLook look;
    look.icon = [archivers](const QString& rowText, bool comment) {
        return FileIcons::smallIcon(FileIcons::smallIconIndex(rowText, comment, archivers));
    };
    look.areaIcon = FileIcons::folderIcon(false);
    m_find = new FindWindow(
        m_services.board, m_services.dialogs, m_services.settings.useLongNames, std::move(look), m_parts.window);
    // The date columns follow the file list's rule.
    QTreeView* view = m_find->resultsView();
    const int rule = FileListModel::dateColumnWidthTwips(view->font()) * view->logicalDpiX() / kTwipsPerInch;
    for (int column : { FileListModel::FileDate, FileListModel::UploadDate, FileListModel::DownloadDate })
        view->setColumnWidth(column, std::max(view->columnWidth(column), rule));
    const Settings& s = m_services.settings;
    m_find->setQuery(QString::fromStdString(s.findText), s.findByName);
    if (int(s.findColumnWidths.size()) == FindResultsModel::ColumnCount)
        for (int c = 0; c < FindResultsModel::ColumnCount; ++c)
            view->setColumnWidth(c, twipsToPixels(s.findColumnWidths[size_t(c)], view->logicalDpiX()));
    connect(m_find, &FindWindow::goTo, this, &ToolsController::goTo);
    connect(m_find, &FindWindow::closed, this, [this] {
        rememberFindWindow();
        m_parts.tree->setClicksIgnored(false);
        m_hiddenByMinimise = false;
    });
    m_parts.tree->setClicksIgnored(true);
    m_find->show();
}

void ToolsController::rememberFindWindow()
{
    if (!m_find)
        return;
    Settings& s = m_services.settings;
    s.findText = m_find->queryText().toStdString();
    s.findByName = m_find->queryByName();
    QTreeView* view = m_find->resultsView();
    s.findColumnWidths.clear();
    for (int c = 0; c < FindResultsModel::ColumnCount; ++c)
        s.findColumnWidths.push_back(pixelsToTwips(view->columnWidth(c), view->logicalDpiX()));
}

void ToolsController::goTo(int area, int position, const QByteArray& record)
{
    if (area != m_parts.areas->currentArea() && !m_parts.areas->readArea(area))
        return;
    const auto& rows = m_parts.model->rows();
    auto holds = [&](int r) {
        return r >= 0 && r < int(rows.size()) && size_t(record.size()) == rows[size_t(r)].record.size()
            && std::equal(record.begin(), record.end(), reinterpret_cast<const char*>(rows[size_t(r)].record.data()));
    };
    // The hit where the search found it, else where the list shows it now (the area changed
    // since the search); gone from the list, it is not pretended to be another row.
    int row = position - 1;
    if (!record.isEmpty() && !holds(row)) {
        row = -1;
        for (int r = 0; r < int(rows.size()) && row < 0; ++r)
            if (holds(r))
                row = r;
        if (row < 0) {
            if (auto* frame = qobject_cast<QMainWindow*>(m_parts.window))
                frame->statusBar()->showMessage(messages::hitGone(area), 15000);
            return;
        }
    }
    if (row < 0 || row >= int(rows.size()))
        return;
    const QModelIndex index = m_parts.model->index(row, 0);
    m_parts.list->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_parts.list->currentView()->scrollTo(index);
    keepClearOfFindWindow(index);
    m_parts.files->describeRow(row);
}

void ToolsController::keepClearOfFindWindow(const QModelIndex& index)
{
    if (!m_find || !m_find->isVisible())
        return;
    QAbstractItemView* view = m_parts.list->currentView();
    const QRect cover = m_find->frameGeometry();
    auto covered = [&] {
        const QRect row = view->visualRect(index);
        return cover.intersects(QRect(view->viewport()->mapToGlobal(row.topLeft()), row.size()));
    };
    for (auto hint : { QAbstractItemView::PositionAtTop, QAbstractItemView::PositionAtBottom,
             QAbstractItemView::PositionAtCenter }) {
        if (!covered())
            return;
        view->scrollTo(index, hint);
    }
}

void ToolsController::exportLists()
{
    ExportDialog dialog(m_services.board, m_services.dialogs, m_services.settings.startupArea, m_parts.window);
    dialog.exec();
}

void ToolsController::importList()
{
    const int area = m_parts.areas->currentArea();
    ImportDialog dialog(m_services.board, m_services.dialogs, area, CurrentUploader::defaultName(), m_parts.window);
    if (dialog.exec() == QDialog::Accepted)
        m_parts.areas->readArea(area);
}

void ToolsController::makeFileList()
{
    FileListDialog dialog(m_services.board, m_services.dialogs, m_services.board.numberedAreaItems(), m_parts.window);
    dialog.exec();
}

void ToolsController::packDescriptions()
{
    PackDialog dialog(m_services.board, m_services.dialogs, m_services.board.numberedAreaItems(), m_parts.window);
    runUpkeep(dialog);
}

void ToolsController::checkAndRepair()
{
    RepairDialog dialog(m_services.board, m_services.dialogs, m_services.board.numberedAreaItems(), m_parts.window);
    runUpkeep(dialog);
}

void ToolsController::runUpkeep(AreaUpkeepDialog& dialog)
{
    // The current area first, so Preview looks at what the list shows unless more is chosen.
    const QString current = QStringLiteral("%1:").arg(m_parts.areas->currentArea(), 5, 10, QLatin1Char('0'));
    for (int i = 0; i < dialog.areaList()->count(); ++i)
        dialog.areaList()->item(i)->setSelected(dialog.areaList()->item(i)->text().startsWith(current));
    dialog.exec();
    // Pointers and records moved: the list is read again.
    if (dialog.changedAreas())
        m_parts.areas->readArea(m_parts.areas->currentArea());
}

void ToolsController::openDuplicatesWindow()
{
    if (!m_dupes) {
        m_dupes = new DuplicatesWindow(m_services.board, m_parts.window);
        m_dupes->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_dupes, &DuplicatesWindow::goTo, this, [this](int area, int position) { goTo(area, position, {}); });
    }
    m_dupes->show();
    m_dupes->raise();
    m_dupes->activateWindow();
}

void ToolsController::cleanAreas()
{
    const int area = m_parts.areas->currentArea();
    CleanDialog dialog(
        m_services.board, m_services.dialogs, m_services.board.numberedAreaItems(), area, m_parts.window);
    dialog.exec();
    const std::vector<int> changed = dialog.changedAreas();
    if (std::find(changed.begin(), changed.end(), area) != changed.end())
        m_parts.areas->readArea(area);
}

bool ToolsController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_parts.window && event->type() == QEvent::WindowStateChange && m_find) {
        if (m_parts.window->isMinimized()) {
            if (m_find->isVisible()) {
                m_find->hide();
                m_hiddenByMinimise = true;
            }
        } else if (m_hiddenByMinimise) {
            m_hiddenByMinimise = false;
            m_find->show();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qv
