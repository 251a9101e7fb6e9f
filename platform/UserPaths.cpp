#include "platform/UserPaths.h"

#include <QDir>

namespace qv::userpaths {

namespace {
QString base(const char* variable, const char* fallback)
{
    const QString value = qEnvironmentVariable(variable);
    // Relative values are invalid by the XDG rules and would depend on the current directory.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}
} // namespace

QString defaultSettingsFile(bool makeDirectory)
{
    const QString dir = base("XDG_CONFIG_HOME", ".config") + QStringLiteral("/quorvex");
    if (makeDirectory)
        QDir().mkpath(dir);
    return dir + QStringLiteral("/QV.INI");
}

QString demoDirectory()
{
    return base("XDG_DATA_HOME", ".local/share") + QStringLiteral("/quorvex/demo");
}

} // namespace qv::userpaths
