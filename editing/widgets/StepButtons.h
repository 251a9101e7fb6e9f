#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace qv {

// An up/down spinner beside a number box: each click steps the box's number by one, down only
// while it is above the minimum, up only while it is below the maximum (an empty box counts as 0).
class StepButtons : public QWidget {
    Q_OBJECT
public:
    StepButtons(QLineEdit* box, int minimum, int maximum, QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int delta);

    QLineEdit* m_box;
    int m_min;
    int m_max;
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace qv
