#pragma once

#include <QPlainTextEdit>

namespace qv {

// Text1: the long description of the clicked row, in the description font; read-only.
class DescriptionPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DescriptionPane(QWidget* parent = nullptr);

    // A size text that is not a number and a face the system lacks fall back to a fixed font.
    void setDescriptionFont(const QString& name, const QString& sizeText, bool bold, bool italic);
    void showDescription(const QString& text);
    void clearDescription();

signals:
    void focusEntered();
    void focusLeft();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace qv
