#include "transfer/widgets/CleanDialog.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qv {

CleanDialog::CleanDialog(Board& board, Dialogs& dialogs, const QStringList& areaItems, int currentArea, QWidget* parent)
    : QDialog(parent)
    , m_board(board)
    , m_dialogs(dialogs)
{
    setObjectName("CleanAreas");
    setWindowTitle(QStringLiteral("Clean Areas"));
    m_areas = new QListWidget(this);
    m_areas->setObjectName("Areas");
    m_areas->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_areas->addItems(areaItems);
    for (int i = 0; i < m_areas->count(); ++i)
        if (m_areas->item(i)->text().left(5).toInt() == currentArea) {
            m_areas->item(i)->setSelected(true);
            m_areas->scrollToItem(m_areas->item(i));
        }
    m_expired = new QCheckBox(QStringLiteral("&Expired: past the area's kill days (to its move area)"), this);
    m_expired->setObjectName("Expired");
    m_expired->setChecked(true);
    m_missing = new QCheckBox(QStringLiteral("&Missing: the file is not on disk"), this);
    m_missing->setObjectName("Missing");
    m_deleted = new QCheckBox(QStringLiteral("&Deleted: marked Deleted"), this);
    m_deleted->setObjectName("Deleted");
    m_plan = new QTreeWidget(this);
    m_plan->setObjectName("Plan");
    m_plan->setHeaderLabels({ QStringLiteral("Entry"), QStringLiteral("Reason"), QStringLiteral("Action") });
    m_plan->setUniformRowHeights(true);
    m_plan->header()->setStretchLastSection(true);
    m_summary = new QLabel(this);
    m_summary->setObjectName("Summary");
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("Progress");
    m_progress->setVisible(false);
    auto* previewButton = new QPushButton(QStringLiteral("&Preview"), this);
    previewButton->setObjectName("Preview");
    previewButton->setDefault(true);
    m_clean = new QPushButton(QStringLiteral("C&lean"), this);
    m_clean->setObjectName("Clean");
    m_clean->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName("Close");
    connect(previewButton, &QPushButton::clicked, this, &CleanDialog::preview);
    connect(m_clean, &QPushButton::clicked, this, &CleanDialog::clean);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    for (QCheckBox* box : { m_expired, m_missing, m_deleted })
        connect(box, &QCheckBox::toggled, this, &CleanDialog::choicesChanged);
    connect(m_areas, &QListWidget::itemSelectionChanged, this, &CleanDialog::choicesChanged);

    auto* rules = new QVBoxLayout;
    rules->addWidget(new QLabel(QStringLiteral("Remove or move entries that are:"), this));
    rules->addWidget(m_expired);
    rules->addWidget(m_missing);
    rules->addWidget(m_deleted);
    rules->addWidget(new QLabel(QStringLiteral("Comment lines and Locked entries stay;\n"
                                               "files of CD-ROM areas are never deleted."),
        this));
    rules->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_areas, 1);
    top->addLayout(rules, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_progress);
    buttons->addWidget(previewButton);
    buttons->addWidget(m_clean);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Areas to clean:"), this));
    layout->addLayout(top);
    layout->addWidget(m_plan, 2);
    layout->addLayout(buttons);
    resize(760, 560);
}

AreaCleaner::Request CleanDialog::request() const
{
    AreaCleaner::Request r;
    for (int i = 0; i < m_areas->count(); ++i)
        if (m_areas->item(i)->isSelected())
            r.areas.push_back(m_areas->item(i)->text().left(5).toInt());
    r.expired = m_expired->isChecked();
    r.missing = m_missing->isChecked();
    r.deleted = m_deleted->isChecked();
    r.today = m_today;
    return r;
}

void CleanDialog::choicesChanged()
{
    // What is shown no longer says what Clean would do.
    if (m_previewed) {
        m_previewed = false;
        m_plan->clear();
        m_summary->setText(QStringLiteral("Press Preview to see what would go."));
    }
    m_clean->setEnabled(false);
}

bool CleanDialog::step(size_t index, size_t count)
{
    m_progress->setMaximum(int(count));
    m_progress->setValue(int(index));
    m_progress->repaint();
    return true;
}

