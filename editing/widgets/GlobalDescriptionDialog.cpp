#include "editing/widgets/GlobalDescriptionDialog.h"

#include "board/Messages.h"
#include "editing/widgets/PropertiesDialog.h"
#include "platform/widgets/Dialogs.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qv {

GlobalDescriptionDialog::GlobalDescriptionDialog(
    Dialogs& dialogs, const QFont& descriptionFont, Runner runner, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
    , m_runner(std::move(runner))
{
    setObjectName("GlobalDescriptionDialog");
    setWindowTitle(QStringLiteral("Global Description"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("tabGlobal");
    auto* page = new QWidget;
    page->setObjectName("GlobalDescription");
    auto* pageLayout = new QVBoxLayout(page);
    m_text = new QPlainTextEdit(page);
    m_text->setObjectName("txtDescription");
    m_text->setFont(descriptionFont);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setTabChangesFocus(true);
    const int text = QFontMetrics(descriptionFont).horizontalAdvance(PropertiesDialog::ruler());
    const int margins = 2 * (m_text->frameWidth() + int(m_text->document()->documentMargin()) + 2);
    m_text->setFixedWidth(text + margins + m_text->verticalScrollBar()->sizeHint().width());
    m_text->setMinimumHeight(QFontMetrics(descriptionFont).lineSpacing() * 14);
    m_text->clear();
    pageLayout->addWidget(m_text);
    m_tabs->addTab(page, QStringLiteral("&Global Description"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("cmdOK");
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("cmdCancel");
    auto* apply = new QPushButton(QStringLiteral("&Apply"), this);
    apply->setObjectName("cmdApply");
    apply->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : { ok, cancel, apply })
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &GlobalDescriptionDialog::run);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_text->setFocus(Qt::OtherFocusReason);
}

void GlobalDescriptionDialog::run()
{
    const messages::Message question = messages::globalDescriptionQuestion();
    if (m_dialogs.question(this, question.title, question.text, Dialogs::Icon::Exclamation, Dialogs::Buttons::YesNo,
            Dialogs::Answer::No)
        != Dialogs::Answer::Yes)
        return;
    const DescriptionsResult result = m_runner(m_text->toPlainText());
    switch (result.outcome) {
    case DescriptionsResult::Outcome::Written:
    case DescriptionsResult::Outcome::NothingToWrite:
        emit written(result);
        accept();
        return;
    case DescriptionsResult::Outcome::Refused:
        m_dialogs.message(this, messages::rangeErrorTitle(), result.message, Dialogs::Icon::Exclamation);
        m_text->setFocus(Qt::OtherFocusReason);
        return;
    case DescriptionsResult::Outcome::Failed:
        m_dialogs.message(this, QStringLiteral("Quorvex"), result.message, Dialogs::Icon::Warning);
        // The entries are no longer those shown: the dialog closes, and the list is read again.
        if (result.rowsChanged)
            reject();
        return;
    }
}

} // namespace qv
