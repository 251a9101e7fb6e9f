#pragma once

#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;

namespace qv {

// frmSortStat: the rows being sorted, the rows settled and the percentage, beside their captions.
class SortProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit SortProgressWindow(QWidget* parent = nullptr);

    void setProgress(uint64_t settled, uint64_t count);
    QString captions() const;
    QString values() const;
    // Cancel was pressed: the new order is not written.
    bool cancelled() const { return m_cancelled; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    QLabel* m_captions;
    QLabel* m_values;
    QPushButton* m_cancel;
    bool m_cancelled = false;
};

} // namespace qv
