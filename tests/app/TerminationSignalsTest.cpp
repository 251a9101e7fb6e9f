#include "app/TerminationSignals.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace qv {
namespace {

// A signal closes the windows from the event loop (the process lives on to write its settings),
// a second one would end it at once, and the handlers in place before are back when the object
// goes.
TEST(TerminationSignals, EachSignalClosesTheWindowsAndTheOldHandlerComesBack)
{
    for (const int signal : TerminationSignals::kSignals) {
        struct sigaction before { };
        ::sigaction(signal, nullptr, &before);
        {
            QWidget window;
            window.show();
            const TerminationSignals ending;
            ASSERT_EQ(::raise(signal), 0);
            QElapsedTimer waited;
            waited.start();
            while (window.isVisible() && waited.elapsed() < 5000)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            EXPECT_FALSE(window.isVisible()) << signal;
            EXPECT_TRUE(TerminationSignals::requested());
            struct sigaction meanwhile { };
            ::sigaction(signal, nullptr, &meanwhile);
            EXPECT_EQ(meanwhile.sa_handler, SIG_DFL) << "a second signal ends the program at once";
        }
        struct sigaction after { };
        ::sigaction(signal, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before.sa_handler) << signal;
    }
}

} // namespace
} // namespace qv
