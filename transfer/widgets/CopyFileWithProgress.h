#pragma once

#include "transfer/EntryTransfer.h"
#include "transfer/FileCopier.h"
#include "transfer/widgets/CopyProgressWindow.h"

#include <QPointer>
#include <QString>

#include <optional>

class QWidget;

namespace qv {

class Dialogs;

// The window side of every file copy of a transfer: the progress window, shown from the first
// copy until this object goes, the overwrite question and the messages about files that could
// not be copied. The bytes are copied on a worker thread while the event loop runs here, so every
// window keeps repainting; of the user's input only the Cancel button counts (the window is
// modal), which stops the copy at the next piece and removes it. Callers hold a BusyPointer
// while they copy, and keep every command that would start another change disabled; questions
// lift the pointer.
class CopyFileWithProgress {
public:
    CopyFileWithProgress(Dialogs& dialogs, QWidget* parent);
    ~CopyFileWithProgress();
    CopyFileWithProgress(const CopyFileWithProgress&) = delete;
    CopyFileWithProgress& operator=(const CopyFileWithProgress&) = delete;

    EntryTransfer::Callbacks transferCallbacks();
    // The same, with the overwrite question saying what "No" does to the request's entries.
    EntryTransfer::Callbacks transferCallbacks(const EntryTransfer::Request& request);
    FileCopier::Callbacks copyCallbacks();
    void setWhatNoDoes(const QString& text) { m_whatNoDoes = text; }
    // Shows the window (made on first use) with the file about to be copied.
    void copying(const QString& shownSource);
    void copyFailed(const FileCopier::Copy& copy);
    CopyProgressWindow* window() const { return m_window; }
    bool cancelled() const { return m_cancelled; }

private:
    void letEventsRun();

    Dialogs& m_dialogs;
    QWidget* m_parent;
    QPointer<CopyProgressWindow> m_window;
    QString m_whatNoDoes;
    // "Yes to all" or "No to all": the answer for every later question of this transfer.
    std::optional<bool> m_overwriteAll;
    bool m_cancelled = false;
};

} // namespace qv
