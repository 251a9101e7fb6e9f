#pragma once

#include "editing/Descriptions.h"

#include <QDialog>

#include <functional>

class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace qv {

class Dialogs;

// "Global Description": one text for every selected entry. OK asks first, then hands the text
// to the runner (the work of Descriptions::giveAll) and closes once it is written.
class GlobalDescriptionDialog : public QDialog {
    Q_OBJECT
public:
    using Runner = std::function<DescriptionsResult(const QString&)>;

    GlobalDescriptionDialog(Dialogs& dialogs, const QFont& descriptionFont, Runner runner, QWidget* parent = nullptr);

signals:
    void written(const DescriptionsResult& result);

private:
    void run();

    Dialogs& m_dialogs;
    Runner m_runner;
    QTabWidget* m_tabs = nullptr;
    QPlainTextEdit* m_text = nullptr;
};

} // namespace qv
