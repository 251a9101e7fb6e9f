#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace qv {

// Every message box, question and picker of the program goes through this, so tests answer them
// without a modal loop and check their exact texts.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical, Question, Exclamation };
    enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Dialogs() = default;
    virtual void message(QWidget* parent, const QString& title, const QString& text, Icon icon) = 0;
    virtual Answer question(QWidget* parent, const QString& title, const QString& text, Icon icon,
                            Buttons buttons, Answer defaultAnswer) = 0;
    // A question with buttons of its own captions: returns the index of the button pressed, or
    // closedAnswer when the window is closed without one (Escape, the close box).
    virtual int choose(QWidget* parent, const QString& title, const QString& text, Icon icon,
        const QStringList& buttons, int defaultButton, int closedAnswer) = 0;
    // An empty string when cancelled.
    virtual QString pickFolder(QWidget* parent, const QString& title, const QString& start) = 0;
    // A file to open (a program, say), starting at the file or directory start; empty when cancelled.
    virtual QString pickFile(QWidget* parent, const QString& title, const QString& start) = 0;
    virtual std::optional<QFont> pickFont(QWidget* parent, const QFont& initial) = 0;
};

} // namespace qv
