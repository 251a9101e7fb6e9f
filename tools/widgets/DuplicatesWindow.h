#pragma once

#include "tools/DuplicateSearch.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <atomic>
#include <thread>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeView;

namespace qv {

class Board;

// The groups of a duplicate search: a heading row per group, then one row per entry.
class DuplicatesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Area, Position, Name, Size, Date, Uploader, ColumnCount };
    struct Row {
        int group = 0; // 1-based
        const DuplicateSearch::Entry* entry = nullptr; // null on a heading row
    };
    DuplicatesModel(const Board& board, QObject* parent = nullptr);
    void setGroups(std::vector<DuplicateSearch::Group> groups);
    const Row& row(int r) const { return m_rows[size_t(r)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const Board& m_board;
    std::vector<DuplicateSearch::Group> m_groups;
    std::vector<Row> m_rows;
};

// "Find Duplicates": by name or by content over a range of areas, on a worker thread that
// "&Stop" ends; a double-click goes to the entry.
class DuplicatesWindow : public QWidget {
    Q_OBJECT
public:
    DuplicatesWindow(const Board& board, QWidget* parent = nullptr);
    ~DuplicatesWindow() override;

    void start();
    void stop();
    bool searching() const { return m_worker.joinable(); }
    // Blocks until a running search has delivered its groups (tests, shutdown).
    void waitForSearch();

    DuplicatesModel* results() const { return m_model; }
    QTreeView* resultsView() const { return m_view; }
    QComboBox* byBox() const { return m_by; }
    QSpinBox* fromBox() const { return m_from; }
    QSpinBox* toBox() const { return m_to; }
    QLabel* statusLabel() const { return m_status; }

signals:
    void goTo(int area, int position);

private:
    void finished(DuplicateSearch::Outcome outcome);
    void join();

    const Board& m_board;
    QComboBox* m_by = nullptr;
    QSpinBox* m_from = nullptr;
    QSpinBox* m_to = nullptr;
    QPushButton* m_find = nullptr;
    QTreeView* m_view = nullptr;
    DuplicatesModel* m_model = nullptr;
    QLabel* m_status = nullptr;
    std::atomic<bool> m_stop { false };
    std::thread m_worker;
};

} // namespace qv
