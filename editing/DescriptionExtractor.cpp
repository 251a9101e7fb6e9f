#include "editing/DescriptionExtractor.h"

#include "board/Messages.h"
#include "editing/ArchiverChoice.h"
#include "platform/ArchiverRunner.h"

#include <QFileInfo>

namespace qv {

DescriptionExtractor::DescriptionExtractor(const Settings& settings, QString tempDir)
    : m_slots(settings.archivers)
    , m_tempDir(std::move(tempDir))
    , m_timeoutSeconds(settings.archiverTimeoutSeconds > 0 ? settings.archiverTimeoutSeconds : 30)
{
}

DescriptionExtractor::Result DescriptionExtractor::extract(
    const QString& archivePath, const QString& entryName, bool requireProgram) const
{
    Result result;
    if (!QFileInfo(archivePath).isFile()) {
        result.outcome = Outcome::MissingFile;
        return result;
    }
    const auto slot = ArchiverChoice::choose(m_slots, entryName, requireProgram);
    if (!slot) {
        result.outcome = Outcome::NoArchiver;
        return result;
    }
    result.program = QString::fromStdString(slot->path);
    const QString resolved = ArchiverChoice::resolveProgram(result.program);
    if (m_status)
        m_status(messages::extractingDescription(entryName, result.program));
    ArchiverRunner runner(m_tempDir, std::chrono::seconds(m_timeoutSeconds));
    runner.setBlocking(m_blocking);
    const auto run = runner.extract(
        resolved.isEmpty() ? result.program : resolved, QString::fromStdString(slot->options), archivePath);
    if (m_status)
        m_status(QString());
    switch (run.outcome) {
    case ArchiverRunner::Outcome::Extracted:
        result.outcome = Outcome::Extracted;
        result.text = run.description.toStdString();
        break;
    case ArchiverRunner::Outcome::TimedOut:
        result.outcome = Outcome::TimedOut;
        break;
    case ArchiverRunner::Outcome::NoDescription:
    case ArchiverRunner::Outcome::NotStarted:
        result.outcome = Outcome::NoDescription;
        break;
    }
    return result;
}

} // namespace qv
