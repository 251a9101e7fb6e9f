#include "demo/DemoArchives.h"

#include <QFile>

#include <map>
#include <string>
#include <vector>

// Resources of a static library are registered by hand, outside any namespace.
static void registerDemoResources()
{
    Q_INIT_RESOURCE(demo);
}

namespace qv {

namespace {
// Small archives made once with the Debian archivers (zip -X, arj, 7zz) from text files dated
// 14-03-1996; they are shipped as they are in demo/archives/ and embedded as resources.
std::span<const uint8_t> bytesOf(const char* name)
{
    static std::map<std::string, std::vector<uint8_t>> loaded;
    auto& bytes = loaded[name];
    if (bytes.empty()) {
        registerDemoResources();
        QFile file(QStringLiteral(":/demo/archives/") + QLatin1String(name));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray all = file.readAll();
            bytes.assign(all.begin(), all.end());
        }
    }
    return bytes;
}
}

std::span<const DemoArchive> demoArchives()
{
    static const DemoArchive kArchives[] = {
        { "QBEEP10.ZIP", bytesOf("QBEEP10.ZIP"),
            "\xC9\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD"
            "\xCD\xCD\xCD\xCD\xCD\xCD\xBB\r\n"
            "\xBA QBEEP 1.0 - speaker melodies  \xBA\r\n"
            "\xC8\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD"
            "\xCD\xCD\xCD\xCD\xCD\xCD\xBC\r\n"
            "Plays tunes on the PC speaker from\r\n"
            "plain text files. \xFE Freeware.\r\n" },
        { "TIDYDSK3.ARJ", bytesOf("TIDYDSK3.ARJ"),
            "\xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4"
            "\xC4\xC4\xC4\xBF\r\n"
            "\xB3 TIDYDISK 3.0 \xB1\xB1 disk tidy  \xB3\r\n"
            "\xC0\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4"
            "\xC4\xC4\xC4\xD9\r\n"
            "Sorts directories, removes empty\r\n"
            "folders and lost clusters.\r\n" },
        { "STARMAP2.7Z", bytesOf("STARMAP2.7Z"),
            "\xB0\xB1\xB2\xDB STARMAP 2 \xDB\xB2\xB1\xB0\r\n"
            "A night sky atlas: 9000 stars,\r\n"
            "constellation lines, \xE0\xE1\xE2\xE3 tables.\r\n" },
        { "PLAIN.ZIP", bytesOf("PLAIN.ZIP"), {} },
    };
    return kArchives;
}

} // namespace qv
