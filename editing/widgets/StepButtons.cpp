#include "editing/widgets/StepButtons.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

StepButtons::StepButtons(QLineEdit* box, int minimum, int maximum, QWidget* parent)
    : QWidget(parent)
    , m_box(box)
    , m_min(minimum)
    , m_max(maximum)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = new QToolButton(this);
    m_up->setObjectName("up");
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(this);
    m_down->setObjectName("down");
    m_down->setArrowType(Qt::DownArrow);
    const int height = box->sizeHint().height() / 2;
    for (QToolButton* b : { m_up, m_down }) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(height + 4, height);
        layout->addWidget(b);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
    // The keys and the wheel step the box too, as in any spin box.
    box->installEventFilter(this);
}

bool StepButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && m_box->isEnabled() && !m_box->isReadOnly()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                step(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
        } else if (event->type() == QEvent::Wheel) {
            const int turned = static_cast<QWheelEvent*>(event)->angleDelta().y();
            if (turned != 0)
                step(turned > 0 ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void StepButtons::step(int delta)
{
    const int value = m_box->text().trimmed().toInt();
    if ((delta < 0 && value > m_min) || (delta > 0 && value < m_max))
        m_box->setText(QString::number(value + delta));
}

} // namespace qv
