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
    QString render() const;

private:
    QStringList m_headings;
    std::vector<bool> m_right;
    std::vector<QStringList> m_rows;
};

} // namespace qv
