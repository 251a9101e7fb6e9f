#include "browser/TransferController.h"

#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"
#include "transfer/Clipboard.h"
#include "transfer/EntryTransfer.h"
#include "transfer/widgets/ClipboardViewer.h"
#include "transfer/widgets/CopyFileWithProgress.h"
#include "transfer/widgets/DirectTransferDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace qv {

namespace {

// While a transfer runs no command may start another change.
class TransferRunning {
public:
    explicit TransferRunning(MainWindow* window)
        : m_window(window)
    {
        m_window->setTransferRunning(true);
    }
    ~TransferRunning() { m_window->setTransferRunning(false); }

private:
    MainWindow* m_window;
};
} // namespace

TransferController::TransferController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
    , m_clipboard(new Clipboard(this))
{
    CommandTable* c = m_parts.commands;
    // The right-button items always act on rows; the Edit menu's on rows only while the list has
    // the focus, on the focused text box's text, or on nothing (the tree, an area selector).
    auto onRows = [this] {
        auto* a = qobject_cast<QAction*>(sender());
        if (a && a->objectName().startsWith(QLatin1String("file")))
            return true;
        QWidget* focus = QApplication::focusWidget();
        if (!focus || focus->window() != m_parts.window)
            focus = m_parts.window->focusWidget(); // the window's own, while another is active
        return focus && (focus == m_parts.list || m_parts.list->isAncestorOf(focus));
    };
    c->route("cut", this, [this, onRows] { onRows() ? take(true) : void(textCommand(QStringLiteral("cut"))); });
    c->route("copy", this, [this, onRows] { onRows() ? take(false) : void(textCommand(QStringLiteral("copy"))); });
    c->route("paste", this, [this, onRows] { onRows() ? paste(false) : void(textCommand(QStringLiteral("paste"))); });
    c->route("behall", this, [this] { paste(true); });
    c->route("dcopy", this, [this] { direct(false); });
    c->route("dmove", this, [this] { direct(true); });
    c->route("intclip", this, [this] { showViewer(); });
    m_parts.window->setClipboardQuery([this] { return m_clipboard->canPaste(); });
    connect(m_clipboard, &Clipboard::changed, m_parts.window, &MainWindow::refreshCommands);
}

TransferController::~TransferController()
{
    delete m_viewer.data();
}

void TransferController::showCounts()
{
    m_parts.objectsPanel->setText(messages::objectCount(m_parts.model->rows().size()));
    m_parts.sizePanel->setText(messages::megabytes(m_parts.model->totalSize()));
}

