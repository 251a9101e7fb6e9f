#pragma once

// Desktop for tests: records what would have been opened or explored, launches nothing.
//
//   qv::test::ScriptedDesktop desktop;
//   desktop.openResult = qv::Desktop::OpenResult::NoApplication;  // the answer to every open
//   ... run the code under test ...
//   EXPECT_EQ(desktop.opened, QStringList({ dir + "/FOO.ZIP" }));
//   EXPECT_EQ(desktop.workingDirectories, QStringList({ dir }));
//   EXPECT_EQ(desktop.explored, QStringList({ dir }));
//   desktop.exploreResult = { false, "no program to open it" };  // what the next explores answer

#include "platform/widgets/Desktop.h"

#include <QStringList>

namespace qv::test {

class ScriptedDesktop : public Desktop {
public:
    OpenResult openWithAssociatedApplication(const QString& path, const QString& workingDirectory) override;
    Launch exploreDirectory(const QString& directory) override;
    Launch openDocument(const QString& path) override;

    OpenResult openResult = OpenResult::Ok;
    Launch exploreResult;
    QStringList opened;
    QStringList workingDirectories;
    QStringList explored;
};

} // namespace qv::test
