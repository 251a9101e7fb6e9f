#pragma once

#include "transfer/EntryTransfer.h"
#include "transfer/FileCopier.h"
#include "transfer/widgets/CopyProgressWindow.h"

#include <QPointer>
#include <QString>

class QWidget;

namespace qv {

class Dialogs;

// The window side of every file copy of a transfer: the progress window, shown from the first
// copy until this object goes, the overwrite question and the messages about files that could
// not be copied. The window keeps repainting while a file is copied; the user's input waits.
// Callers hold a BusyPointer while they copy; questions lift it.
class CopyFileWithProgress {
public:
    CopyFileWithProgress(Dialogs& dialogs, QWidget* parent);
    ~CopyFileWithProgress();
    CopyFileWithProgress(const CopyFileWithProgress&) = delete;
    CopyFileWithProgress& operator=(const CopyFileWithProgress&) = delete;

    EntryTransfer::Callbacks transferCallbacks();
    FileCopier::Callbacks copyCallbacks();
    // Shows the window (made on first use) with the file about to be copied.
    void copying(const QString& shownSource);
    void copyFailed(const FileCopier::Copy& copy);
    CopyProgressWindow* window() const { return m_window; }

private:
    Dialogs& m_dialogs;
    QWidget* m_parent;
    QPointer<CopyProgressWindow> m_window;
};

} // namespace qv
