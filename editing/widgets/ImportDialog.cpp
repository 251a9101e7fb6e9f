#include "editing/widgets/ImportDialog.h"

#include "board/Board.h"
#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qv {

ImportDialog::ImportDialog(Board& board, Dialogs& dialogs, int area, const QString& uploader, QWidget* parent)
    : QDialog(parent)
    , m_board(board)
    , m_dialogs(dialogs)
    , m_area(area)
    , m_uploader(uploader)
{
    setObjectName("ImportFilesBbs");
    setWindowTitle(QStringLiteral("Import FILES.BBS"));
    auto* areaLabel = new QLabel(QStringLiteral("Area: %1 - %2").arg(area).arg(board.areaName(area).trimmed()), this);
    areaLabel->setObjectName("AreaLabel");
    m_list = new QLineEdit(this);
    m_list->setObjectName("ListFile");
    m_list->setPlaceholderText(QStringLiteral("FILES.BBS in the area's directory"));
    m_missing = new QCheckBox(QStringLiteral("Also add files that are &not on disk (Missing/Offline)"), this);
    m_missing->setObjectName("Missing");
    m_describe = new QCheckBox(QStringLiteral("&Update descriptions of files already in the area"), this);
    m_describe->setObjectName("UpdateDescriptions");
    m_plan = new QTreeWidget(this);
    m_plan->setObjectName("Plan");
    m_plan->setHeaderLabels(
        { QStringLiteral("Line"), QStringLiteral("Name"), QStringLiteral("Action"), QStringLiteral("Description") });
    m_plan->setRootIsDecorated(false);
    m_plan->setUniformRowHeights(true);
    m_plan->header()->setStretchLastSection(true);
    m_summary = new QLabel(this);
    m_summary->setObjectName("Summary");
    auto* refresh = new QPushButton(QStringLiteral("&Preview"), this);
    refresh->setObjectName("Preview");
    m_import = new QPushButton(QStringLiteral("&Import"), this);
    m_import->setObjectName("Import");
    m_import->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName("Cancel");
    connect(refresh, &QPushButton::clicked, this, &ImportDialog::preview);
    connect(m_missing, &QCheckBox::toggled, this, &ImportDialog::preview);
    connect(m_describe, &QCheckBox::toggled, this, &ImportDialog::preview);
    connect(m_list, &QLineEdit::editingFinished, this, &ImportDialog::preview);
    connect(m_import, &QPushButton::clicked, this, [this] {
        if (import())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&List:"), m_list);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(refresh);
    buttons->addWidget(m_import);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(areaLabel);
    layout->addLayout(form);
    layout->addWidget(m_missing);
    layout->addWidget(m_describe);
    layout->addWidget(m_plan, 1);
    layout->addLayout(buttons);
    resize(720, 480);
    preview();
}

FilesBbsImport::Request ImportDialog::request() const
{
    FilesBbsImport::Request r;
    r.listFile = m_list->text().trimmed();
    r.missing = m_missing->isChecked();
    r.updateDescriptions = m_describe->isChecked();
    r.uploader = m_uploader;
    return r;
}

void ImportDialog::preview()
{
    m_plan->clear();
    m_planned = FilesBbsImport::prepare(m_board, m_area, request());
    if (m_planned.error) {
        m_summary->setText(QStringLiteral("Cannot read %1: %2")
                               .arg(m_planned.listPath, QString::fromStdString(m_planned.error->message)));
        m_import->setEnabled(false);
        return;
    }
    if (m_list->text().trimmed().isEmpty())
        m_list->setPlaceholderText(m_planned.listPath);
    QList<QTreeWidgetItem*> rows;
    int changes = 0;
    for (const auto& item : m_planned.items) {
        using A = FilesBbsImport::Action;
        if (item.action == A::Add || item.action == A::AddMissing || item.action == A::AddComment
            || item.action == A::Describe)
            ++changes;
        QString description = m_board.text(item.description);
        description.replace(QLatin1String("\r\n"), QStringLiteral(" | "));
        const QString action = item.reason.isEmpty()
            ? FilesBbsImport::actionText(item.action)
            : FilesBbsImport::actionText(item.action) + QStringLiteral(": ") + item.reason;
        rows << new QTreeWidgetItem(
            QStringList { QString::number(item.line), item.name, action, description.left(200) });
    }
    m_plan->addTopLevelItems(rows);
    m_plan->resizeColumnToContents(0);
    m_plan->resizeColumnToContents(1);
    m_plan->resizeColumnToContents(2);
    m_summary->setText(
        QStringLiteral("%1 to add, %2 new descriptions, %3 refused")
            .arg(m_planned.count(FilesBbsImport::Action::Add) + m_planned.count(FilesBbsImport::Action::AddMissing)
                + m_planned.count(FilesBbsImport::Action::AddComment))
            .arg(m_planned.count(FilesBbsImport::Action::Describe))
            .arg(m_planned.count(FilesBbsImport::Action::Refused)));
    m_import->setEnabled(changes > 0);
}

bool ImportDialog::import()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_outcome = FilesBbsImport::apply(m_board, m_area, m_planned, request());
    QApplication::restoreOverrideCursor();
    if (m_outcome.error) {
        m_dialogs.message(this, QStringLiteral("Error!"),
            QStringLiteral("Nothing was imported: ") + QString::fromStdString(m_outcome.error->message),
            Dialogs::Icon::Exclamation);
        return false;
    }
    if (!m_outcome.vanished.isEmpty())
        m_dialogs.message(this, QStringLiteral("Import FILES.BBS"),
            QStringLiteral("These files left the directory before they were added:\n")
                + m_outcome.vanished.join(QLatin1Char('\n')),
            Dialogs::Icon::Information);
    return true;
}

} // namespace qv
