// quorvex: start-up, the browser window, shutdown.
#include "app/BrowserLaunch.h"
#include "platform/ProfileFile.h"
#include "platform/UserPaths.h"
#include "platform/widgets/QtDesktop.h"
#include "platform/widgets/QtDialogs.h"
#include "app/DemoMode.h"
#include "app/FirstRunSetup.h"
#include "app/SendToRun.h"
#include "app/ShutdownWriter.h"
#include "app/SplashWindow.h"
#include "app/Startup.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const char kUsage[] = "usage: quorvex [--settings FILE] [--demo] [--screenshot FILE] [FILE]\n"
                      "  --settings FILE    use FILE instead of $XDG_CONFIG_HOME/quorvex/QV.INI\n"
                      "  --demo             run on the demo board (made on first use), with its own settings\n"
                      "  --screenshot FILE  save the window as PNG after the first area is loaded, and end\n"
                      "  FILE               an existing file: send it to an area\n";

struct Options {
    QString settingsFile;
    QString screenshot;
    bool demo = false;
    QStringList rest;
};

// Exit code 2 and a usage text for a malformed command line.
std::optional<Options> parse(const QStringList& args, int& exitCode)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == QLatin1String("--settings") || a == QLatin1String("--screenshot")) && i + 1 < args.size())
            (a == QLatin1String("--settings") ? o.settingsFile : o.screenshot) = args[++i];
        else if (a == QLatin1String("--demo"))
            o.demo = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            exitCode = 0;
            return std::nullopt;
        } else if (a == QLatin1String("--version")) {
            std::printf("quorvex %s\n", qv::kVersionText);
            exitCode = 0;
            return std::nullopt;
        } else if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "quorvex: unknown option %s\n%s", qPrintable(a), kUsage);
            exitCode = 2;
            return std::nullopt;
        } else
            o.rest << a;
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const qv::TerminationSignals endOnSignal;
    QApplication::setApplicationName(QStringLiteral("quorvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(qv::kVersionText));
    int exitCode = 0;
    const std::optional<Options> options = parse(QApplication::arguments(), exitCode);
    if (!options)
        return exitCode;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    QString settingsPath = options->settingsFile;
    if (options->demo) {
        QString error;
        settingsPath = qv::prepareDemo(qv::userpaths::demoDirectory(), env.value(QStringLiteral("PATH")), error);
        if (settingsPath.isEmpty()) {
            std::fprintf(stderr, "quorvex: demo board: %s\n", qPrintable(error));
            return 1;
        }
    } else if (settingsPath.isEmpty()) {
        settingsPath = qv::userpaths::defaultSettingsFile();
    }
    settingsPath = QDir().absoluteFilePath(settingsPath); // start-up changes the current directory

    qv::SplashWindow splash(QString::fromLatin1(qv::kVersionText));
    const bool interactive = options->screenshot.isEmpty();
    if (interactive) {
        splash.show();
        QApplication::processEvents();
    }

    qv::QtDialogs dialogs;
    qv::QtDesktop desktop;
    qv::ProfileFile profile(settingsPath);
    auto firstRunSetup = [&] {
        splash.hide(); // the assistant's pages come first
        qv::FirstRunSetup setup(
            profile, dialogs, { env.value(QStringLiteral("RA")), env.value(QStringLiteral("PATH")), QDir::homePath() });
        return setup.run() == qv::FirstRunSetup::Outcome::Finished;
    };
    auto setupAgain = [&](const QString& title, const QString& text) {
        splash.hide();
        return dialogs.question(nullptr, title, text, qv::Dialogs::Icon::Question, qv::Dialogs::Buttons::YesNo,
                   qv::Dialogs::Answer::Yes)
            == qv::Dialogs::Answer::Yes;
    };
    qv::Startup startup(profile, env, firstRunSetup, setupAgain);
    qv::StartupOutcome started = startup.run(options->rest);
    if (!started.proceed)
        return started.exitCode;
    if (!started.settings.sendToFile.empty()) {
        // Only the send-to window; the settings are left as they are.
        splash.close();
        return qv::runSendTo(started.settings, dialogs, started.tempDir ? started.tempDir->path() : QDir::tempPath());
    }

    if (interactive) {
        if (!splash.isVisible())
            splash.show();
        splash.waitShown(700);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool cursorRestored = false;
    qv::BrowserLaunch launch { started.settings, dialogs, desktop, options->screenshot,
        [&](const qv::Settings& s, bool windowNormal) {
            return qv::settingsfile::writeAtShutdown(profile, s, windowNormal, dialogs);
        },
        [&] {
            splash.close();
            QApplication::restoreOverrideCursor();
            cursorRestored = true;
        } };
    const int code = qv::runBrowserWindow(launch);
    if (!cursorRestored)
        QApplication::restoreOverrideCursor();
    return code;
}
