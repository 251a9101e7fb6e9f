#include "platform/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qv {

CodePage::CodePage(const QByteArray& name)
    : m_name(name)
{
    m_valid = build(name);
    if (!m_valid)
        build(kDefaultName);
}

bool CodePage::build(const QByteArray& name)
{
    QStringDecoder decoder(name.constData());
    QStringEncoder encoder(name.constData());
    if (!decoder.isValid() || !encoder.isValid())
        return false;
    std::array<char16_t, 256> table {};
    QHash<char16_t, unsigned char> inverse;
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        // Each byte is decoded on its own, so a multi-byte page shows up as a failed round trip.
        const QString s = decoder.decode(QByteArrayView(&byte, 1));
        decoder.resetState();
        if (s.size() != 1)
            return false;
        const QByteArray back = encoder.encode(s);
        encoder.resetState();
        if (back.size() != 1 || back[0] != byte || inverse.contains(s[0].unicode()))
            return false;
        table[size_t(b)] = s[0].unicode();
        inverse.insert(s[0].unicode(), static_cast<unsigned char>(b));
    }
    m_toUnicode = table;
    m_fromUnicode = std::move(inverse);
    return true;
}

QString CodePage::decode(std::string_view bytes) const
{
    QString out(qsizetype(bytes.size()), Qt::Uninitialized);
    QChar* dst = out.data();
    for (size_t i = 0; i < bytes.size(); ++i)
        dst[i] = QChar(m_toUnicode[static_cast<unsigned char>(bytes[i])]);
    return out;
}

std::string CodePage::encode(QStringView text) const
{
    std::string out;
    out.reserve(size_t(text.size()));
    for (QChar c : text) {
        auto it = m_fromUnicode.constFind(c.unicode());
        out.push_back(it == m_fromUnicode.constEnd() ? '?' : char(*it));
    }
    return out;
}

} // namespace qv
