#pragma once

#include "storage/AreaStore.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

class QFont;

namespace qv {

class CodePage;

// The rows of the current area for both views of the file list; cells are computed on demand.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Size, FileDate, UploadDate, DownloadDate, Downloads, Uploader, ColumnCount };

    explicit FileListModel(QObject* parent = nullptr);

    void setCodePage(const CodePage* codePage) { m_codePage = codePage; }
    void setArchiverExtensions(const QStringList& extensions) { m_archivers = extensions; }

    // A load: the only full reset.
    void setRows(LoadedRows rows);
    void clear();

    // Changes after a command, made with the model's own signals so views keep their selection
    // and scroll position. Positions are 0-based rows.
    void insertEntries(int at, LoadedRows rows);
    // positions need not be sorted; duplicates are ignored.
    void removeEntries(std::vector<int> positions);
    void updateEntry(int row, LoadedRow entry);
    // Moves the rows at positions (in their order) so they stand together from row `to` of the
    // list without them; what the store's reorder of a paste within an area does.
    void moveEntries(std::vector<int> positions, int to);
    const LoadedRows& rows() const { return m_rows; }
    uint64_t totalSize() const;
    // The row whose name has the most characters (the code page has one byte per character),
    // or -1 without rows.
    int longestNameRow() const;
    int smallIconIndexOf(int row) const;

    static int columnWidthTwips(int column, const QFont& listFont);
    // 10 x font size in points x the length of today's date in the short format.
    static int dateColumnWidthTwips(const QFont& listFont);
    static QString dateText(int32_t packed);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Rows dragged out of the list: the drop target takes the list's selection, which the drag
    // started from; the data only says that entries come.
    static constexpr const char* kEntriesMimeType = "application/x-quorvex-entries";
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString text(std::string_view bytes) const;

    LoadedRows m_rows;
    const CodePage* m_codePage = nullptr;
    QStringList m_archivers;
};

} // namespace qv
