#include "editing/CurrentUploader.h"

#include <pwd.h>
#include <unistd.h>

namespace qv {

namespace {
QString& current()
{
    static QString name;
    return name;
}
} // namespace

QString CurrentUploader::get()
{
    return current();
}

void CurrentUploader::set(const QString& name)
{
    current() = name;
}

QString CurrentUploader::defaultName()
{
    if (!current().trimmed().isEmpty())
        return current();
    if (const passwd* user = ::getpwuid(::getuid())) {
        // The comment field holds "Full Name,room,phone,...".
        const QString fullName
            = QString::fromLocal8Bit(user->pw_gecos ? user->pw_gecos : "").section(QLatin1Char(','), 0, 0).trimmed();
        if (!fullName.isEmpty())
            return fullName;
        if (user->pw_name && *user->pw_name)
            return QString::fromLocal8Bit(user->pw_name);
    }
    return qEnvironmentVariable("USER");
}

} // namespace qv
