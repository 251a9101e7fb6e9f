#include "browser/ListRoomKeeper.h"

#include "browser/FileListModel.h"
#include "browser/FileListView.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace qv {

namespace {
constexpr int kUsableRows = 4;

// Moves up to `wanted` pixels from the second pane to the first, leaving the second its minimum.
void giveFirst(QSplitter* splitter, int wanted, int secondMinimum)
{
    QList<int> sizes = splitter->sizes();
    if (sizes.size() != 2 || wanted <= 0)
        return;
    const int give = std::min(wanted, sizes[1] - secondMinimum);
    if (give <= 0)
        return;
    sizes[0] += give;
    sizes[1] -= give;
    splitter->setSizes(sizes);
}
}

ListRoomKeeper::ListRoomKeeper(QSplitter* tree, QSplitter* desc, FileListView* list, QObject* parent)
    : QObject(parent)
    , m_tree(tree)
    , m_desc(desc)
    , m_list(list)
{
    // Only the outer splitter's resizes come from the window; the inner one is also resized by
    // dragging the tree splitter, which must keep the user's choice.
    m_tree->installEventFilter(this);
}

QSize ListRoomKeeper::usableListSize() const
{
    const QTreeView* details = m_list->detailsView();
    const int row = details->model() && details->model()->rowCount() > 0 ? details->sizeHintForRow(0)
                                                                         : details->fontMetrics().height() + 4;
    const int frame = 2 * details->frameWidth();
    // The horizontal scroll bar may take a row's place, so it counts on top.
    const int height = details->header()->sizeHint().height() + kUsableRows * row
        + details->horizontalScrollBar()->sizeHint().height() + frame;
    const int width
        = details->columnWidth(FileListModel::Name) + details->verticalScrollBar()->sizeHint().width() + frame;
    return { width, height };
}

void ListRoomKeeper::balance()
{
    m_pending = false;
    const QSize usable = usableListSize();
    QWidget* panel = m_tree->widget(0);
    QWidget* pane = m_desc->widget(1);
    // The window never gets too small for a usable list beside and above the panes' minimums.
    const int handle = m_tree->handleWidth();
    m_tree->setMinimumSize((panel->isHidden() ? 0 : panel->minimumWidth() + handle) + usable.width(),
        usable.height() + m_desc->handleWidth() + pane->minimumHeight());

    giveFirst(m_desc, usable.height() - m_desc->sizes().value(0), pane->minimumHeight());
    if (!panel->isHidden()) {
        // The panel is the first pane of its splitter: give from it to the right side.
        QList<int> sizes = m_tree->sizes();
        const int wanted = usable.width() - sizes.value(1);
        const int give = std::min(wanted, sizes.value(0) - panel->minimumWidth());
        if (sizes.size() == 2 && give > 0) {
            sizes[0] -= give;
            sizes[1] += give;
            m_tree->setSizes(sizes);
        }
    }
}

bool ListRoomKeeper::eventFilter(QObject* watched, QEvent* event)
{
    // The splitter lays its panes out after this filter; look at the result once it has.
    if (watched == m_tree && event->type() == QEvent::Resize && !m_pending) {
        m_pending = true;
        QTimer::singleShot(0, this, &ListRoomKeeper::balance);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qv