bool TransferController::textCommand(const QString& command)
{
    QWidget* focus = QApplication::focusWidget();
    auto* line = qobject_cast<QLineEdit*>(focus);
    auto* plain = qobject_cast<QPlainTextEdit*>(focus);
    auto* rich = qobject_cast<QTextEdit*>(focus);
    if (!line && !plain && !rich)
        return false;
    // Failures of the system clipboard are nobody's business here.
    QClipboard* system = QApplication::clipboard();
    const bool readOnly = line ? line->isReadOnly() : plain ? plain->isReadOnly() : rich->isReadOnly();
    if (command == QLatin1String("paste")) {
        if (readOnly)
            return true;
        const QString text = system->text();
        if (line)
            line->insert(text);
        else if (plain)
            plain->insertPlainText(text);
        else
            rich->insertPlainText(text);
        return true;
    }
    const QString selected = line ? line->selectedText()
        : plain                   ? plain->textCursor().selectedText()
                                  : rich->textCursor().selectedText();
    if (selected.isEmpty())
        return true;
    // Line breaks of a selection come out as paragraph separators.
    system->setText(QString(selected).replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    if (command == QLatin1String("cut")) {
        if (line)
            readOnly ? line->deselect() : line->del();
        else {
            QTextCursor cursor = plain ? plain->textCursor() : rich->textCursor();
            if (readOnly)
                cursor.clearSelection();
            else
                cursor.removeSelectedText();
            plain ? plain->setTextCursor(cursor) : rich->setTextCursor(cursor);
        }
    }
    return true;
}

void TransferController::take(bool cut)
{
    QList<int> selected = m_parts.list->selectedRows();
    std::sort(selected.begin(), selected.end());
    if (selected.size() > Clipboard::kCapacity) {
        const messages::Message m = messages::clipboardTooSmall(int(selected.size()), Clipboard::kCapacity);
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        return;
    }
    std::vector<Clipboard::Item> items;
    items.reserve(size_t(selected.size()));
    for (int row : selected)
        items.push_back({ uint64_t(row), m_parts.model->rows()[size_t(row)] });
    m_clipboard->take(
        cut ? Clipboard::Mode::Cut : Clipboard::Mode::Copy, m_parts.areas->currentArea(), std::move(items));
}

void TransferController::paste(bool behindAll)
{
    if (!m_clipboard->canPaste() || m_clipboard->isEmpty())
        return;
    const int area = m_parts.areas->currentArea();
    const auto& rows = m_parts.model->rows();
    // Behind the current row when it is selected, else behind the last.
    EntryTransfer::Request request;
    const int current = m_parts.list->currentRow();
    if (!behindAll && current >= 0 && current < int(rows.size()) && m_parts.list->selectedRows().contains(current))
        request.behind = identityOf(rows[size_t(current)], uint64_t(current));
    request.source = m_clipboard->area();
    request.entries = m_clipboard->items();
    request.locate = true;
    request.move = m_clipboard->mode() == Clipboard::Mode::Cut;
    request.area = area;
    request.useLongNames = m_services.settings.useLongNames;

    const EntryTransfer::Outcome outcome = run(request);
    if (outcome.cancelled) {
        m_parts.window->say(messages::transferCancelled());
        return;
    }
    if (outcome.gone || outcome.ambiguous) {
        const size_t k = outcome.gone ? *outcome.gone : *outcome.ambiguous;
        const QString rowText = m_services.board.text(request.entries[k].row.name);
        const messages::Message m = outcome.gone ? messages::clipboardEntryGone(request.source, rowText)
                                                 : messages::clipboardEntryAmbiguous(request.source, rowText);
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        return;
    }
    if (outcome.failedAt == EntryTransfer::Stage::Checking || outcome.failedAt == EntryTransfer::Stage::Destination) {
        const messages::Message m = outcome.stale || outcome.error->code == kChangedMeanwhile
            ? messages::changeFailed(area, QStringLiteral("Paste"), outcome.error->code, outcome.error->message)
            : messages::transferFailed();
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        m_parts.areas->readAgainInPlace();
        return;
    }
    if (request.source == area) {
        // The rows move in the list when the store's order is the one the list would make of
        // what it shows; when another program moved entries meanwhile the list is read again.
        std::vector<uint64_t> shown;
        for (const auto& e : request.entries)
            shown.push_back(e.position);
        const uint64_t p = request.behind ? request.behind->position + 1 : uint64_t(rows.size());
        const uint64_t n = rows.size();
        if (outcome.order
            != (request.move ? EntryTransfer::moveOrder(n, shown, p) : EntryTransfer::duplicateOrder(n, shown, p)))
            m_parts.areas->readAgainInPlace();
        else if (request.move)
            m_parts.model->moveEntries(std::vector<int>(shown.begin(), shown.end()), int(outcome.insertedAt));
        else
            m_parts.model->insertEntries(int(outcome.insertedAt), outcome.inserted);
    } else {
        m_parts.model->insertEntries(int(outcome.insertedAt), outcome.inserted);
    }
    showCounts();
    if (outcome.failedAt == EntryTransfer::Stage::Source) {
        const messages::Message m
            = messages::moveLeftSource(request.source, outcome.error->code, outcome.error->message);
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        return;
    }
    if (request.move)
        m_clipboard->pasteCompleted();
    else
        m_clipboard->heldAt(outcome.heldNow);
    m_parts.window->say(
        messages::transferReport(request.move, qint64(request.entries.size()), false, QString::number(area)));
}

void TransferController::direct(bool move, int toArea)
{
    QList<int> selected = m_parts.list->selectedRows();
    if (selected.isEmpty()) {
        const messages::Message m = messages::noFilesSelected();
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Exclamation);
        return;
    }
    std::sort(selected.begin(), selected.end());
    const int area = m_parts.areas->currentArea();
    const auto& rows = m_parts.model->rows();
    const int current = m_parts.list->currentRow();
    DirectTransferDialog::Setup setup;
    setup.move = move;
    setup.currentArea = area;
    setup.currentIsComment = current >= 0 && current < int(rows.size()) && rows[size_t(current)].comment;
    setup.itemsByNumber = !m_parts.areas->orderByName();
    // Rows dropped onto an area's node have their destination; the rest ask for it.
    const auto target = toArea ? std::optional<DirectTarget>(DirectTarget { true, toArea, {}, {} })
                               : DirectTransferDialog::ask(m_parts.window, m_services.board, m_services.dialogs, setup);
    if (!target)
        return;

    EntryTransfer::Request request;
    request.source = area;
    for (int row : selected)
        request.entries.push_back({ uint64_t(row), rows[size_t(row)] });
    request.move = move;
    request.to = target->toArea ? EntryTransfer::To::Area : EntryTransfer::To::Directory;
    request.area = target->area;
    request.directory = target->directory;
    request.useLongNames = m_services.settings.useLongNames;

    const EntryTransfer::Outcome outcome = run(request);
    if (outcome.cancelled) {
        m_parts.window->say(messages::transferCancelled());
        return;
    }
    if (outcome.failedAt == EntryTransfer::Stage::Checking || outcome.failedAt == EntryTransfer::Stage::Destination) {
        const messages::Message m = outcome.stale || outcome.error->code == kChangedMeanwhile
            ? messages::changeFailed(area, move ? QStringLiteral("Direct Move") : QStringLiteral("Direct Copy"),
                outcome.error->code, outcome.error->message)
            : messages::transferFailed();
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        if (outcome.stale)
            m_parts.areas->readAgainInPlace();
        return;
    }
    if (outcome.failedAt == EntryTransfer::Stage::Source) {
        const messages::Message m = messages::moveLeftSource(area, outcome.error->code, outcome.error->message);
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        m_parts.areas->readAgainInPlace();
        return;
    }
    const bool toDirectory = request.to == EntryTransfer::To::Directory;
    m_parts.window->say(messages::transferReport(move, qint64(request.entries.size()), toDirectory,
        toDirectory ? request.directory : QString::number(request.area)));
    if (!outcome.removed.empty()) {
        QList<QByteArray> removed;
        for (const auto& e : request.entries)
            removed.append(
                QByteArray(reinterpret_cast<const char*>(e.row.record.data()), qsizetype(e.row.record.size())));
        m_clipboard->entriesRemoved(area, removed);
        // Removed where the list shows them, or found elsewhere after another program's change.
        std::vector<uint64_t> shown;
        for (const auto& e : request.entries)
            shown.push_back(e.position);
        if (std::includes(shown.begin(), shown.end(), outcome.removed.begin(), outcome.removed.end())) {
            m_parts.model->removeEntries(std::vector<int>(outcome.removed.begin(), outcome.removed.end()));
            m_parts.files->clearDescription();
            showCounts();
        } else {
            m_parts.areas->readAgainInPlace();
        }
    }
}

EntryTransfer::Outcome TransferController::run(const EntryTransfer::Request& request)
{
    TransferRunning running(m_parts.window);
    BusyPointer busy;
    CopyFileWithProgress progress(m_services.dialogs, m_parts.window);
    return EntryTransfer(m_services.board).run(request, progress.transferCallbacks(request));
}

void TransferController::showViewer()
{
    if (!m_viewer)
        m_viewer = new ClipboardViewer(*m_clipboard, m_services.board, m_parts.window);
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

} // namespace qv
