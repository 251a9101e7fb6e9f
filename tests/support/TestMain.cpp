#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

// One main for every test program: GUI tests need a QApplication, the others do not mind one.
int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QStandardPaths::setTestModeEnabled(true);
    // The trash and state of the programs the tests start stay in a private place too.
    QTemporaryDir data;
    setenv("XDG_DATA_HOME", QFile::encodeName(data.path()).constData(), 1);
    setenv("XDG_STATE_HOME", QFile::encodeName(data.path() + QStringLiteral("/state")).constData(), 1);
    QApplication app(argc, argv);
    // Tests close many windows; the last one closing must not end the nested loops of later ones.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
