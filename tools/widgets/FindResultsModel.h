#pragma once

#include "storage/AreaStore.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <functional>
#include <vector>

namespace qv {

class CodePage;

// How rows look where the file list decides it (date text and icons live with the browser).
struct ResultRowLook {
    std::function<QIcon(const QString& rowText, bool comment)> icon;
    QIcon areaIcon;
};

// ListView1 of the find window: an area row before each area's first hit, then its hit rows,
// with the file list's columns.
class FindResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Size, FileDate, UploadDate, DownloadDate, Downloads, Uploader, ColumnCount };
    struct Row {
        int area = 0;
        int position = 0; // 1-based entry, 0 for an area row
        QString areaText; // "12 - Utilities" on an area row
        LoadedRow entry;
    };

    FindResultsModel(const CodePage& codePage, ResultRowLook look, QObject* parent = nullptr);

    void clear();
    void addAreaRow(int area, const QString& areaName);
    void addHit(int area, uint64_t position, LoadedRow entry);
    const Row& row(int r) const { return m_rows[size_t(r)]; }

    // Initial widths in twips; 0 for the date columns, which follow the file list's rule.
    static int columnWidthTwips(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void append(Row row);

    const CodePage& m_codePage;
    ResultRowLook m_look;
    std::vector<Row> m_rows;
};

} // namespace qv
