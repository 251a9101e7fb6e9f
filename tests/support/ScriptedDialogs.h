#pragma once

#include "platform/widgets/Dialogs.h"

#include <QList>
#include <QString>

#include <deque>

namespace qv::test {

// Records every message and question and answers from a script instead of a modal loop.
class ScriptedDialogs : public Dialogs {
public:
    struct Call {
        QString kind; // "message", "question", "folder", "font"
        QString title;
        QString text;
        Icon icon = Icon::None;
    };

    void message(QWidget*, const QString& title, const QString& text, Icon icon) override
    {
        calls.append({ "message", title, text, icon });
    }
    Answer question(
        QWidget*, const QString& title, const QString& text, Icon icon, Buttons, Answer defaultAnswer) override
    {
        calls.append({ "question", title, text, icon });
        if (answers.empty())
            return defaultAnswer;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QString pickFolder(QWidget*, const QString& title, const QString&) override
    {
        calls.append({ "folder", title, {}, Icon::None });
        return folder;
    }
    std::optional<QFont> pickFont(QWidget*, const QFont& initial) override
    {
        calls.append({ "font", {}, initial.family(), Icon::None });
        return font;
    }

    QList<Call> calls;
    std::deque<Answer> answers;
    QString folder;
    std::optional<QFont> font;
};

} // namespace qv::test
