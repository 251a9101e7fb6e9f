#include "tests/support/ScriptedDesktop.h"

namespace qv::test {

Desktop::OpenResult ScriptedDesktop::openWithAssociatedApplication(const QString& path, const QString& workingDirectory)
{
    opened.append(path);
    workingDirectories.append(workingDirectory);
    if (openResults.empty())
        return openResult;
    const OpenResult r = openResults.front();
    openResults.pop_front();
    return r;
}

bool ScriptedDesktop::exploreDirectory(const QString& directory)
{
    explored.append(directory);
    return exploreResult;
}

} // namespace qv::test
