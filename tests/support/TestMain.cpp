#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

// One main for every test program: GUI tests need a QApplication, the others do not mind one.
int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QStandardPaths::setTestModeEnabled(true);
    // A fault that makes a rewrite run away fails its test with EFBIG instead of filling the
    // temporary file system (the largest file a test makes is a sparse one of half a GiB).
    const rlim_t limit = rlim_t(4) << 30;
    if (rlimit now {}; ::getrlimit(RLIMIT_FSIZE, &now) == 0 && now.rlim_cur > limit) {
        now.rlim_cur = limit;
        (void)::setrlimit(RLIMIT_FSIZE, &now);
        std::signal(SIGXFSZ, SIG_IGN);
    }
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
