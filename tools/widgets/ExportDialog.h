#pragma once

#include "tools/FilesBbsExport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qv {

class Board;
class Dialogs;

// Form16 "Export FILES.BBS": choose areas and options; OK writes each chosen area's list and
// the dialog stays open for another round.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    ExportDialog(const Board& board, Dialogs& dialogs, int startupArea, QWidget* parent = nullptr);

    ExportOptions options() const;
    // Selected areas in list order.
    std::vector<int> selectedAreas() const;
    void exportSelected();

    QListWidget* areaList() const { return m_list; }
    QLabel* progressLabel() const { return m_progress; }

private:
    const Board& m_board;
    Dialogs& m_dialogs;
    QListWidget* m_list = nullptr;
    QCheckBox* m_counters = nullptr;
    QCheckBox* m_short = nullptr;
    QCheckBox* m_comments = nullptr;
    QLabel* m_progress = nullptr;
};

} // namespace qv
