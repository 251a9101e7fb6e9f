#include "tools/widgets/AreaNumberField.h"

#include <QLineEdit>

namespace qv {

AreaNumberField::AreaNumberField(QWidget* parent)
    : QAbstractSpinBox(parent)
{
    setAccelerated(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

qint64 AreaNumberField::typedValue() const
{
    qint64 v = 0;
    for (QChar c : text()) {
        if (!c.isDigit())
            continue;
        v = std::min<qint64>(v * 10 + c.digitValue(), qint64(1) << 40);
    }
    return v;
}

void AreaNumberField::setValue(int value)
{
    lineEdit()->setText(QString::number(value));
    update();
}

void AreaNumberField::stepBy(int steps)
{
    setValue(int(std::clamp<qint64>(typedValue() + steps, 1, kMaximum)));
}

QValidator::State AreaNumberField::validate(QString& input, int&) const
{
    for (QChar c : input)
        if (!c.isDigit() && c != QLatin1Char(' '))
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled AreaNumberField::stepEnabled() const
{
    if (!isEnabled())
        return StepNone;
    return m_rule ? m_rule() : (StepUpEnabled | StepDownEnabled);
}

} // namespace qv
