#include "platform/CodePage.h"

namespace qv {

CodePage::CodePage(const QByteArray& name)
    : m_name(name)
{
}

bool CodePage::isValid() const
{
    return QStringDecoder(m_name.constData()).isValid();
}

QString CodePage::decode(std::string_view bytes) const
{
    QStringDecoder decoder(m_name.constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

std::string CodePage::encode(QStringView text) const
{
    QStringEncoder encoder(m_name.constData());
    if (!encoder.isValid())
        return text.toLatin1().toStdString();
    const QByteArray bytes = encoder.encode(text);
    return bytes.toStdString();
}

} // namespace qv
