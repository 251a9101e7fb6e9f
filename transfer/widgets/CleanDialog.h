#pragma once

#include "transfer/AreaCleaner.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace qv {

class Board;
class Dialogs;

// "Clean Areas": the chosen areas and rules; "&Preview" shows, area by area, each entry that would
// go with its reason and what would happen to it, before anything changes; "C&lean" makes it one
// change per area. Any change of the choices asks for a new preview first.
class CleanDialog : public QDialog {
    Q_OBJECT
public:
    // areaItems: "00012: Utilities" items in the order the window shows the areas; the current
    // area starts chosen.
    CleanDialog(
        Board& board, Dialogs& dialogs, const QStringList& areaItems, int currentArea, QWidget* parent = nullptr);

    AreaCleaner::Request request() const;
    void preview();
    // Cleans what the preview shows; false when nothing could be done.
    bool clean();
    // The areas whose files the last clean changed.
    std::vector<int> changedAreas() const;
    const AreaCleaner::Outcome& outcome() const { return m_outcome; }
    // The day ages are counted to (tests fix it).
    void setToday(const QDate& today) { m_today = today; }

    QListWidget* areaList() const { return m_areas; }
    QCheckBox* expiredBox() const { return m_expired; }
    QCheckBox* missingBox() const { return m_missing; }
    QCheckBox* deletedBox() const { return m_deleted; }
    QTreeWidget* planView() const { return m_plan; }
    QLabel* summaryLabel() const { return m_summary; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* cleanButton() const { return m_clean; }

private:
    void choicesChanged();
    bool step(size_t index, size_t count);

    Board& m_board;
    Dialogs& m_dialogs;
    QDate m_today = QDate::currentDate();
    AreaCleaner::Plan m_planned;
    bool m_previewed = false;
    AreaCleaner::Outcome m_outcome;
    QListWidget* m_areas = nullptr;
    QCheckBox* m_expired = nullptr;
    QCheckBox* m_missing = nullptr;
    QCheckBox* m_deleted = nullptr;
    QTreeWidget* m_plan = nullptr;
    QLabel* m_summary = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_clean = nullptr;
};

} // namespace qv
