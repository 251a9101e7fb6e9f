#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>

namespace qv {

class ToolContext;

// How far a long command has come: one line on standard error, redrawn in place, when standard
// error is a terminal and --quiet was not given; nothing otherwise, so that logs and pipes get
// only the result. The line is cleared when the progress ends.
class TerminalProgress {
public:
    TerminalProgress(const ToolContext& context, QString label, uint64_t total);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void show(uint64_t done, const QString& item = {});
    void step(const QString& item = {}) { show(m_done + 1, item); }
    void setTotal(uint64_t total) { m_total = total; }
    // Clears the line, before the command prints its result.
    void finish();

private:
    QString m_label;
    uint64_t m_total;
    uint64_t m_done = 0;
    bool m_on;
    bool m_drawn = false;
    QElapsedTimer m_sinceDrawn;
};

} // namespace qv
