#pragma once

#include <QString>
#include <QTreeWidget>

namespace qv {

class AreaConfiguration;
class CodePage;

// TreeView1: the board's groups and areas in record order, two levels under the board name.
class AreaTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit AreaTreeView(QWidget* parent = nullptr);

    void populate(const AreaConfiguration& config, const CodePage& codePage);

    static QString keyOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* itemOfKey(const QString& key) const;
    // The area a key names ("Area12", "Area012"), 0 for every other key.
    static int areaNumberOfKey(const QString& key);

    // While the find window is open the tree only shows.
    void setClicksIgnored(bool ignored) { m_clicksIgnored = ignored; }
    // Collapses the previous area's group when it differs, expands the new one and scrolls the
    // area's node into view; the selection stays as it is.
    void bringInLine(int area, int previousArea);
    // The loaded area's node is drawn in bold, whichever node is selected.
    void markLoaded(int area);

signals:
    void areaNodeClicked(int area);
    // A click or Enter on an area node while clicks are ignored.
    void clickIgnored();
    // Rows of the list dropped onto an area's node; move when Shift was held.
    void entriesDropped(int area, bool move);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void nodeChosen(QTreeWidgetItem* item);
    // The area whose node lies under a drag of entries, 0 for none.
    int dropArea(const QDropEvent* event) const;
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text);

    QHash<QString, QTreeWidgetItem*> m_byKey;
    bool m_clicksIgnored = false;
    QTreeWidgetItem* m_loaded = nullptr;
};

} // namespace qv