void CleanDialog::preview()
{
    const AreaCleaner::Request r = request();
    m_plan->clear();
    if (r.areas.empty() || (!r.expired && !r.missing && !r.deleted)) {
        m_summary->setText(QStringLiteral("Choose the areas and what to clean."));
        m_clean->setEnabled(false);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_progress->setVisible(true);
    m_planned = AreaCleaner::prepare(m_board, r, [this](size_t i, size_t n, int) { return step(i, n); });
    m_progress->setVisible(false);
    QApplication::restoreOverrideCursor();

    QList<QTreeWidgetItem*> top;
    int going = 0, staying = 0, leftAlone = 0;
    for (const AreaCleaner::AreaPlan& a : m_planned.areas) {
        if (a.items.empty() && a.problem.isEmpty() && a.note.isEmpty())
            continue;
        const int goes = int(a.items.size()) - a.count(AreaCleaner::Action::Stay);
        going += goes;
        staying += a.count(AreaCleaner::Action::Stay);
        QString what = a.problem.isEmpty() ? messages::entriesText(goes) : QStringLiteral("left alone: ") + a.problem;
        if (!a.problem.isEmpty())
            ++leftAlone;
        if (!a.note.isEmpty())
            what += QStringLiteral("; ") + a.note;
        auto* area = new QTreeWidgetItem(QStringList {
            Board::numberedItem(a.area, m_board.areaName(a.area).trimmed()) + QStringLiteral(": ") + what });
        for (const AreaCleaner::Item& item : a.items) {
            QString reason = AreaCleaner::reasonText(item.reason);
            if (!item.detail.isEmpty())
                reason += QStringLiteral(" (") + item.detail + QLatin1Char(')');
            area->addChild(new QTreeWidgetItem(QStringList {
                QStringLiteral("%1  %2").arg(item.position + 1).arg(m_board.text(a.rows[size_t(item.position)].name)),
                reason, AreaCleaner::actionText(item) }));
        }
        top << area;
    }
    m_plan->addTopLevelItems(top);
    for (QTreeWidgetItem* area : top)
        area->setFirstColumnSpanned(true);
    m_plan->expandAll();
    for (int c = 0; c < 2; ++c)
        m_plan->resizeColumnToContents(c);
    QString summary = QStringLiteral("%1 would go, %2 stay").arg(messages::entriesText(going)).arg(staying);
    if (leftAlone)
        summary += QStringLiteral(", %1 area(s) left alone").arg(leftAlone);
    m_summary->setText(summary);
    m_previewed = true;
    m_clean->setEnabled(going > 0);
}

bool CleanDialog::clean()
{
    if (!m_previewed)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_progress->setVisible(true);
    m_outcome = AreaCleaner(m_board).apply(m_planned, [this](size_t i, size_t n, int) { return step(i, n); });
    m_progress->setVisible(false);
    QApplication::restoreOverrideCursor();

    qint64 removed = 0, moved = 0, deleted = 0, trashed = 0;
    QStringList problems;
    for (const AreaCleaner::AreaOutcome& o : m_outcome.areas) {
        moved += qint64(o.moved.size());
        removed += qint64(o.removed.size() - o.moved.size());
        deleted += o.deleted.size();
        trashed += o.trashed.size();
        if (o.error)
            problems << (o.movedButKept ? messages::moveLeftSource(o.area, o.error->code, o.error->message).text
                                        : messages::changeFailed(o.area, QStringLiteral("Clean Areas"), o.error->code,
                                            o.error->message, false)
                                              .text);
        for (const QString& path : o.notCopied)
            problems << QStringLiteral("Area %1: %2 could not be copied; it stays in the area's directory.")
                            .arg(o.area)
                            .arg(path);
    }
    QString text = QStringLiteral("%1 removed, %2 moved, %3 file(s) deleted.")
                       .arg(messages::entriesText(removed), messages::entriesText(moved))
                       .arg(deleted);
    if (trashed > 0)
        text += QStringLiteral(" %1 of them went to the trash.").arg(trashed);
    if (!problems.isEmpty())
        text += QStringLiteral("\n\n") + problems.join(QLatin1Char('\n'));
    m_dialogs.message(this, QStringLiteral("Clean Areas"), text,
        problems.isEmpty() ? Dialogs::Icon::Information : Dialogs::Icon::Warning);
    // What is left to do, read afresh.
    preview();
    return removed + moved > 0;
}

std::vector<int> CleanDialog::changedAreas() const
{
    std::vector<int> out;
    for (const AreaCleaner::AreaOutcome& o : m_outcome.areas) {
        if (!o.removed.empty())
            out.push_back(o.area);
        if (!o.moved.empty())
            out.push_back(o.movedTo);
    }
    return out;
}

} // namespace qv
