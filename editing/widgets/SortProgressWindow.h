#pragma once

#include <QWidget>

#include <cstdint>

class QLabel;

namespace qv {

// frmSortStat: the rows being sorted, the rows settled and the percentage, beside their captions.
class SortProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit SortProgressWindow(QWidget* parent = nullptr);

    void setProgress(uint64_t settled, uint64_t count);
    QString captions() const;
    QString values() const;

private:
    QLabel* m_captions;
    QLabel* m_values;
};

} // namespace qv
