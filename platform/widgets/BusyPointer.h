#pragma once

#include <QApplication>

namespace qv {

// The busy pointer for the length of a scope, lifted while a question waits for the user.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    // Runs ask with the normal pointer (inside a busy scope) and returns its answer.
    template <class F> static auto lifted(F&& ask)
    {
        QApplication::restoreOverrideCursor();
        auto answer = ask();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return answer;
    }
};

} // namespace qv
