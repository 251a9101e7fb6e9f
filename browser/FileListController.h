#pragma once

#include "browser/BrowserServices.h"

#include <QObject>
#include <QString>

class QWidget;

namespace qv {

class AreaController;
class CommandTable;
class DescriptionPane;
class FileListModel;
class FileListView;

// The file list's own commands: the description of the clicked row, open, explore, the two
// views, long-name display, the right-button menu and the description font.
class FileListController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        CommandTable* commands;
        AreaController* areas;
        FileListView* list;
        FileListModel* model;
        DescriptionPane* description;
    };

    FileListController(BrowserServices& services, Parts parts, QObject* parent = nullptr);

    // 0-based row whose description the pane shows, -1 for none.
    int lastDescribedRow() const { return m_lastDescribed; }
    bool listView() const;
    void setListView(bool list);
    void applyDescriptionFont();

    // The area's file directory: the stored path (for messages) and the host directory.
    QString areaDosDirectory() const;
    QString areaHostDirectory() const;

    void describeRow(int row);
    // Empties the pane and forgets the described row (rows below it changed places).
    void clearDescription();
    void openCurrent();
    void explore();
    void chooseDescriptionFont();
    void showContextMenu(const QPoint& globalPos);

signals:
    // Something the enabled commands depend on changed.
    void commandStateChanged();

private:
    void onAreaLoaded();

    BrowserServices& m_services;
    Parts m_parts;
    int m_lastDescribed = -1;
};

} // namespace qv
