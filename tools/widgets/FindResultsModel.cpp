#include "tools/widgets/FindResultsModel.h"

#include "board/EntryColumns.h"
#include "platform/CodePage.h"


namespace qv {

namespace {
Qt::Alignment alignmentOf(int column)
{
    switch (column) {
    case FindResultsModel::Size:
    case FindResultsModel::Downloads:
        return Qt::AlignRight | Qt::AlignVCenter;
    case FindResultsModel::FileDate:
    case FindResultsModel::DownloadDate:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
}

FindResultsModel::FindResultsModel(const CodePage& codePage, ResultRowLook look, QObject* parent)
    : QAbstractTableModel(parent)
    , m_codePage(codePage)
    , m_look(std::move(look))
{
}

void FindResultsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FindResultsModel::append(Row row)
{
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void FindResultsModel::addAreaRow(int area, const QString& areaName)
{
    append({ area, 0, QString::number(area) + QStringLiteral(" - ") + areaName, {} });
}

void FindResultsModel::addHit(int area, uint64_t position, LoadedRow entry)
{
    append({ area, int(position + 1), {}, std::move(entry) });
}

int FindResultsModel::columnWidthTwips(int column)
{
    static const int kWidths[] = { 3522, 1061, 1061, 1061, 1061, 294, 3522 };
    return column >= 0 && column < ColumnCount ? kWidths[column] : 0;
}

int FindResultsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FindResultsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FindResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row& row = m_rows[size_t(index.row())];
    const LoadedRow& r = row.entry;
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(column));
    if (role == Qt::DecorationRole && column == Name) {
        if (row.position == 0)
            return m_look.areaIcon;
        return m_look.icon ? m_look.icon(m_codePage.decode(r.name), r.comment) : QIcon();
    }
    if (role != Qt::DisplayRole)
        return {};
    if (row.position == 0)
        return column == Name ? row.areaText : QString();
    if (column == Name)
        return m_codePage.decode(r.name);
    return entrycolumns::cellText(r, column, m_codePage);
}

Qt::ItemFlags FindResultsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QVariant FindResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return entrycolumns::caption(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignmentOf(section));
    return {};
}

} // namespace qv
