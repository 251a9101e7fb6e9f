#pragma once

#include <QObject>
#include <QSize>

class QSplitter;

namespace qv {

class FileListView;

// Keeps the file list usable when the window gets smaller: the area panel and the description
// pane give up space, down to their own minimum, before the list goes below a few rows and its
// Name column. Dragging a splitter is the user's choice and keeps the splitters' own limits.
class ListRoomKeeper : public QObject {
    Q_OBJECT
public:
    // tree holds the area panel and desc; desc holds the list and the description pane.
    ListRoomKeeper(QSplitter* tree, QSplitter* desc, FileListView* list, QObject* parent = nullptr);

    // The header, four rows and the whole Name column.
    QSize usableListSize() const;
    void balance();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSplitter* m_tree;
    QSplitter* m_desc;
    FileListView* m_list;
    bool m_pending = false;
};

} // namespace qv
