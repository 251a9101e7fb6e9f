#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace qv {

// Columns padded to their widest cell, numbers right-aligned.
class TextTable {
public:
    explicit TextTable(QStringList headings, std::vector<bool> rightAligned = {});
    void addRow(QStringList cells);
    // A line printed as it is under the last row (a description, say); it takes no part in the widths.
    void addNote(const QString& line);
    QString render() const;

private:
    QStringList m_headings;
    std::vector<bool> m_right;
    struct Row {
        QStringList cells;
        QStringList notes;
    };
    std::vector<Row> m_rows;
};

} // namespace qv
