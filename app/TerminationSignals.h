#pragma once

#include <QObject>

#include <csignal>
#include <iterator>

class QSocketNotifier;

namespace qv {

// Ends the program on SIGTERM, SIGHUP or SIGINT (a session logging out, a closed terminal,
// Ctrl+C) as if its windows were closed: the settings are written, the private temporary
// directory is removed, and a transfer in progress ends before the window closes. The handler
// only writes to a pipe; the windows are closed from the event loop. A second signal, once the
// first was seen, ends the program at once, which the journalled store survives.
//
// One at a time; the handlers it replaced are put back when it goes.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    static constexpr int kSignals[] = { SIGTERM, SIGHUP, SIGINT };
    // Whether a signal came: one that came while starting up, before the window was there to
    // close, ends the program once the window is up.
    static bool requested() { return s_requested; }

private:
    void onSignal();

    static inline bool s_requested = false;
    int m_pipe[2] = { -1, -1 };
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[std::size(kSignals)] { };
};

} // namespace qv
