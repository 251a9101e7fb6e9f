#pragma once

#include <QAbstractSpinBox>

#include <functional>

namespace qv {

// A number field with up/down buttons whose steps follow rules given by the window; what is
// typed is checked by the window when the field is left.
class AreaNumberField : public QAbstractSpinBox {
    Q_OBJECT
public:
    static constexpr int kMaximum = 65534;

    explicit AreaNumberField(QWidget* parent = nullptr);

    // The typed digits as a number (saturating above the maximum), 0 when there are none.
    qint64 typedValue() const;
    int value() const { return int(std::min<qint64>(typedValue(), kMaximum)); }
    void setValue(int value);
    void setStepRule(std::function<StepEnabled()> rule) { m_rule = std::move(rule); }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    StepEnabled stepEnabled() const override;

private:
    std::function<StepEnabled()> m_rule;
};

} // namespace qv
