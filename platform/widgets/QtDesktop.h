#pragma once

#include "platform/widgets/Desktop.h"

namespace qv {

// Opens files and directories through the desktop's own associations (xdg-open and friends).
class QtDesktop : public Desktop {
public:
    OpenResult openWithAssociatedApplication(const QString& path, const QString& workingDirectory) override;
    Launch exploreDirectory(const QString& directory) override;
    Launch openDocument(const QString& path) override;
};

} // namespace qv
