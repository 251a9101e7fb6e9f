#pragma once

#include "browser/BrowserServices.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QLabel;
class QProgressBar;
class QWidget;

namespace qv {

class AlphabeticAreaSelector;
class NumericAreaSelector;
class AreaStore;
class AreaTreeView;
class CommandTable;
class DescriptionPane;
class FileListModel;
struct LoadedRow;

// ReadArea in the window and everything that chooses an area: the tree, the two selectors, the
// start-up rule and the two order commands. Holds CurrentArea.
class AreaController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;
        CommandTable* commands;
        AreaTreeView* tree;
        AlphabeticAreaSelector* byName;
        NumericAreaSelector* byNumber;
        FileListModel* model;
        DescriptionPane* description;
        QLabel* objectsPanel;
        QLabel* sizePanel;
        QProgressBar* progress;
    };

    AreaController(BrowserServices& services, Parts parts, QObject* parent = nullptr);
    ~AreaController() override;

    int currentArea() const { return m_current; }
    bool orderByName() const { return m_orderByName; }

    // Clears the list and loads the area; false after a fatal error was reported.
    bool readArea(int area);
    // Reads the current area again keeping the selection on the same entries (after a change
    // was refused because the rows had changed); a plain load until the window sets the way.
    void readAgainInPlace();
    void setReadAgain(std::function<void()> readAgain) { m_readAgain = std::move(readAgain); }
    // Shows rows of the current area just read, as after a load.
    void showRows(LoadedRows rows);
    // The start-up area from DefaultArea, or the first area with a message; false when there
    // is no area at all (reported) or the load failed.
    bool loadInitialArea();
    void setOrderByName(bool byName);

    static QString titleFor(const QString& version, int area, const QString& areaName);

signals:
    void areaLoaded(int area);
    // A message has been shown; the run must end without writing settings.
    void fatalError();

private:
    void onNodeClicked(int area);
    void showCounts();

    BrowserServices& m_services;
    Parts m_parts;
    int m_current = 0;
    bool m_orderByName = true;
    std::function<void()> m_readAgain;
};

} // namespace qv
