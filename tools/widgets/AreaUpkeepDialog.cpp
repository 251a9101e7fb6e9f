#include "tools/widgets/AreaUpkeepDialog.h"

#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace qv {

AreaUpkeepDialog::AreaUpkeepDialog(
    Dialogs& dialogs, const QStringList& areaItems, const QString& runCaption, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
{
    m_list = new QListWidget(this);
    m_list->setObjectName("Areas");
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->addItems(areaItems);
    m_list->selectAll();
    m_preview = new QPlainTextEdit(this);
    m_preview->setObjectName("Preview");
    m_preview->setReadOnly(true);
    m_preview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_preview->setPlaceholderText(QStringLiteral("Choose the areas and press Preview to see what would change."));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("Progress");
    m_progress->setVisible(false);
    m_status = new QLabel(this);
    m_status->setObjectName("Status");
    m_status->setWordWrap(true);
    m_previewButton = new QPushButton(QStringLiteral("Pre&view"), this);
    m_previewButton->setObjectName("PreviewButton");
    m_previewButton->setDefault(true);
    m_runButton = new QPushButton(runCaption, this);
    m_runButton->setObjectName("Run");
    m_runButton->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName("Close");
    connect(m_previewButton, &QPushButton::clicked, this, &AreaUpkeepDialog::preview);
    connect(m_runButton, &QPushButton::clicked, this, &AreaUpkeepDialog::runWork);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // A preview holds only for the areas it was made for.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] { m_runButton->setEnabled(false); });

    auto* areas = new QWidget(this);
    auto* areasLayout = new QVBoxLayout(areas);
    areasLayout->setContentsMargins(0, 0, 0, 0);
    areasLayout->addWidget(new QLabel(QStringLiteral("&Areas:"), areas));
    areasLayout->addWidget(m_list, 1);
    qobject_cast<QLabel*>(areasLayout->itemAt(0)->widget())->setBuddy(m_list);
    auto* found = new QWidget(this);
    auto* foundLayout = new QVBoxLayout(found);
    foundLayout->setContentsMargins(0, 0, 0, 0);
    foundLayout->addWidget(new QLabel(QStringLiteral("What would change:"), found));
    foundLayout->addWidget(m_preview, 1);
    auto* split = new QSplitter(this);
    split->addWidget(areas);
    split->addWidget(found);
    split->setStretchFactor(1, 1);
    split->setSizes({ 200, 520 });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(m_previewButton);
    buttons->addWidget(m_runButton);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    resize(760, 480);
}

std::vector<int> AreaUpkeepDialog::chosenAreas() const
{
    std::vector<int> out;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected())
            out.push_back(m_list->item(i)->text().left(5).toInt());
    return out;
}

AreaUpkeepDialog::Report AreaUpkeepDialog::withProgress(bool change)
{
    const std::vector<int> areas = change ? m_previewed : chosenAreas();
    m_progress->setRange(0, int(areas.size()));
    m_progress->setValue(0);
    m_progress->setVisible(true);
    m_previewButton->setEnabled(false);
    m_runButton->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto progress = [&](size_t k) {
        m_progress->setValue(int(k));
        m_status->setText(QStringLiteral("Now doing: area %1").arg(areas[k]));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    Report r = change ? work(areas, progress) : survey(areas, progress);
    QApplication::restoreOverrideCursor();
    m_progress->setVisible(false);
    m_previewButton->setEnabled(true);
    m_preview->setPlainText(r.lines.join(QLatin1Char('\n')));
    m_status->setText(r.summary);
    if (!change)
        m_previewed = areas;
    if (!r.failures.isEmpty())
        m_dialogs.message(this, windowTitle(), r.failures.join(QLatin1Char('\n')), Dialogs::Icon::Exclamation);
    return r;
}

void AreaUpkeepDialog::preview()
{
    if (chosenAreas().empty()) {
        m_dialogs.message(
            this, QStringLiteral("Error!"), QStringLiteral("Select the areas first."), Dialogs::Icon::Exclamation);
        return;
    }
    const Report r = withProgress(false);
    m_runButton->setEnabled(r.somethingToDo);
}

bool AreaUpkeepDialog::runWork()
{
    if (m_previewed.empty())
        return false;
    const Report r = withProgress(true);
    m_changed = m_changed || r.changed;
    m_previewed.clear();
    return r.changed;
}

} // namespace qv
