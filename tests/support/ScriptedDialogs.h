#pragma once

// Dialogs for tests: records every call and answers from a plan instead of a modal loop.
//
//   qv::test::ScriptedDialogs dialogs;
//   dialogs.answers.push_back(qv::Dialogs::Answer::Yes);  // the next question is answered Yes
//   dialogs.folders.push_back("/srv/files");               // the next folder picker returns this
//   dialogs.choices.push_back("&No to All");                // the next custom-button question
//   ... run the code under test with `dialogs` as its qv::Dialogs ...
//   ASSERT_EQ(dialogs.calls.size(), 1);
//   EXPECT_EQ(dialogs.calls[0].kind, "question");
//   EXPECT_EQ(dialogs.calls[0].title, "Remove");
//   EXPECT_EQ(dialogs.calls[0].buttons, qv::Dialogs::Buttons::YesNo);
//   EXPECT_EQ(dialogs.messages(), QStringList({ "Remove|Remove 1 entry?" }));
//   dialogs.verifyAllAnswersUsed();                        // a planned answer left over fails
//
// A question with no planned answer fails the running test (ADD_FAILURE naming the question) and
// returns its default answer. The folder picker takes the next of `folders`, else the standing
// `folder`; the font picker answers `font` (an empty folder and nullopt mean the operator
// cancelled); they never fail the test.

#include "platform/widgets/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

namespace qv::test {

class ScriptedDialogs : public Dialogs {
public:
    struct Call {
        QString kind; // "message", "question", "choice", "folder", "font"
        QString title;
        QString text; // the message text; the start folder for "folder", the initial family for "font"
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer defaultAnswer = Answer::Ok;
        QStringList buttonTexts = {}; // "choice": the captions offered
        int defaultButton = -1; // "choice"
    };

    void message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    Answer question(QWidget* parent, const QString& title, const QString& text, Icon icon, Buttons buttons,
        Answer defaultAnswer) override;
    int choose(QWidget* parent, const QString& title, const QString& text, Icon icon, const QStringList& buttons,
        int defaultButton, int closedAnswer) override;
    QString pickFolder(QWidget* parent, const QString& title, const QString& start) override;
    // Takes the next of `files` (an empty deque: cancelled), recorded as kind "file".
    QString pickFile(QWidget* parent, const QString& title, const QString& start) override;
    std::optional<QFont> pickFont(QWidget* parent, const QFont& initial) override;

    // "title|text" of every message and question, in order.
    QStringList messages() const;
    // Fails the running test when planned answers, choices, folders or files were not asked for.
    void verifyAllAnswersUsed() const;

    QList<Call> calls;
    std::deque<Answer> answers;
    // The next "choice" presses the button of this caption ("" closes the window).
    std::deque<QString> choices;
    std::deque<QString> folders;
    std::deque<QString> files;
    QString folder;
    std::optional<QFont> font;
};

} // namespace qv::test
