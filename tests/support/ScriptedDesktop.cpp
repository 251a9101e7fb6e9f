#include "tests/support/ScriptedDesktop.h"

namespace qv::test {

Desktop::OpenResult ScriptedDesktop::openWithAssociatedApplication(const QString& path, const QString& workingDirectory)
{
    opened.append(path);
    workingDirectories.append(workingDirectory);
    return openResult;
}

Desktop::Launch ScriptedDesktop::exploreDirectory(const QString& directory)
{
    explored.append(directory);
    return exploreResult;
}

Desktop::Launch ScriptedDesktop::openDocument(const QString&)
{
    return {};
}

} // namespace qv::test
