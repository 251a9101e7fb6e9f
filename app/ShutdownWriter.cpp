#include "app/ShutdownWriter.h"

#include "platform/widgets/Dialogs.h"

namespace qv::settingsfile {

bool writeAtShutdown(ProfileFile& file, const Settings& settings, bool windowNormal, Dialogs& dialogs)
{
    switch (writeAtShutdown(file, settings, windowNormal)) {
    case ShutdownResult::Written:
        return true;
    case ShutdownResult::LocationFailed:
        dialogs.message(nullptr, QStringLiteral("Location"), kWriteFailedTryAgain, Dialogs::Icon::Critical);
        return false;
    case ShutdownResult::ProfileFailed:
        dialogs.message(nullptr, QStringLiteral("Updating profile"), kWriteFailed, Dialogs::Icon::Critical);
        return false;
    }
    return false;
}

} // namespace qv::settingsfile
