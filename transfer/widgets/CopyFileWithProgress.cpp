#include "transfer/widgets/CopyFileWithProgress.h"

#include "board/Messages.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"
#include "transfer/widgets/CopyProgressWindow.h"

#include <QApplication>
#include <QDir>

namespace qv {

namespace {
void repaint()
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
} // namespace

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

FileCopier::Callbacks CopyFileWithProgress::copyCallbacks()
{
    FileCopier::Callbacks c;
    c.overwrite = [this](const QString& destination) {
        const messages::Message m = messages::overwriteQuestion(QDir::toNativeSeparators(destination));
        return BusyPointer::lifted([&] {
            return m_dialogs.question(
                       m_parent, m.title, m.text, Dialogs::Icon::Question, Dialogs::Buttons::YesNo, Dialogs::Answer::No)
                == Dialogs::Answer::Yes;
        });
    };
    c.progress = [this](qint64 done, qint64 total) {
        if (m_window)
            m_window->setBytes(done, total);
        repaint();
    };
    return c;
}

void CopyFileWithProgress::copying(const QString& shownSource)
{
    if (!m_window) {
        m_window = new CopyProgressWindow(m_parent);
        m_window->show();
    }
    m_window->setSourcePath(shownSource);
    repaint();
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
