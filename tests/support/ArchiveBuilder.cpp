#include "tests/support/ArchiveBuilder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <zlib.h>

namespace qv::test {

namespace {
// Stored-method archives of the old formats, for which Debian has unpackers but no packers.
uint16_t crc16(const QByteArray& d)
{
    uint16_t c = 0;
    for (char ch : d) {
        c ^= uint8_t(ch);
        for (int i = 0; i < 8; ++i)
            c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
    }
    return c;
}
template <typename T> void put(QByteArray& out, T v)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        out += char((uint64_t(v) >> (8 * i)) & 0xFF);
}

QByteArray rarBlock(const QByteArray& body)
{
    QByteArray out;
    put<uint16_t>(out, crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())) & 0xFFFF);
    return out + body;
}

} // namespace

QByteArray arcArchive(const Members& members)
{
    QByteArray out;
    for (const auto& [name, data] : members) {
        out += "\x1a\x02" + name.leftJustified(13, '\0', true);
        put<uint32_t>(out, data.size());
        put<uint16_t>(out, 0x2071);
        put<uint16_t>(out, 0x6000);
        put<uint16_t>(out, crc16(data));
        put<uint32_t>(out, data.size());
        out += data;
    }
    return out + QByteArray("\x1a\x00", 2);
}

QByteArray lzhArchive(const Members& members)
{
    QByteArray out;
    for (const auto& [name, data] : members) {
        QByteArray body = "-lh0-";
        put<uint32_t>(body, data.size());
        put<uint32_t>(body, data.size());
        put<uint32_t>(body, 0x20716000);
        body += char(0x20);
        body += char(0);
        body += char(name.size());
        body += name;
        put<uint16_t>(body, crc16(data));
        uint8_t sum = 0;
        for (char c : body)
            sum += uint8_t(c);
        out += char(body.size());
        out += char(sum);
        out += body + data;
    }
    return out + QByteArray(1, '\0');
}

QByteArray rarArchive(const Members& members)
{
    QByteArray out("Rar!\x1a\x07\x00", 7);
    QByteArray main;
    put<uint8_t>(main, 0x73);
    put<uint16_t>(main, 0);
    put<uint16_t>(main, 13);
    put<uint16_t>(main, 0);
    put<uint32_t>(main, 0);
    out += rarBlock(main);
    for (const auto& [name, data] : members) {
        QByteArray h;
        put<uint8_t>(h, 0x74);
        put<uint16_t>(h, 0x8000);
        put<uint16_t>(h, 32 + name.size());
        put<uint32_t>(h, data.size());
        put<uint32_t>(h, data.size());
        put<uint8_t>(h, 0);
        put<uint32_t>(h, crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
        put<uint32_t>(h, 0x20716000);
        put<uint8_t>(h, 20);
        put<uint8_t>(h, 0x30);
        put<uint16_t>(h, name.size());
        put<uint32_t>(h, 0x20);
        out += rarBlock(h + name) + data;
    }
    QByteArray end;
    put<uint8_t>(end, 0x7B);
    put<uint16_t>(end, 0x4000);
    put<uint16_t>(end, 7);
    return out + rarBlock(end);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        ADD_FAILURE() << "cannot write " << path.toStdString();
    f.write(bytes);
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace qv::test
