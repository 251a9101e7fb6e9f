#pragma once

#include "settings/Settings.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTemporaryDir;

namespace qv {

class ProfileFile;

// What start-up learns before the browser window is created.
struct StartupOutcome {
    bool proceed = false; // false: the run ends here, writing nothing
    int exitCode = 0;
    Settings settings;
    std::shared_ptr<QTemporaryDir> tempDir; // settings.tempDir lives as long as this
};

// Start-up from the settings file to the point where the browser window is created: first-run
// setup while RaDir is empty, the board and its file database path, the settings, send-to mode,
// the temporary directory and the command interpreter.
class Startup {
public:
    // Runs the first-run setup; false when it ended the program (cancelled or unwritable).
    using FirstRunSetup = std::function<bool()>;

    // Asked when the board directory of the settings holds no board (moved, not mounted); true
    // runs the first-run setup again. Without it start-up goes on and the first load reports.
    using SetupAgain = std::function<bool(const QString& title, const QString& text)>;

    Startup(
        ProfileFile& profile, QProcessEnvironment environment, FirstRunSetup firstRunSetup, SetupAgain setupAgain = {});

    // arguments: the command line without the program's own options. The board directory is made
    // the current directory when it holds CONFIG.RA.
    StartupOutcome run(const QStringList& arguments);

    // Why directory holds no board ("does not exist", "holds no FILES.RA"); empty when it does.
    static QString boardProblem(const std::string& directory);
    // The one argument naming an existing file, as an absolute path; empty otherwise.
    static QString sendToFileOf(const QStringList& arguments);
    // TMPDIR, then TEMP, then /tmp: the shared directory the private one is made in.
    static QString sharedTempDirectory(const QProcessEnvironment& environment);
    // A directory only this user can enter, removed when the returned object goes.
    static std::unique_ptr<QTemporaryDir> makePrivateTempDirectory(const QProcessEnvironment& environment);
    static QString commandInterpreter(const QProcessEnvironment& environment);

private:
    ProfileFile& m_profile;
    QProcessEnvironment m_env;
    FirstRunSetup m_firstRunSetup;
    SetupAgain m_setupAgain;
};

} // namespace qv
