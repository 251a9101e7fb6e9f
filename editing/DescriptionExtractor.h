#pragma once

#include "settings/Settings.h"

#include <QString>

#include <functional>
#include <string>

namespace qv {

// Extracts one description: chooses the archiver for the entry's name and runs it on the
// archive. The status text is reported while the archiver runs and cleared afterwards.
class DescriptionExtractor {
public:
    enum class Outcome { Extracted, NoArchiver, NoDescription, MissingFile, TimedOut };
    struct Result {
        Outcome outcome = Outcome::NoArchiver;
        std::string text; // the bytes of FILE_ID.DIZ (at most 4096), as stored
        QString program;
    };

    // tempDir: the run's private temporary directory.
    DescriptionExtractor(const Settings& settings, QString tempDir);

    void setStatus(std::function<void(const QString&)> status) { m_status = std::move(status); }
    // qvtool waits without an event loop of its own.
    void setBlocking(bool blocking) { m_blocking = blocking; }

    Result extract(const QString& archivePath, const QString& entryName, bool requireProgram) const;
    int timeoutSeconds() const { return m_timeoutSeconds; }

private:
    std::array<ArchiverSlot, 32> m_slots;
    QString m_tempDir;
    int m_timeoutSeconds;
    bool m_blocking = false;
    std::function<void(const QString&)> m_status;
};

} // namespace qv
