#pragma once

#include "editing/EntryProperties.h"

#include <QDialog>
#include <QHash>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace qv {

class Dialogs;
class StepButtons;

// The Properties dialog of one entry: three pages, its fields filled from the entry's records.
// Apply and OK hand the fields to the applier (the work of EntryProperties) and report what it
// refuses; the window learns of each write through applied().
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    enum class Page { General, Security, Description };
    using Applier = std::function<PropertiesResult(const PropertyChanges&)>;

    PropertiesDialog(Dialogs& dialogs, const EntryFields& fields, const QFont& descriptionFont, Applier applier,
        QWidget* parent = nullptr);

    // Shows a page; the Description page puts the focus in its box.
    void showPage(Page page);
    // What Apply would write now: the fields changed since loading (or the last write).
    PropertyChanges changes() const;
    // The 45-character ruler the description box is sized for.
    static QString ruler();

    // The order of month (0), day (1) and year (2) in a date format such as "dd.MM.yy", and the
    // separator between them; month, day, year and "-" where the format does not say.
    struct DateOrder {
        std::array<int, 3> parts { 0, 1, 2 };
        QString separator = QStringLiteral("-");
    };
    static DateOrder dateOrder(const QString& format);

signals:
    void applied(const PropertiesResult& result);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildGeneral();
    QWidget* buildSecurity();
    QWidget* buildDescription(const QFont& font);
    QLineEdit* numberBox(const char* name, int maxLength, PropertyField field);
    void load(const EntryFields& fields);
    // Every field as the boxes hold it.
    PropertyChanges shown() const;
    // What the boxes hold now counts as stored.
    void remember();
    void fieldChanged();
    // Saves; true when the change was written.
    bool apply();
    void refuse(PropertyField field, const QString& message);

    Dialogs& m_dialogs;
    Applier m_applier;
    bool m_comment = false;
    bool m_keywordsChanged = false;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_size = nullptr;
    QLineEdit* m_fileDate = nullptr;
    std::array<QLineEdit*, 3> m_upload {}; // month, day, year
    std::array<QLineEdit*, 3> m_lastDownload {};
    QLineEdit* m_downloads = nullptr;
    QLineEdit* m_cost = nullptr;
    StepButtons* m_downloadSteps = nullptr;
    StepButtons* m_costSteps = nullptr;
    QLineEdit* m_uploader = nullptr;
    std::array<QCheckBox*, 7> m_attributes {};
    QLineEdit* m_password = nullptr;
    std::array<QLineEdit*, 5> m_keywords {};
    QPlainTextEdit* m_description = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_apply = nullptr;
    QHash<QObject*, PropertyField> m_rangeChecked;
    PropertyChanges m_loaded; // shown() after loading or the last write
    QHash<QObject*, QString> m_loadedTexts; // the range-checked boxes' texts, likewise
};

} // namespace qv
