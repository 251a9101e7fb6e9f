#pragma once

#include "browser/BrowserServices.h"
#include "storage/FileIo.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <vector>

class QFileSystemWatcher;
class QMainWindow;

namespace qv {

class AreaController;
class CommandTable;
class FileListController;
class FileListModel;
class FileListView;
struct LoadedRow;

// Keeps the file list on the entries the user saw while other programs change the area: it reads
// the area again in place, with the selection, the current row and the scroll position on the
// same entries (found by their records, not by their positions), after a change was refused and
// whenever the area's files change on disk. Never while a dialog, a menu or a command runs: the
// reading waits until they end.
class ListFollower : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QMainWindow* window;
        CommandTable* commands;
        AreaController* areas;
        FileListController* files;
        FileListView* list;
        FileListModel* model;
    };

    ListFollower(BrowserServices& services, Parts parts, QObject* parent = nullptr);
    ~ListFollower() override;

    // Reads the current area again now and puts the list back on the entries it showed.
    void readAgain();
    // Quiet time after the last file event before the files are looked at, and the pause
    // between looks while something holds the reading off.
    static constexpr int kSettleMs = 150;
    static constexpr int kRetryMs = 250;

    // Where the rows of before are in rows of now: for each old row, its new position or -1.
    // Rows are the same entry when their records agree outside the fields the board bumps in
    // place (download count and last-download date); among identical ones the nearest is taken.
    static std::vector<int> follow(const LoadedRows& before, const LoadedRows& now);

private:
    void watch(int area);
    void filesMoved();
    void look();
    bool heldOff() const;
    std::array<FileIo::Stamp, 3> stamps() const;
    void show(LoadedRows rows);

    BrowserServices& m_services;
    Parts m_parts;
    QFileSystemWatcher* m_watcher;
    QTimer m_settle;
    int m_area = 0;
    std::array<FileIo::Stamp, 3> m_known {};
};

} // namespace qv
