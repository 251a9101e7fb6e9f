#include "cli/TerminalProgress.h"

#include "cli/ToolContext.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qv {

namespace {
int terminalWidth()
{
    winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20)
        return size.ws_col;
    return 80;
}
}

TerminalProgress::TerminalProgress(const ToolContext& context, QString label, uint64_t total)
    : m_label(std::move(label))
    , m_total(total)
    , m_on(!context.quiet() && isatty(STDERR_FILENO))
{
}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::finish()
{
    if (m_drawn) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
    m_drawn = false;
    m_on = false;
}

void TerminalProgress::show(uint64_t done, const QString& item)
{
    m_done = done;
    // Redrawn ten times a second at most: a terminal over ssh is slower than the work.
    if (!m_on || (m_drawn && m_sinceDrawn.elapsed() < 100 && done < m_total))
        return;
    QString line = m_label + QLatin1Char(' ');
    if (m_total > 0) {
        constexpr int kBar = 20;
        const int filled = int(std::min(done, m_total) * kBar / m_total);
        line += QStringLiteral("[%1%2] %3/%4")
                    .arg(QString(filled, QLatin1Char('#')), QString(kBar - filled, QLatin1Char('.')))
                    .arg(done)
                    .arg(m_total);
    } else {
        line += QString::number(done);
    }
    if (!item.isEmpty())
        line += QLatin1Char(' ') + ToolContext::escapeControls(item);
    line.truncate(terminalWidth() - 1);
    std::fputs(("\r\033[K" + line).toUtf8().constData(), stderr);
    std::fflush(stderr);
    m_drawn = true;
    m_sinceDrawn.start();
}

} // namespace qv
