#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace qv {

// Runs one archiver to pull FILE_ID.DIZ out of one archive. The program is started directly
// with an argument list, never through a shell, so an archive's name (chosen by whoever
// uploaded it) cannot run anything. Each run works in a new empty directory of its own inside
// the run's private temporary directory and removes it afterwards.
class ArchiverRunner {
public:
    static constexpr int kDescriptionLimit = 4096; // bytes kept of FILE_ID.DIZ
    static constexpr std::chrono::seconds kDefaultTimeout { 30 };

    enum class Outcome {
        Extracted,
        NoDescription, // the archiver ended without leaving a regular FILE_ID.DIZ
        TimedOut, // killed at the time limit
        NotStarted, // the program could not be started, or no work directory
    };
    struct Result {
        Outcome outcome = Outcome::NoDescription;
        QByteArray description; // at most kDescriptionLimit bytes, as stored in the archive
        QByteArray output; // the archiver's console output (the first 64 KiB)
    };

    ArchiverRunner(QString privateTempDir, std::chrono::milliseconds timeout = kDefaultTimeout);

    // program [options...] archive FILE_ID.DIZ workdir/. The archive path is made absolute, so
    // a name starting with "-" is never taken for an option. While the archiver runs the event
    // loop keeps running (the window stays responsive) unless blocking is set.
    Result extract(const QString& program, const QString& options, const QString& archive) const;
    void setBlocking(bool blocking) { m_blocking = blocking; }

    // Options split into words as a shell splits them: blanks separate, single and double
    // quotes and backslashes group; nothing is expanded.
    static QStringList splitOptions(const QString& options);

private:
    QString m_tempDir;
    std::chrono::milliseconds m_timeout;
    bool m_blocking = false;
};

} // namespace qv
