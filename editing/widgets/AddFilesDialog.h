#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qv {

// "Add Files": the files of the area's directory without an entry, or all files for the mask;
// OK hands the chosen names to the window, which adds them while the dialog shows its progress.
class AddFilesDialog : public QDialog {
    Q_OBJECT
public:
    struct Setup {
        int area = 0;
        QString areaName;
        QString directory; // as stored, for the label
        QString hostDirectory; // listed
        QStringList rowTexts; // the file list's rows
        QString uploader; // the default
    };
    // What OK asks for; returns the names that could not be added (they stay listed).
    using AddHandler = std::function<QStringList(const QStringList& names, const QString& uploader, bool extract)>;

    AddFilesDialog(Setup setup, AddHandler add, QWidget* parent = nullptr);

    void setRowTexts(const QStringList& rowTexts) { m_setup.rowTexts = rowTexts; }
    // Lists the files again for the mask in the box (the "&Refresh" button's work).
    void refresh();
    void setStatus(const QString& text);

    QLineEdit* maskBox() const { return m_mask; }
    QLineEdit* uploaderBox() const { return m_uploader; }
    QListWidget* notInBaseList() const { return m_notInBase; }
    QListWidget* allFilesList() const { return m_all; }
    QCheckBox* showAllBox() const { return m_showAll; }
    QCheckBox* noDizBox() const { return m_noDiz; }
    QLabel* countLabel() const { return m_count; }
    QLabel* statusLabel() const { return m_status; }
    QPushButton* refreshButton() const { return m_refresh; }
    QPushButton* okButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget* visibleList() const;
    void updateCount();
    void onOk();

    Setup m_setup;
    AddHandler m_add;
    QLineEdit* m_mask = nullptr;
    QLineEdit* m_uploader = nullptr;
    QListWidget* m_notInBase = nullptr;
    QListWidget* m_all = nullptr;
    QCheckBox* m_showAll = nullptr;
    QCheckBox* m_noDiz = nullptr;
    QLabel* m_count = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_ok = nullptr;
    bool m_listed = false;
};

} // namespace qv
