#pragma once

#include <QString>

namespace qv {

// The desktop around the program: opening a file with its application, the file manager.
class Desktop {
public:
    enum class OpenResult { Ok, NoApplication, NotFound, Failed };
    // Whether the desktop started what was asked; when it did not, why, in words for the user.
    struct Launch {
        bool started = true;
        QString reason;
    };

    virtual ~Desktop() = default;
    virtual OpenResult openWithAssociatedApplication(const QString& path, const QString& workingDirectory) = 0;
    // The file manager on a directory.
    virtual Launch exploreDirectory(const QString& directory) = 0;
    // A document such as the README in the desktop's viewer for its type.
    virtual Launch openDocument(const QString& path) = 0;
};

} // namespace qv
