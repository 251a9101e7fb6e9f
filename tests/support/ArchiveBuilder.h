#pragma once

// Archives built byte by byte, for the formats Debian can unpack but not pack (stored members).
//
//   const qv::test::Members members { { "FILE_ID.DIZ", "text" }, { "README.TXT", "..." } };
//   qv::test::writeBytes(dir + "/A.LZH", qv::test::lzhArchive(members));

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace qv::test {

using Members = std::vector<std::pair<QByteArray, QByteArray>>;

QByteArray arcArchive(const Members& members);
QByteArray lzhArchive(const Members& members);
QByteArray rarArchive(const Members& members);
void writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path); // null when missing

} // namespace qv::test
