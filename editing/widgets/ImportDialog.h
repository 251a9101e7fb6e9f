#pragma once

#include "editing/FilesBbsImport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace qv {

class Board;
class Dialogs;

// "Import FILES.BBS": shows, line by line, what importing the list would add, change or refuse;
// "&Import" makes it one change of the area and closes the dialog.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(Board& board, Dialogs& dialogs, int area, const QString& uploader, QWidget* parent = nullptr);

    FilesBbsImport::Request request() const;
    // Reads the list again with the options shown (the "&Preview" button's work).
    void preview();
    // Imports what the preview shows; false when nothing was changed.
    bool import();
    const FilesBbsImport::Outcome& outcome() const { return m_outcome; }

    QLineEdit* listBox() const { return m_list; }
    QCheckBox* missingBox() const { return m_missing; }
    QCheckBox* describeBox() const { return m_describe; }
    QTreeWidget* planView() const { return m_plan; }
    QLabel* summaryLabel() const { return m_summary; }
    QPushButton* importButton() const { return m_import; }

private:
    Board& m_board;
    Dialogs& m_dialogs;
    int m_area;
    QString m_uploader;
    FilesBbsImport::Plan m_planned;
    FilesBbsImport::Outcome m_outcome;
    QLineEdit* m_list = nullptr;
    QCheckBox* m_missing = nullptr;
    QCheckBox* m_describe = nullptr;
    QTreeWidget* m_plan = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_import = nullptr;
};

} // namespace qv
