#include "browser/AreaTreeView.h"

#include "browser/FileIcons.h"
#include "browser/FileListModel.h"
#include "platform/CodePage.h"
#include "storage/AreaConfiguration.h"

#include <QHeaderView>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace qv {

namespace {
constexpr int kKeyRole = Qt::UserRole + 1;
}

AreaTreeView::AreaTreeView(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName("TreeView1");
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DropOnly);
    viewport()->setAcceptDrops(true);
    connect(this, &QTreeWidget::itemClicked, this, &AreaTreeView::nodeChosen);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        item->setIcon(0, FileIcons::folderIcon(true));
        scrollToItem(item);
    });
    connect(this, &QTreeWidget::itemCollapsed, this,
        [](QTreeWidgetItem* item) { item->setIcon(0, FileIcons::folderIcon(false)); });
}

void AreaTreeView::nodeChosen(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString key = keyOf(item);
    if (key.size() < 5 || !key.contains("Area"))
        return;
    if (m_clicksIgnored)
        emit clickIgnored();
    else
        emit areaNodeClicked(areaNumberOfKey(key));
}

void AreaTreeView::keyPressEvent(QKeyEvent* event)
{
    // Enter and Space on a node choose it as a click does, so the keyboard alone reaches every area.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        nodeChosen(currentItem());
        event->accept();
        return;
    default:
        break;
    }
    QTreeWidget::keyPressEvent(event);
}

int AreaTreeView::dropArea(const QDropEvent* event) const
{
    if (!event->mimeData()->hasFormat(QString::fromLatin1(FileListModel::kEntriesMimeType)))
        return 0;
    return areaNumberOfKey(keyOf(itemAt(event->position().toPoint())));
}

void AreaTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QString::fromLatin1(FileListModel::kEntriesMimeType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void AreaTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    // Only an area's node takes entries; the board and the groups do not.
    if (dropArea(event) > 0) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else
        event->ignore();
}

void AreaTreeView::dropEvent(QDropEvent* event)
{
    const int area = dropArea(event);
    if (area <= 0) {
        event->ignore();
        return;
    }
    // Always a copy to the drag: the transfer itself removes moved rows, never the view.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit entriesDropped(area, event->modifiers().testFlag(Qt::ShiftModifier));
}

QTreeWidgetItem* AreaTreeView::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setData(0, kKeyRole, key);
    item->setIcon(0, FileIcons::folderIcon(false));
    m_byKey.insert(key, item);
    return item;
}

void AreaTreeView::populate(const AreaConfiguration& config, const CodePage& codePage)
{
    clear();
    m_byKey.clear();
    m_loaded = nullptr;
    if (!config.filesRaExists())
        return;
    QTreeWidgetItem* root = addNode(nullptr, "r", codePage.decode(config.boardName()));
    for (const GroupInfo& g : config.groups()) {
        const QString key = QStringLiteral("Group%1").arg(g.number);
        if (!m_byKey.contains(key))
            addNode(root, key, codePage.decode(g.name));
    }
    QTreeWidgetItem* undefined = addNode(root, "Undefined", QStringLiteral("Undefined/All Groups's"));
    for (const AreaInfo& a : config.areas()) {
        QString key = QStringLiteral("Area%1").arg(a.number);
        if (m_byKey.contains(key))
            key = QStringLiteral("Area0%1").arg(a.number);
        QTreeWidgetItem* parent = m_byKey.value(QStringLiteral("Group%1").arg(a.group), undefined);
        addNode(parent, key, codePage.decode(a.name));
    }
    root->setExpanded(true);
}

QString AreaTreeView::keyOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kKeyRole).toString() : QString();
}

QTreeWidgetItem* AreaTreeView::itemOfKey(const QString& key) const
{
    return m_byKey.value(key);
}

int AreaTreeView::areaNumberOfKey(const QString& key)
{
    if (key.size() < 5 || !key.contains("Area"))
        return 0;
    return key.mid(4).toInt();
}

void AreaTreeView::markLoaded(int area)
{
    QTreeWidgetItem* node = itemOfKey(QStringLiteral("Area%1").arg(area));
    for (QTreeWidgetItem* item : { m_loaded, node }) {
        if (!item)
            continue;
        QFont f = item->font(0);
        f.setBold(item == node);
        item->setFont(0, f);
    }
    m_loaded = node;
}

void AreaTreeView::bringInLine(int area, int previousArea)
{
    QTreeWidgetItem* node = itemOfKey(QStringLiteral("Area%1").arg(area));
    if (!node)
        return;
    QTreeWidgetItem* previous = itemOfKey(QStringLiteral("Area%1").arg(previousArea));
    if (previous && previous->parent() && previous->parent() != node->parent() && previous->parent()->parent())
        previous->parent()->setExpanded(false);
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
        up->setExpanded(true);
    scrollToItem(node);
}

} // namespace qv
