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

signals:
    void areaNodeClicked(int area);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void nodeChosen(QTreeWidgetItem* item);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text);

    QHash<QString, QTreeWidgetItem*> m_byKey;
    bool m_clicksIgnored = false;
};

} // namespace qv
