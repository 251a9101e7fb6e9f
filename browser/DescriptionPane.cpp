#include "browser/DescriptionPane.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace qv {

DescriptionPane::DescriptionPane(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setObjectName("Text1");
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Descriptions are changed through Edit Description; here they are only read and copied.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void DescriptionPane::setDescriptionFont(const QString& name, const QString& sizeText, bool bold, bool italic)
{
    QFont f(name.trimmed().isEmpty() ? QStringLiteral("Terminal") : name.trimmed());
    if (!QFontDatabase::families().contains(f.family(), Qt::CaseInsensitive)) {
        // "Terminal" and other DOS faces rarely exist here; a fixed font keeps box drawing aligned.
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setFamily(fixed.family());
    }
    bool ok = false;
    const double points = sizeText.trimmed().toDouble(&ok);
    f.setPointSizeF(ok && points > 0 ? points : 9);
    f.setBold(bold);
    f.setItalic(italic);
    setFont(f);
}

void DescriptionPane::showDescription(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(lines);
}
void DescriptionPane::clearDescription()
{
    clear();
}

void DescriptionPane::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    emit focusEntered();
}

void DescriptionPane::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLeft();
}

} // namespace qv
