#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <string>
#include <string_view>

namespace qv {

// Shows board bytes through a single-byte code page (CP437 unless the settings name another).
// decode then encode gives every byte value back unchanged.
class CodePage {
public:
    explicit CodePage(const QByteArray& name = "IBM437");
    bool isValid() const;
    QByteArray name() const { return m_name; }
    QString decode(std::string_view bytes) const;
    std::string encode(QStringView text) const;

private:
    QByteArray m_name;
};

} // namespace qv
