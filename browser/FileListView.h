#pragma once

#include <QStackedWidget>

class QAbstractItemModel;
class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QModelIndex;
class QTreeView;

namespace qv {

// ListView1: the entries of the current area in one of two views over one model and one
// selection, "Details" (seven columns) or "List" (names with small icons in columns).
class FileListView : public QStackedWidget {
    Q_OBJECT
public:
    enum class Mode { Details, List };

    explicit FileListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model);
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }

    QTreeView* detailsView() const { return m_details; }
    QListView* listView() const { return m_list; }
    QAbstractItemView* currentView() const;
    QItemSelectionModel* selectionModel() const;

    // 0-based rows selected, in list order.
    QList<int> selectedRows() const;
    int currentRow() const;

    // Sizes the columns of the List view to the longest name of the area.
    void fitListColumns();
    // Column widths in pixels; column 0 is the name.
    void setColumnWidth(int column, int pixels);

signals:
    void rowClicked(int row);
    void rowDoubleClicked(int row);
    // Right button released over the list, at a global position.
    void contextRequested(const QPoint& globalPos);
    // Files of a file manager dropped onto the list: host paths.
    void filesDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeView* m_details;
    QListView* m_list;
    Mode m_mode = Mode::Details;
};

} // namespace qv
