#pragma once

#include "settings/Settings.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

#include <QDialog>
class QLabel;
class QLineEdit;
class QPushButton;

namespace qv {

class Dialogs;
class ProfileFile;

// The three-page assistant of a first run: welcome, board location, archiver search. Each page
// is a window of its own; moving on closes one and opens the next.
class FirstRunSetup : public QObject {
    Q_OBJECT
public:
    struct Environment {
        QString ra; // the RA variable, empty when unset
        QString path; // PATH
        QString home; // where the location page starts without RA
    };
    enum class Outcome { Finished, Cancelled, WriteFailed };

    FirstRunSetup(ProfileFile& profile, Dialogs& dialogs, Environment environment, QObject* parent = nullptr);
    ~FirstRunSetup() override;

    // Shows the welcome page and returns once the assistant has ended.
    Outcome run();
    // Shows the welcome page; ended() tells the outcome. Tests drive the pages from here.
    void start();
    QDialog* currentPage() const { return m_page; }
    std::optional<Outcome> outcome() const { return m_outcome; }

    static const QString kCancelQuestion;

signals:
    void ended(qv::FirstRunSetup::Outcome outcome);

private:
    enum class Page { Welcome, Location, Archivers };
    void show(Page page);
    QDialog* makePage(Page page);
    void end(Outcome outcome);
    bool confirmCancel();
    void locationNext();
    void browse();
    void searchArchivers();
    void finish();

    ProfileFile& m_profile;
    Dialogs& m_dialogs;
    Environment m_env;
    QPointer<QDialog> m_page;
    Page m_current = Page::Welcome;
    QString m_location; // the text box's content, kept across Back and Next
    QLineEdit* m_locationEdit = nullptr;
    QLabel* m_archiverText = nullptr;
    QPushButton* m_finish = nullptr;
    std::array<ArchiverSlot, 32> m_slots {}; // what the search found, written by Finish
    std::optional<Outcome> m_outcome;
};

} // namespace qv
