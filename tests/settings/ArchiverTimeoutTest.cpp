#include "platform/ProfileFile.h"
#include "settings/SettingsFile.h"

#include "tests/support/ArchiveBuilder.h"
#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(ArchiverTimeout, ReadAsSecondsWithThirtyForAnythingElse)
{
    test::TempDir tmp;
    const QString path = QString::fromStdString(tmp.path()) + "/QV.INI";
    const std::vector<std::pair<QByteArray, int>> cases { { "", 30 }, { "ArchiverTimeout=5\n", 5 },
        { "ArchiverTimeout= 120 \n", 120 }, { "ArchiverTimeout=0\n", 30 }, { "ArchiverTimeout=-3\n", 30 },
        { "ArchiverTimeout=soon\n", 30 } };
    for (const auto& [line, seconds] : cases) {
        test::writeBytes(path, "[Veltrano FE]\n" + line);
        Settings s;
        settingsfile::readStartupValues(ProfileFile(path), s);
        EXPECT_EQ(s.archiverTimeoutSeconds, seconds) << line.toStdString();
    }
}

} // namespace
} // namespace qv
