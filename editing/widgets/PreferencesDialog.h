#pragma once

#include "editing/ArchiverDefinitions.h"

#include <QDialog>

#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

namespace qv {

class Dialogs;
struct Settings;

// "Preferences": the start-up area and the archiver table. It changes the settings in memory
// only; they are written at shutdown.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // The area list in the window's current order: area number and the item's text.
    using AreaItems = std::vector<std::pair<int, QString>>;

    PreferencesDialog(Settings& settings, AreaItems areas, Dialogs& dialogs, QWidget* parent = nullptr);

    void apply();
    const ArchiverDefinitions& definitions() const { return m_definitions; }

    QTabWidget* tabs() const { return m_tabs; }
    QRadioButton* firstAreaOption() const { return m_first; }
    QRadioButton* followingAreaOption() const { return m_following; }
    QComboBox* areaList() const { return m_areas; }
    QTreeWidget* archiverList() const { return m_list; }
    QLineEdit* extensionBox() const { return m_extension; }
    QLineEdit* pathBox() const { return m_path; }
    QLineEdit* optionsBox() const { return m_options; }
    QPushButton* addEditButton() const { return m_addEdit; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* browseButton() const { return m_browse; }
    QLabel* pathMissingMark() const { return m_pathMissing; }
    QPushButton* applyButton() const { return m_apply; }

private:
    QWidget* buildGeneralPage();
    QWidget* buildArchiverPage();
    void fillList();
    void addOrEdit();
    void deleteDefinition();
    void changed();

    Settings& m_settings;
    AreaItems m_areaItems;
    Dialogs& m_dialogs;
    ArchiverDefinitions m_definitions;
    QTabWidget* m_tabs = nullptr;
    QRadioButton* m_first = nullptr;
    QRadioButton* m_following = nullptr;
    QComboBox* m_areas = nullptr;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_extension = nullptr;
    QLineEdit* m_path = nullptr;
    QLineEdit* m_options = nullptr;
    QPushButton* m_addEdit = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_pathMissing = nullptr;
    QPushButton* m_apply = nullptr;
};

} // namespace qv
