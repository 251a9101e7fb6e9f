#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace qv::test {

namespace {
const char* toString(Dialogs::Icon icon)
{
    static const char* const names[] = { "None", "Information", "Warning", "Critical", "Question", "Exclamation" };
    return names[int(icon)];
}
const char* toString(Dialogs::Buttons buttons)
{
    static const char* const names[] = { "Ok", "YesNo", "YesNoCancel", "OkCancel" };
    return names[int(buttons)];
}
const char* toString(Dialogs::Answer answer)
{
    static const char* const names[] = { "Ok", "Cancel", "Yes", "No" };
    return names[int(answer)];
}
} // namespace

void ScriptedDialogs::message(QWidget*, const QString& title, const QString& text, Icon icon)
{
    calls.append({ QStringLiteral("message"), title, text, icon, Buttons::Ok, Answer::Ok });
}

Dialogs::Answer ScriptedDialogs::question(
    QWidget*, const QString& title, const QString& text, Icon icon, Buttons buttons, Answer defaultAnswer)
{
    calls.append({ QStringLiteral("question"), title, text, icon, buttons, defaultAnswer });
    if (answers.empty()) {
        ADD_FAILURE() << "Unplanned question \"" << title.toStdString() << "\": \"" << text.toStdString() << "\" (icon "
                      << toString(icon) << ", buttons " << toString(buttons) << ", default " << toString(defaultAnswer)
                      << "); push an answer to ScriptedDialogs::answers first";
        return defaultAnswer;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

int ScriptedDialogs::choose(QWidget*, const QString& title, const QString& text, Icon icon, const QStringList& buttons,
    int defaultButton, int closedAnswer)
{
    Call call { QStringLiteral("choice"), title, text, icon, Buttons::Ok, Answer::Ok, buttons, defaultButton };
    calls.append(call);
    if (choices.empty()) {
        ADD_FAILURE() << "Unplanned question \"" << title.toStdString() << "\": \"" << text.toStdString()
                      << "\" with buttons \"" << buttons.join(QStringLiteral("\", \"")).toStdString()
                      << "\"; push a caption to ScriptedDialogs::choices first";
        return closedAnswer;
    }
    const QString caption = choices.front();
    choices.pop_front();
    if (caption.isEmpty())
        return closedAnswer;
    const qsizetype index = buttons.indexOf(caption);
    if (index < 0) {
        ADD_FAILURE() << "Planned button \"" << caption.toStdString() << "\" is not offered by \""
                      << title.toStdString() << "\"";
        return closedAnswer;
    }
    return int(index);
}

QString ScriptedDialogs::pickFolder(QWidget*, const QString& title, const QString& start)
{
    calls.append({ QStringLiteral("folder"), title, start, Icon::None, Buttons::OkCancel, Answer::Ok });
    if (folders.empty())
        return folder;
    const QString f = folders.front();
    folders.pop_front();
    return f;
}

QString ScriptedDialogs::pickFile(QWidget*, const QString& title, const QString& start)
{
    calls.append({ QStringLiteral("file"), title, start, Icon::None, Buttons::OkCancel, Answer::Ok });
    if (files.empty())
        return {};
    const QString f = files.front();
    files.pop_front();
    return f;
}

std::optional<QFont> ScriptedDialogs::pickFont(QWidget*, const QFont& initial)
{
    calls.append({ QStringLiteral("font"), {}, initial.family(), Icon::None, Buttons::OkCancel, Answer::Ok });
    return font;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const Call& c : calls)
        if (c.kind == QLatin1String("message") || c.kind == QLatin1String("question")
            || c.kind == QLatin1String("choice"))
            out << c.title + QLatin1Char('|') + c.text;
    return out;
}

void ScriptedDialogs::verifyAllAnswersUsed() const
{
    EXPECT_TRUE(answers.empty()) << answers.size() << " planned answer(s) never asked for, next "
                                 << (answers.empty() ? "" : toString(answers.front()));
    EXPECT_TRUE(choices.empty()) << choices.size() << " planned choice(s) never asked for";
    EXPECT_TRUE(folders.empty()) << folders.size() << " planned folder(s) never picked";
    EXPECT_TRUE(files.empty()) << files.size() << " planned file(s) never picked";
}

} // namespace qv::test
