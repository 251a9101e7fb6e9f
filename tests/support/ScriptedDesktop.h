#pragma once

#include "platform/widgets/Desktop.h"

#include <QStringList>

namespace qv::test {

// Records what would have been opened or explored and answers with a planned result.
class ScriptedDesktop : public Desktop {
public:
    OpenResult openWithAssociatedApplication(const QString& path, const QString& workingDirectory) override
    {
        opened.append(path);
        workingDirectories.append(workingDirectory);
        return openResult;
    }
    bool exploreDirectory(const QString& directory) override
    {
        explored.append(directory);
        return true;
    }

    OpenResult openResult = OpenResult::Ok;
    QStringList opened;
    QStringList workingDirectories;
    QStringList explored;
};

} // namespace qv::test
