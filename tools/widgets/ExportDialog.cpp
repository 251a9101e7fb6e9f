#include "tools/widgets/ExportDialog.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

ExportDialog::ExportDialog(const Board& board, Dialogs& dialogs, int startupArea, QWidget* parent)
    : QDialog(parent)
    , m_board(board)
    , m_dialogs(dialogs)
{
    setObjectName("Form16");
    setWindowTitle(QStringLiteral("Export FILES.BBS"));

    auto* label = new QLabel(QStringLiteral("Select area's to export:"), this);
    label->setObjectName("Label1");
    m_list = new QListWidget(this);
    m_list->setObjectName("List1");
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->addItems(board.numberedAreaItems());
    int current = 0;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->text().left(5).toInt() == startupArea) {
            current = i;
            break;
        }
    if (m_list->count() > 0)
        m_list->setCurrentRow(current);

    auto* frame = new QGroupBox(QStringLiteral("Export"), this);
    frame->setObjectName("Frame1");
    m_counters = new QCheckBox(QStringLiteral("&Include Download Counters"), frame);
    m_counters->setObjectName("Check1");
    m_short = new QCheckBox(QStringLiteral("&Short File Descriptions"), frame);
    m_short->setObjectName("Check2");
    m_comments = new QCheckBox(QStringLiteral("Include &Comments"), frame);
    m_comments->setObjectName("Check3");
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_counters);
    frameLayout->addWidget(m_short);
    frameLayout->addWidget(m_comments);

    m_progress = new QLabel(this);
    m_progress->setObjectName("Label2");
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("Command3");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName("Command1");
    connect(ok, &QPushButton::clicked, this, &ExportDialog::exportSelected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    resize(420, 420);
}

ExportOptions ExportDialog::options() const
{
    return { m_counters->isChecked(), m_short->isChecked(), m_comments->isChecked() };
}

std::vector<int> ExportDialog::selectedAreas() const
{
    std::vector<int> areas;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected())
            areas.push_back(m_list->item(i)->text().left(5).toInt());
    return areas;
}

void ExportDialog::exportSelected()
{
    const FilesBbsExport exporter(m_board);
    const ExportOptions chosen = options();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringList written;
    int tried = 0;
    for (int i = 0; i < m_list->count(); ++i) {
        if (!m_list->item(i)->isSelected())
            continue;
        const QString item = m_list->item(i)->text();
        const auto result = exporter.exportArea(item.left(5).toInt(), chosen, [&](uint64_t records) {
            m_progress->setText(
                QStringLiteral("Now doing: ") + item.mid(7) + QStringLiteral(" (%1 Files)").arg(records));
            m_progress->repaint();
        });
        ++tried;
        if (result.ok)
            written << result.hostPath;
        if (!result.ok) {
            QApplication::restoreOverrideCursor();
            const messages::Message m = messages::filesBbsNotWritten(result.listPath);
            m_dialogs.message(this, m.title, m.text, Dialogs::Icon::Exclamation);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    m_progress->clear();
    m_progress->repaint();
    QApplication::restoreOverrideCursor();
    if (tried == 0)
        return;
    // Done: where the lists went, then back to the window.
    const messages::Message m = messages::filesBbsWritten(tried, written);
    m_dialogs.message(this, m.title, m.text, Dialogs::Icon::Information);
    accept();
}

} // namespace qv
