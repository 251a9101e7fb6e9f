#include "browser/FileListView.h"

#include "browser/FileListModel.h"

#include <QHeaderView>
#include <QListView>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QTreeView>

#include <algorithm>

namespace qv {

FileListView::FileListView(QWidget* parent)
    : QStackedWidget(parent)
    , m_details(new QTreeView(this))
    , m_list(new QListView(this))
{
    setObjectName("ListView1");
    m_details->setObjectName("ListView1Details");
    m_list->setObjectName("ListView1List");

    // Large areas stay fast only with uniform rows: the views never measure every entry.
    m_details->setRootIsDecorated(false);
    m_details->setUniformRowHeights(true);
    m_details->setItemsExpandable(false);
    m_details->setAllColumnsShowFocus(true);
    m_details->setSortingEnabled(false);
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSectionsMovable(false);

    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(true);
    m_list->setLayoutMode(QListView::Batched);
    m_list->setBatchSize(2000);
    m_list->setMovement(QListView::Static);
    m_list->setIconSize(QSize(16, 16));

    for (QAbstractItemView* view :
        { static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_list) }) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::NoContextMenu);
        view->viewport()->installEventFilter(this);
        // Rows are dragged out (onto the tree); files of a file manager are dropped in.
        view->setDragDropMode(QAbstractItemView::DragOnly);
        view->viewport()->setAcceptDrops(true);
        connect(view, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                emit rowClicked(index.row());
        });
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                emit rowDoubleClicked(index.row());
        });
        addWidget(view);
    }
    setCurrentWidget(m_details);
}

void FileListView::fitListColumns()
{
    // Uniform items take their size from one item; make it the longest name, found by length
    // alone so that a large area is not measured entry by entry.
    auto* model = qobject_cast<FileListModel*>(m_list->model());
    if (!model)
        return;
    const int longest = model->longestNameRow();
    if (longest < 0) {
        m_list->setGridSize(QSize());
        return;
    }
    const QString text = model->index(longest, 0).data().toString();
    const int width = m_list->fontMetrics().horizontalAdvance(text) + m_list->iconSize().width() + 24;
    const int height = std::max(m_list->fontMetrics().height(), m_list->iconSize().height()) + 4;
    m_list->setGridSize(QSize(width, height));
}

void FileListView::setModel(QAbstractItemModel* model)
{
    connect(model, &QAbstractItemModel::modelReset, this, &FileListView::fitListColumns);
    m_details->setModel(model);
    m_list->setModel(model);
    // One selection for both views, so switching views keeps what the user selected.
    QItemSelectionModel* old = m_list->selectionModel();
    m_list->setSelectionModel(m_details->selectionModel());
    delete old;
}

void FileListView::setMode(Mode mode)
{
    m_mode = mode;
    QAbstractItemView* view = currentView();
    const QModelIndex current = selectionModel() ? selectionModel()->currentIndex() : QModelIndex();
    setCurrentWidget(view);
    if (current.isValid())
        view->scrollTo(current);
    view->viewport()->update();
}

QAbstractItemView* FileListView::currentView() const
{
    if (m_mode == Mode::List)
        return m_list;
    return m_details;
}

QItemSelectionModel* FileListView::selectionModel() const
{
    return m_details->selectionModel();
}

QList<int> FileListView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int FileListView::currentRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void FileListView::setColumnWidth(int column, int pixels)
{
    m_details->setColumnWidth(column, pixels);
}

namespace {
// The local files a drag from outside brings; empty for anything else (rows of our own list).
QStringList droppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls() || data->hasFormat(QString::fromLatin1(FileListModel::kEntriesMimeType)))
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}
} // namespace

bool FileListView::eventFilter(QObject* watched, QEvent* event)
{
    const bool onView = watched == m_details->viewport() || watched == m_list->viewport();
    if (onView && (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedFiles(drag->mimeData()).isEmpty())
            drag->ignore();
        else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    if (onView && event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        emit filesDropped(paths);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease
        && (watched == m_details->viewport() || watched == m_list->viewport())) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            emit contextRequested(mouse->globalPosition().toPoint());
    }
    return QStackedWidget::eventFilter(watched, event);
}

} // namespace qv
