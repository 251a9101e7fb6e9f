#include "browser/RemoveSortController.h"

#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "editing/AreaSorter.h"
#include "editing/EntryRemover.h"
#include "editing/EntryUpdater.h"
#include "editing/widgets/DeletionQuestion.h"
#include "editing/widgets/SortDialog.h"
#include "editing/widgets/SortProgressWindow.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTreeView>

#include <memory>

namespace qv {

RemoveSortController::RemoveSortController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
    , m_remover(new EntryRemover(services.board, this))
{
    CommandTable* c = m_parts.commands;
    c->route("remov", this, [this] { removeSelected(); });
    c->route("update", this, [this] { updateSelected(); });
    c->route("SelSort", this, [this] { sortSelection(); });
    QHeaderView* header = m_parts.list->detailsView()->header();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this, &RemoveSortController::sortAll);
}

RemoveSortController::~RemoveSortController() = default;

void RemoveSortController::showCounts()
{
    m_parts.objectsPanel->setText(messages::objectCount(m_parts.model->rows().size()));
    m_parts.sizePanel->setText(messages::megabytes(m_parts.model->totalSize()));
}

void RemoveSortController::reportFailure(const QString& command, int code, const std::string& detail)
{
    const int area = m_parts.areas->currentArea();
    const messages::Message m = messages::changeFailed(area, command, code, detail);
    m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
    // What the files now hold, whichever way the change went, on the entries the user saw.
    m_parts.areas->readAgainInPlace();
}

void RemoveSortController::removeSelected()
{
    const QList<int> selected = m_parts.list->selectedRows();
    if (selected.isEmpty())
        return;
    const std::vector<int> positions(selected.begin(), selected.end());
    const int area = m_parts.areas->currentArea();
    EntryRemover::Outcome outcome;
    {
        BusyPointer busy;
        outcome = m_remover->remove(area, m_parts.model->rows(), positions, [&](const QString& rowText) {
            return busy.lifted([&] { return askDeletion(m_services.dialogs, m_parts.window, rowText); });
        });
    }
    if (outcome.cancelled)
        return;
    if (outcome.error) {
        reportFailure(QStringLiteral("Remove"), outcome.error->code, outcome.error->message);
        return;
    }
    m_parts.model->removeEntries(positions);
    showCounts();
    m_parts.files->clearDescription();
    reportDone(m_parts.window,
        messages::removedReport(
            qint64(positions.size()), outcome.deleted.size(), outcome.trashed.size(), m_services.board.usesTrash()));
    showCarriedOver(outcome.carried, "the removal");
    if (!outcome.filesNotLookedFor.isEmpty()) {
        const messages::Message m = messages::filesNotLookedFor(outcome.filesNotLookedFor);
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
    }
}

void RemoveSortController::updateSelected()
{
    const QList<int> selected = m_parts.list->selectedRows();
    if (selected.isEmpty())
        return;
    const int area = m_parts.areas->currentArea();
    EntryUpdater::Outcome outcome;
    {
        BusyPointer busy;
        outcome = EntryUpdater(m_services.board)
                      .update(area, m_parts.model->rows(), std::vector<int>(selected.begin(), selected.end()));
    }
    if (outcome.error) {
        reportFailure(QStringLiteral("Update"), outcome.error->code, outcome.error->message);
        return;
    }
    for (const EntryUpdater::Changed& c : outcome.changed) {
        LoadedRow row = m_parts.model->rows()[size_t(c.position)];
        row.record = c.record;
        m_parts.model->updateEntry(int(c.position), std::move(row));
    }
    showCounts();
    reportDone(m_parts.window, messages::updatedReport(selected.size(), qint64(outcome.changed.size())));
    if (!outcome.skipped.isEmpty()) {
        const messages::Message m = messages::updateSkipped(outcome.skipped);
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
    }
}

void RemoveSortController::sortAll(int column)
{
    // A header click is no command action, so it minds a running transfer itself.
    if (m_parts.commands->state().transferRunning || column < 0 || column >= kSortKeyCount)
        return;
    sort(false, column);
}

void RemoveSortController::sortSelection()
{
    sort(true, int(SortKey::Name));
}

void RemoveSortController::sort(bool selection, int preselectedKey)
{
    const auto choice = SortDialog::ask(
        m_parts.window, selection ? SortDialog::Scope::Selection : SortDialog::Scope::All, SortKey(preselectedKey));
    if (!choice)
        return;
    SortRequest request { choice->key, choice->descending, std::nullopt };
    if (selection) {
        const QList<int> rows = m_parts.list->selectedRows();
        request.only = std::vector<int>(rows.begin(), rows.end());
    }
    const int area = m_parts.areas->currentArea();
    const uint64_t count = request.only ? request.only->size() : m_parts.model->rows().size();

    std::unique_ptr<SortProgressWindow> progressWindow;
    if (count >= uint64_t(kProgressRows)) {
        progressWindow = std::make_unique<SortProgressWindow>(m_parts.window);
        progressWindow->show();
    }
    AreaSorter::Outcome outcome;
    {
        BusyPointer busy;
        outcome = AreaSorter(m_services.board)
                      .sort(
                          area, m_parts.model->rows(), request,
                          [&](uint64_t settled, uint64_t total) {
                              if (!progressWindow)
                                  return;
                              progressWindow->setProgress(settled, total);
                              // The window is modal: of the input only its Cancel button counts.
                              QApplication::processEvents();
                              // Gone before the files are rewritten.
                              if (settled == total)
                                  progressWindow->hide();
                          },
                          [&] { return progressWindow && progressWindow->cancelled(); });
    }
    progressWindow.reset();
    if (outcome.cancelled) {
        reportDone(m_parts.window, messages::sortCancelled());
        return;
    }
    if (outcome.error) {
        reportFailure(QStringLiteral("Sort"), outcome.error->code, outcome.error->message);
        return;
    }
    static const char* const kKeyNames[]
        = { "name", "size", "file date", "upload date", "last download", "downloads", "uploader" };
    const QString report
        = messages::sortedReport(selection, QString::fromLatin1(kKeyNames[int(choice->key)]), choice->descending);
    if (outcome.changed)
        m_parts.areas->readAgainInPlace();
    reportDone(m_parts.window, report);
    showCarriedOver(outcome.carried, "the sort");
}

void RemoveSortController::showCarriedOver(const CarriedOver& carried, const char* operation)
{
    const QString text = messages::boardWritesKept(m_parts.areas->currentArea(), carried, operation);
    if (text.isEmpty())
        return;
    // The entries the board added are in the files, not yet in the list.
    m_parts.areas->readAgainInPlace();
    if (auto* frame = qobject_cast<QMainWindow*>(m_parts.window))
        frame->statusBar()->showMessage(text, 15000);
}

} // namespace qv
