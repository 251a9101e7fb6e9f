#include "transfer/widgets/CopyFileWithProgress.h"

#include "board/Messages.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"
#include "transfer/widgets/CopyProgressWindow.h"

#include <QApplication>
#include <QDir>

namespace qv {

CopyFileWithProgress::CopyFileWithProgress(Dialogs& dialogs, QWidget* parent)
    : m_dialogs(dialogs)
    , m_parent(parent)
{
}

CopyFileWithProgress::~CopyFileWithProgress()
{
    delete m_window.data();
}

EntryTransfer::Callbacks CopyFileWithProgress::transferCallbacks()
{
    EntryTransfer::Callbacks c;
    c.copy = copyCallbacks();
    c.copying = [this](const QString& source) { copying(source); };
    c.copyFailed = [this](const FileCopier::Copy& copy) { copyFailed(copy); };
    return c;
}

EntryTransfer::Callbacks CopyFileWithProgress::transferCallbacks(const EntryTransfer::Request& request)
{
    m_whatNoDoes = messages::overwriteDeclined(request.to == EntryTransfer::To::Directory, request.move);
    return transferCallbacks();
}

FileCopier::Callbacks CopyFileWithProgress::copyCallbacks()
{
    FileCopier::Callbacks c;
    c.overwrite = [this](const QString& destination) {
        if (m_overwriteAll)
            return *m_overwriteAll;
        const messages::Message m = messages::overwriteQuestion(QDir::toNativeSeparators(destination), m_whatNoDoes);
        enum { Yes, YesToAll, No, NoToAll };
        const int pressed = BusyPointer::lifted([&] {
            return m_dialogs.choose(
                m_parent, m.title, m.text, Dialogs::Icon::Question, messages::overwriteButtons(), No, No);
        });
        if (pressed == YesToAll || pressed == NoToAll)
            m_overwriteAll = pressed == YesToAll;
        return pressed == Yes || pressed == YesToAll;
    };
    c.cancelled = [this] { return m_cancelled; };
    c.progress = [this](qint64 done, qint64 total) {
        if (m_window)
            m_window->setBytes(done, total);
    };
    // The window's thread runs its event loop meanwhile: it repaints, and Cancel is heard.
    c.onWorker = true;
    return c;
}

void CopyFileWithProgress::copying(const QString& shownSource)
{
    // The label first, so the window is shown at the size its text needs.
    if (!m_window) {
        m_window = new CopyProgressWindow(m_parent);
        QObject::connect(m_window, &CopyProgressWindow::cancelRequested, m_window, [this] { m_cancelled = true; });
    }
    m_window->setSourcePath(shownSource);
    m_window->show();
    letEventsRun();
}

void CopyFileWithProgress::letEventsRun()
{
    // While the modal progress window shows, the user's input can reach its Cancel button only.
    QApplication::processEvents(
        m_window && m_window->isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

void CopyFileWithProgress::copyFailed(const FileCopier::Copy& copy)
{
    const messages::Message m = messages::copyFailed(copy.pathNotFound, QDir::toNativeSeparators(copy.destination));
    BusyPointer::lifted([&] {
        m_dialogs.message(m_parent, m.title, m.text, Dialogs::Icon::Critical);
        return true;
    });
}

} // namespace qv
