#include "browser/FileListModel.h"

#include <QMimeData>

#include "board/EntryColumns.h"
#include "browser/FileIcons.h"
#include "platform/CodePage.h"

#include <QDate>
#include <QFont>
#include <QLocale>

namespace qv {

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void FileListModel::setRows(LoadedRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void FileListModel::clear()
{
    setRows({});
}

void FileListModel::insertEntries(int at, LoadedRows rows)
{
    if (rows.empty())
        return;
    at = std::clamp(at, 0, int(m_rows.size()));
    beginInsertRows({}, at, at + int(rows.size()) - 1);
    m_rows.insert(m_rows.begin() + at, std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void FileListModel::removeEntries(std::vector<int> positions)
{
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    // Contiguous runs from the bottom up, so the rows above keep their numbers while we go.
    for (auto end = positions.rbegin(); end != positions.rend();) {
        auto start = end;
        while (std::next(start) != positions.rend() && *std::next(start) == *start - 1)
            ++start;
        const int first = *start;
        const int last = *end;
        end = std::next(start);
        if (first < 0 || last >= int(m_rows.size()))
            continue;
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
    }
}

void FileListModel::updateEntry(int row, LoadedRow entry)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    m_rows[size_t(row)] = std::move(entry);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void FileListModel::moveEntries(std::vector<int> positions, int to)
{
    LoadedRows moving;
    moving.reserve(positions.size());
    for (int p : positions)
        if (p >= 0 && p < int(m_rows.size()))
            moving.push_back(m_rows[size_t(p)]);
    removeEntries(positions);
    insertEntries(to, std::move(moving));
}

uint64_t FileListModel::totalSize() const
{
    uint64_t total = 0;
    for (const LoadedRow& r : m_rows)
        total += uint64_t(uint32_t(r.size()));
    return total;
}

int FileListModel::longestNameRow() const
{
    int longest = -1;
    size_t length = 0;
    for (size_t row = 0; row < m_rows.size(); ++row)
        if (longest < 0 || m_rows[row].name.size() > length) {
            longest = int(row);
            length = m_rows[row].name.size();
        }
    return longest;
}

int FileListModel::smallIconIndexOf(int row) const
{
    const LoadedRow& r = m_rows[size_t(row)];
    return FileIcons::smallIconIndex(text(r.name), r.comment, m_archivers);
}

int FileListModel::columnWidthTwips(int column, const QFont& listFont)
{
    static const int kWidths[] = { 2649, 1061, 0, 0, 0, 294, 3522 };
    if (column == FileDate || column == UploadDate || column == DownloadDate)
        return dateColumnWidthTwips(listFont);
    return column >= 0 && column < ColumnCount ? kWidths[column] : 0;
}

int FileListModel::dateColumnWidthTwips(const QFont& listFont)
{
    const int points = listFont.pointSize() > 0 ? listFont.pointSize() : 9;
    return 10 * points * int(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).size());
}

QString FileListModel::dateText(int32_t packed)
{
    return entrycolumns::dateText(packed);
}

QString FileListModel::text(std::string_view bytes) const
{
    return m_codePage ? m_codePage->decode(bytes) : QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    // Selectable rows, never edited in place: entries change through their dialogs.
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
}

QStringList FileListModel::mimeTypes() const
{
    return { QString::fromLatin1(kEntriesMimeType) };
}

QMimeData* FileListModel::mimeData(const QModelIndexList& indexes) const
{
    QStringList rows;
    for (const QModelIndex& index : indexes)
        if (index.column() == 0)
            rows << QString::number(index.row());
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kEntriesMimeType), rows.join(QLatin1Char(',')).toLatin1());
    return data;
}

Qt::DropActions FileListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}
int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const LoadedRow& r = m_rows[size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        if (column == Name)
            return text(r.name);
        static const CodePage kDefaultPage;
        return entrycolumns::cellText(r, column, m_codePage ? *m_codePage : kDefaultPage);
    } else if (role == Qt::DecorationRole && column == Name) {
        return FileIcons::smallIcon(smallIconIndexOf(index.row()));
    } else if (role == Qt::TextAlignmentRole) {
        const bool right = column == Size || column == Downloads;
        return QVariant::fromValue(Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return entrycolumns::caption(section);
    if (role == Qt::TextAlignmentRole) {
        const bool right = section == Size || section == Downloads;
        return QVariant::fromValue(Qt::Alignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

} // namespace qv
