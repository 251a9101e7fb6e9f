#pragma once

#include <QString>

namespace qv {

// The desktop around the program: opening a file with its application, the file manager.
class Desktop {
public:
    enum class OpenResult { Ok, NoApplication, NotFound, Failed };

    virtual ~Desktop() = default;
    virtual OpenResult openWithAssociatedApplication(const QString& path, const QString& workingDirectory) = 0;
    virtual bool exploreDirectory(const QString& directory) = 0;
};

} // namespace qv
