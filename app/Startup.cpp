#include "app/Startup.h"

#include "board/Messages.h"
#include "platform/ProfileFile.h"
#include "settings/SettingsFile.h"
#include "storage/AreaConfiguration.h"
#include "storage/AreaFiles.h"
#include "storage/FileIo.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace qv {

Startup::Startup(
    ProfileFile& profile, QProcessEnvironment environment, FirstRunSetup firstRunSetup, SetupAgain setupAgain)
    : m_profile(profile)
    , m_env(std::move(environment))
    , m_firstRunSetup(std::move(firstRunSetup))
    , m_setupAgain(std::move(setupAgain))
{
}

QString Startup::boardProblem(const std::string& directory)
{
    FileIo& io = systemFileIo();
    if (!QFileInfo(QString::fromStdString(directory)).isDir())
        return QStringLiteral("does not exist");
    for (const char* file : { "CONFIG.RA", "FILES.RA" })
        if (!io.exists(resolveCaseInsensitive(io, directory + "/" + file)))
            return QStringLiteral("holds no ") + QLatin1String(file);
    return {};
}

StartupOutcome Startup::run(const QStringList& arguments)
{
    StartupOutcome out;
    Settings& s = out.settings;

    if (!m_profile.exists() && !m_firstRunSetup())
        return out;
    s.boardDirectory = settingsfile::readBoardDirectory(m_profile);
    for (;;) {
        while (s.boardDirectory.empty()) {
            if (!m_firstRunSetup())
                return out;
            s.boardDirectory = settingsfile::readBoardDirectory(m_profile);
        }
        const QString problem = m_setupAgain ? boardProblem(s.boardDirectory) : QString();
        if (problem.isEmpty())
            break;
        const messages::Message m = messages::boardMissing(QString::fromStdString(s.boardDirectory), problem);
        if (!m_setupAgain(m.title, m.text)) {
            out.exitCode = 1;
            return out;
        }
        if (!m_firstRunSetup())
            return out;
        s.boardDirectory = settingsfile::readBoardDirectory(m_profile);
    }

    // Without CONFIG.RA the file database path stays empty; the first area load reports it.
    FileIo& io = systemFileIo();
    const std::string config = resolveCaseInsensitive(io, s.boardDirectory + "/CONFIG.RA");
    if (io.exists(config)) {
        QDir::setCurrent(QString::fromStdString(s.boardDirectory));
        std::string base = AreaConfiguration::readFileBasePath(io, s.boardDirectory);
        if (!base.empty() && (base.back() == '\\' || base.back() == '/') && base.size() > 1)
            base.pop_back();
        s.fileBasePath = base;
    }

    settingsfile::readStartupValues(m_profile, s);
    s.sendToFile = sendToFileOf(arguments).toStdString();
    if (s.sendToFile.empty())
        settingsfile::readViewType(m_profile, s);
    settingsfile::readWindowValues(m_profile, s);
    s.commandInterpreter = commandInterpreter(m_env).toStdString();
    out.tempDir = makePrivateTempDirectory(m_env);
    if (out.tempDir)
        s.tempDir = (out.tempDir->path() + QLatin1Char('/')).toStdString();

    out.proceed = true;
    return out;
}

QString Startup::sendToFileOf(const QStringList& arguments)
{
    // A file manager hands over one path; anything else is not a send-to run.
    if (arguments.size() != 1)
        return {};
    const QString candidate = arguments.front().trimmed();
    return QFileInfo(candidate).isFile() ? QFileInfo(candidate).absoluteFilePath() : QString();
}

QString Startup::sharedTempDirectory(const QProcessEnvironment& env)
{
    for (const char* name : { "TMPDIR", "TEMP" }) {
        const QString value = env.value(QLatin1String(name)).trimmed();
        if (!value.isEmpty() && QFileInfo(value).isDir())
            return value;
    }
    return QStringLiteral("/tmp");
}

std::unique_ptr<QTemporaryDir> Startup::makePrivateTempDirectory(const QProcessEnvironment& env)
{
    // QTemporaryDir creates the directory with mode 0700 and a name nobody can guess.
    auto dir = std::make_unique<QTemporaryDir>(sharedTempDirectory(env) + QStringLiteral("/quorvex-XXXXXX"));
    if (!dir->isValid())
        return nullptr;
    return dir;
}

QString Startup::commandInterpreter(const QProcessEnvironment& env)
{
    const QString value = env.value(QStringLiteral("COMSPEC")).trimmed();
    return value.isEmpty() ? QStringLiteral("/bin/sh") : value;
}

} // namespace qv
