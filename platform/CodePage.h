#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <array>
#include <string>
#include <string_view>

namespace qv {

// Shows board bytes through a single-byte code page (CP437 unless the settings name another).
// The mapping is built once from Qt's converter into a table, so decoding a large area is cheap
// and decode followed by encode gives every byte value back unchanged.
class CodePage {
public:
    static constexpr const char* kDefaultName = "IBM437";

    // A name that Qt does not know, or that is not a single-byte code page, leaves the page
    // invalid and falls back to CP437 for display.
    explicit CodePage(const QByteArray& name = kDefaultName);
    bool isValid() const { return m_valid; }
    QByteArray name() const { return m_name; }
    QString decode(std::string_view bytes) const;
    // Characters the page cannot represent become '?'.
    std::string encode(QStringView text) const;

private:
    bool build(const QByteArray& name);

    QByteArray m_name;
    bool m_valid = false;
    std::array<char16_t, 256> m_toUnicode {};
    QHash<char16_t, unsigned char> m_fromUnicode;
};

} // namespace qv
