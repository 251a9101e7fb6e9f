#include "app/TerminationSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qv {

namespace {
int writeEnd = -1; // of the pipe of the one live instance, for the handler

void handler(int)
{
    const int saved = errno;
    const char byte = 1;
    (void)::write(writeEnd, &byte, 1);
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default: the program ends as before
    writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);
    struct sigaction action { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t k = 0; k < std::size(kSignals); ++k)
        ::sigaction(kSignals[k], &action, &m_previous[k]);
}

TerminationSignals::~TerminationSignals()
{
    if (m_pipe[0] < 0)
        return;
    for (size_t k = 0; k < std::size(kSignals); ++k)
        ::sigaction(kSignals[k], &m_previous[k], nullptr);
    writeEnd = -1;
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::onSignal()
{
    char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    s_requested = true;
    // From now on a signal takes its default course.
    for (size_t k = 0; k < std::size(kSignals); ++k)
        ::signal(kSignals[k], SIG_DFL);
    QApplication::closeAllWindows();
}

} // namespace qv
