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

Desktop::Launch ScriptedDesktop::exploreDirectory(const QString& directory)
{
    explored.append(directory);
    return exploreResult;
}

Desktop::Launch ScriptedDesktop::openDocument(const QString& path)
{
    documents.append(path);
    return openDocumentResult;
}

} // namespace qv::test
