#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qv {

class Dialogs;

// The frame both upkeep windows share: the areas to work on, a preview of what the work would
// do, area by area, before anything changes, and the work itself with its progress.
class AreaUpkeepDialog : public QDialog {
    Q_OBJECT
public:
    // areaItems: "00012: Utilities" items in the order the window shows the areas.
    AreaUpkeepDialog(Dialogs& dialogs, const QStringList& areaItems, const QString& runCaption, QWidget* parent);

    std::vector<int> chosenAreas() const;
    // Fills the preview; the run button is enabled once a preview shows something to do.
    void preview();
    // Does the work on the areas the preview showed; false when nothing was done.
    bool runWork();
    // Whether the last run changed any area (the browser then reads its area again).
    bool changedAreas() const { return m_changed; }

    QListWidget* areaList() const { return m_list; }
    QPlainTextEdit* previewBox() const { return m_preview; }
    QPushButton* previewButton() const { return m_previewButton; }
    QPushButton* runButton() const { return m_runButton; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* statusLabel() const { return m_status; }

    struct Report {
        QStringList lines; // the preview's or the outcome's text
        QString summary;
        bool somethingToDo = false;
        bool changed = false;
        QStringList failures; // shown in a message box
    };

protected:
    // progress(k) before area k of areas.
    virtual Report survey(const std::vector<int>& areas, const std::function<void(size_t)>& progress) = 0;
    virtual Report work(const std::vector<int>& areas, const std::function<void(size_t)>& progress) = 0;

private:
    Report withProgress(bool change);

    Dialogs& m_dialogs;
    QListWidget* m_list = nullptr;
    QPlainTextEdit* m_preview = nullptr;
    QPushButton* m_previewButton = nullptr;
    QPushButton* m_runButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    std::vector<int> m_previewed;
    bool m_changed = false;
};

} // namespace qv
