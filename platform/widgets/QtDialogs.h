#pragma once

#include "platform/widgets/Dialogs.h"

namespace qv {

// Dialogs shown with Qt's own message boxes and pickers.
class QtDialogs : public Dialogs {
public:
    void message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    Answer question(QWidget* parent, const QString& title, const QString& text, Icon icon, Buttons buttons,
        Answer defaultAnswer) override;
    int choose(QWidget* parent, const QString& title, const QString& text, Icon icon, const QStringList& buttons,
        int defaultButton, int closedAnswer) override;
    QString pickFolder(QWidget* parent, const QString& title, const QString& start) override;
    QString pickFile(QWidget* parent, const QString& title, const QString& start) override;
    std::optional<QFont> pickFont(QWidget* parent, const QFont& initial) override;
};

} // namespace qv
