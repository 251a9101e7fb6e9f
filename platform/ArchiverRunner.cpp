#include "platform/ArchiverRunner.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace qv {

namespace {
constexpr qsizetype kOutputLimit = 64 * 1024;
}

ArchiverRunner::ArchiverRunner(QString privateTempDir, std::chrono::milliseconds timeout)
    : m_tempDir(std::move(privateTempDir))
    , m_timeout(timeout)
{
}

QStringList ArchiverRunner::splitOptions(const QString& options)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QChar c = options[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (c == QLatin1Char('\\') && quote == QLatin1Char('"') && i + 1 < options.size()
                && (options[i + 1] == QLatin1Char('"') || options[i + 1] == QLatin1Char('\\')))
                word += options[++i];
            else
                word += c;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            inWord = true;
        } else if (c == QLatin1Char('\\') && i + 1 < options.size()) {
            word += options[++i];
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

ArchiverRunner::Result ArchiverRunner::extract(
    const QString& program, const QString& options, const QString& archive) const
{
    Result result;
    if (m_tempDir.isEmpty() || !QFileInfo(m_tempDir).isDir()) {
        result.outcome = Outcome::NotStarted;
        return result;
    }
    // Empty, mode 0700, removed with everything the archiver left in it.
    QTemporaryDir work(QDir(m_tempDir).filePath(QStringLiteral("diz-XXXXXX")));
    if (!work.isValid()) {
        result.outcome = Outcome::NotStarted;
        return result;
    }
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.setStandardInputFile(QProcess::nullDevice()); // an archiver that asks gets no answer
    process.setProcessChannelMode(QProcess::MergedChannels);
    // Its own process group, so a killed archiver takes the programs it started along.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    auto drain = [&] {
        const QByteArray bytes = process.readAll();
        if (result.output.size() < kOutputLimit)
            result.output += bytes.left(kOutputLimit - result.output.size());
    };
    QObject::connect(&process, &QProcess::readyRead, drain);
    const QStringList arguments = splitOptions(options)
        + QStringList { QFileInfo(archive).absoluteFilePath(), QStringLiteral("FILE_ID.DIZ"),
              work.path() + QLatin1Char('/') };
    process.start(program, arguments);
    if (!process.waitForStarted(int(m_timeout.count()))) {
        result.outcome = Outcome::NotStarted;
        result.output = process.errorString().toUtf8();
        return result;
    }
    bool finished = false;
    if (m_blocking) {
        finished = process.waitForFinished(int(m_timeout.count()));
    } else {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        limit.start(m_timeout);
        if (process.state() != QProcess::NotRunning)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        finished = process.state() == QProcess::NotRunning;
    }
    if (!finished) {
        if (const qint64 pid = process.processId(); pid > 0)
            ::kill(-pid_t(pid), SIGKILL);
        process.kill();
        process.waitForFinished(5000);
        result.outcome = Outcome::TimedOut;
        return result;
    }
    drain();

    // FILE_ID.DIZ in any letter case, a regular file only: a symlink could point anywhere.
    const QFileInfoList entries
        = QDir(work.path()).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().compare(QLatin1String("FILE_ID.DIZ"), Qt::CaseInsensitive) != 0 || entry.isSymLink()
            || !entry.isFile())
            continue;
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        result.description = file.read(kDescriptionLimit);
        result.outcome = Outcome::Extracted;
        return result;
    }
    result.outcome = Outcome::NoDescription;
    return result;
}

} // namespace qv
