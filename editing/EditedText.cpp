#include "editing/EditedText.h"

#include "platform/CodePage.h"

namespace qv {

EditedText::Encoded EditedText::field(const CodePage& codePage, const QString& text)
{
    Encoded out;
    out.bytes = codePage.encode(text);
    // encode() puts '?' where it has no byte: only a round trip tells a typed '?' from one.
    const QString back = codePage.decode(out.bytes);
    for (qsizetype i = 0; i < text.size(); ++i)
        // A zero byte would end a description early.
        if (back[i] != text[i] || text[i].isNull()) {
            out.refused = text[i];
            out.bytes.clear();
            break;
        }
    return out;
}

EditedText::Encoded EditedText::description(const CodePage& codePage, const QString& text, std::string_view lineBreak)
{
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // An editor's paragraph separator is a line break too.
    normal.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    normal.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    normal.replace(QLatin1Char('\n'), QString::fromLatin1(lineBreak.data(), qsizetype(lineBreak.size())));
    return field(codePage, normal);
}

std::string_view EditedText::lineBreakOf(std::string_view stored)
{
    const size_t at = stored.find_first_of("\r\n");
    if (at == std::string_view::npos)
        return "\r\n";
    if (stored[at] == '\n')
        return "\n";
    return at + 1 < stored.size() && stored[at + 1] == '\n' ? "\r\n" : "\r";
}

QString EditedText::forEditor(const CodePage& codePage, std::string_view stored)
{
    QString text = codePage.decode(stored);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace qv
