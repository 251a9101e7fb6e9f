#include "tools/widgets/DuplicatesWindow.h"

#include "board/Board.h"
#include "storage/Encoding.h"
#include "tools/FileSearch.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeView>
#include <QVBoxLayout>

namespace qv {

DuplicatesModel::DuplicatesModel(const Board& board, QObject* parent)
    : QAbstractTableModel(parent)
    , m_board(board)
{
}

void DuplicatesModel::setGroups(std::vector<DuplicateSearch::Group> groups)
{
    beginResetModel();
    m_groups = std::move(groups);
    m_rows.clear();
    for (size_t g = 0; g < m_groups.size(); ++g) {
        m_rows.push_back({ int(g + 1), nullptr });
        for (const auto& e : m_groups[g].entries)
            m_rows.push_back({ int(g + 1), &e });
    }
    endResetModel();
}

int DuplicatesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DuplicatesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DuplicatesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const Row& r = m_rows[size_t(index.row())];
    if (!r.entry) {
        const auto& group = m_groups[size_t(r.group - 1)];
        return index.column() == Area ? QStringLiteral("Group %1: %2 entries").arg(r.group).arg(group.entries.size())
                                      : QVariant();
    }
    const DuplicateSearch::Entry& e = *r.entry;
    switch (index.column()) {
    case Area:
        return QString::number(e.area) + QStringLiteral(" - ") + m_board.areaName(e.area).trimmed();
    case Position:
        return qulonglong(e.position + 1);
    case Name:
        return m_board.text(e.name);
    case Size:
        return qlonglong(e.size);
    case Date: {
        const auto d = enc::decodeDate(e.fileDate);
        return d ? QStringLiteral("%1-%2-%3")
                       .arg(d->day, 2, 10, QLatin1Char('0'))
                       .arg(d->month, 2, 10, QLatin1Char('0'))
                       .arg(d->year, 4, 10, QLatin1Char('0'))
                 : QStringLiteral("Invalid");
    }
    case Uploader: {
        const QString u = m_board.text(e.uploader).trimmed();
        return u.isEmpty() ? QStringLiteral("(Unknown)") : u;
    }
    }
    return {};
}

QVariant DuplicatesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* kNames[] = { "Area", "Pos", "Name", "Size", "Date", "Uploader" };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kNames[section]) : QVariant();
}

DuplicatesWindow::DuplicatesWindow(const Board& board, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_board(board)
{
    setObjectName("FindDuplicates");
    setWindowTitle(QStringLiteral("Find Duplicates"));
    m_by = new QComboBox(this);
    m_by->setObjectName("By");
    m_by->addItems({ QStringLiteral("Same name"), QStringLiteral("Same content") });
    const std::vector<int> areas = FileSearch(board).areasInRange(1, 65535);
    m_from = new QSpinBox(this);
    m_from->setObjectName("From");
    m_from->setRange(1, 65534);
    m_from->setValue(1);
    m_to = new QSpinBox(this);
    m_to->setObjectName("To");
    m_to->setRange(1, 65534);
    m_to->setValue(areas.empty() ? 1 : areas.back());
    m_find = new QPushButton(QStringLiteral("&Find"), this);
    m_find->setObjectName("Find");
    m_find->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName("Close");
    m_model = new DuplicatesModel(board, this);
    m_view = new QTreeView(this);
    m_view->setObjectName("Results");
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setModel(m_model);
    m_status = new QLabel(this);
    m_status->setObjectName("Status");
    connect(m_find, &QPushButton::clicked, this, [this] { searching() ? stop() : start(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_view, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const auto* e = m_model->row(index.row()).entry)
            emit goTo(e->area, int(e->position + 1));
    });

    auto* top = new QHBoxLayout;
    top->addWidget(m_by);
    top->addWidget(new QLabel(QStringLiteral("Areas"), this));
    top->addWidget(m_from);
    top->addWidget(new QLabel(QStringLiteral("to"), this));
    top->addWidget(m_to);
    top->addStretch(1);
    top->addWidget(m_find);
    top->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_status);
    resize(760, 420);
}

DuplicatesWindow::~DuplicatesWindow()
{
    m_stop = true;
    join();
}

void DuplicatesWindow::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

void DuplicatesWindow::start()
{
    join();
    if (m_to->value() < m_from->value()) {
        m_status->setText(QStringLiteral("Invalid range specified!"));
        return;
    }
    m_model->setGroups({});
    m_stop = false;
    m_find->setText(QStringLiteral("&Stop"));
    m_status->setText(QStringLiteral("Searching..."));
    const std::vector<int> areas = FileSearch(m_board).areasInRange(m_from->value(), m_to->value());
    const auto by = m_by->currentIndex() == 1 ? DuplicateSearch::By::Content : DuplicateSearch::By::Name;
    m_worker = std::thread([this, areas, by] {
        auto outcome = DuplicateSearch(m_board).find(areas, by, &m_stop);
        QMetaObject::invokeMethod(
            this, [this, o = std::move(outcome)]() mutable { finished(std::move(o)); }, Qt::QueuedConnection);
    });
}

void DuplicatesWindow::stop()
{
    m_stop = true;
}

void DuplicatesWindow::waitForSearch()
{
    join();
    QCoreApplication::sendPostedEvents(this);
}

void DuplicatesWindow::finished(DuplicateSearch::Outcome outcome)
{
    join();
    m_find->setText(QStringLiteral("&Find"));
    size_t entries = 0;
    for (const auto& g : outcome.groups)
        entries += g.entries.size();
    const QString text = outcome.error ? QString::fromStdString(outcome.error->message)
                                       : QStringLiteral("%1 group(s), %2 entries%3")
                                             .arg(outcome.groups.size())
                                             .arg(entries)
                                             .arg(outcome.stopped ? QStringLiteral(" (stopped)") : QString());
    m_model->setGroups(std::move(outcome.groups));
    for (int c = 0; c < DuplicatesModel::ColumnCount; ++c)
        m_view->resizeColumnToContents(c);
    m_status->setText(text);
}

} // namespace qv
