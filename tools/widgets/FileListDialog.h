#pragma once

#include "tools/FileList.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace qv {

class Board;
class Dialogs;

// "Make File List": the chosen areas (in the window's area order), all files or the new ones,
// text or HTML, into one file; the dialog stays open for another list.
class FileListDialog : public QDialog {
    Q_OBJECT
public:
    // areaItems: "00012: Utilities" items in the order the window shows the areas.
    FileListDialog(const Board& board, Dialogs& dialogs, const QStringList& areaItems, QWidget* parent = nullptr);

    FileList::Options options() const;
    // Writes the list; false after a failure was shown.
    bool make();

    QListWidget* areaList() const { return m_list; }
    QLineEdit* outputBox() const { return m_output; }
    QCheckBox* newOnlyBox() const { return m_newOnly; }
    QSpinBox* daysBox() const { return m_days; }
    QCheckBox* htmlBox() const { return m_html; }
    QLineEdit* bannerBox() const { return m_banner; }
    QLineEdit* footerBox() const { return m_footer; }
    QLabel* statusLabel() const { return m_status; }

private:
    const Board& m_board;
    Dialogs& m_dialogs;
    QListWidget* m_list = nullptr;
    QLineEdit* m_output = nullptr;
    QCheckBox* m_newOnly = nullptr;
    QSpinBox* m_days = nullptr;
    QCheckBox* m_html = nullptr;
    QLineEdit* m_banner = nullptr;
    QLineEdit* m_footer = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace qv
