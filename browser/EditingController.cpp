#include "browser/EditingController.h"

#include "editing/CurrentUploader.h"

#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"
#include "editing/widgets/GlobalDescriptionDialog.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"

#include <QItemSelectionModel>

namespace qv {

EditingController::EditingController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
{
    CommandTable* c = m_parts.commands;
    c->route("props", this, [this] { showProperties(PropertiesDialog::Page::General); });
    c->route("eddesc", this, [this] { showProperties(PropertiesDialog::Page::Description); });
    c->route("mnuGlobDesc", this, [this] { showGlobalDescription(); });
    c->route("icom", this, [this] { insertComment(); });
}

int EditingController::entryRow() const
{
    const int rows = int(m_parts.model->rows().size());
    int row = m_parts.list->currentRow();
    if (row < 0 || row >= rows) {
        const QList<int> selected = m_parts.list->selectedRows();
        row = selected.isEmpty() ? -1 : selected.first();
    }
    return row < rows ? row : -1;
}

void EditingController::showProperties(PropertiesDialog::Page page)
{
    const int row = entryRow();
    if (row < 0)
        return;
    const int area = m_parts.areas->currentArea();
    const Board& board = m_services.board;
    QString error;
    auto fields = EntryProperties(board, area).read(uint64_t(row), m_services.settings.useLongNames, &error);
    if (!fields) {
        m_services.dialogs.message(m_parts.window, QStringLiteral("Quorvex"), error, Dialogs::Icon::Warning);
        return;
    }
    // The caption names the entry as the list shows it.
    fields->name = board.text(m_parts.model->rows()[size_t(row)].name);
    auto applier = [&board, area, row](const PropertyChanges& changes) {
        return EntryProperties(board, area).apply(uint64_t(row), changes);
    };
    auto* dialog
        = new PropertiesDialog(m_services.dialogs, *fields, m_parts.description->font(), applier, m_parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PropertiesDialog::applied, this, [this, row](const PropertiesResult& result) {
        if (row >= int(m_parts.model->rows().size()))
            return;
        LoadedRow updated = m_parts.model->rows()[size_t(row)];
        if (!updated.comment) {
            EntryProperties::updateRow(updated, result.header);
            m_parts.model->updateEntry(row, updated);
        }
        if (result.written.contains(QStringLiteral("description")))
            m_parts.description->showDescription(result.description);
        if (!result.written.isEmpty())
            reportDone(m_parts.window, messages::propertiesReport(m_services.board.text(updated.name)));
    });
    dialog->open();
    dialog->showPage(page);
}

void EditingController::showGlobalDescription()
{
    const int area = m_parts.areas->currentArea();
    const Board& board = m_services.board;
    auto runner = [this, &board, area](const QString& text) {
        std::vector<uint64_t> positions;
        for (int row : m_parts.list->selectedRows())
            positions.push_back(uint64_t(row));
        return Descriptions(board, area).giveAll(std::move(positions), text);
    };
    auto* dialog = new GlobalDescriptionDialog(m_services.dialogs, m_parts.description->font(), runner, m_parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The list stays as it is; the pane shows the new text when its row was among them.
    connect(dialog, &GlobalDescriptionDialog::written, this, [this](const DescriptionsResult& result) {
        const int current = m_parts.list->currentRow();
        if (result.outcome == DescriptionsResult::Outcome::Written && m_parts.list->selectedRows().contains(current))
            m_parts.description->showDescription(result.description);
        if (result.outcome == DescriptionsResult::Outcome::Written)
            reportDone(m_parts.window, messages::descriptionsReport(result.appended + result.overwritten));
    });
    dialog->open();
}

void EditingController::insertComment()
{
    const int area = m_parts.areas->currentArea();
    if (area == 0)
        return;
    const int rows = int(m_parts.model->rows().size());
    const int current = m_parts.list->currentRow();
    const bool currentSelected = current >= 0 && current < rows && m_parts.list->selectedRows().contains(current);
    const uint64_t after = currentSelected ? uint64_t(current) + 1 : uint64_t(rows);
    const DescriptionsResult result
        = Descriptions(m_services.board, area).insertComment(after, QString(), CurrentUploader::get());
    if (result.outcome != DescriptionsResult::Outcome::Written) {
        m_services.dialogs.message(m_parts.window, QStringLiteral("Quorvex"), result.message, Dialogs::Icon::Warning);
        return;
    }
    m_parts.model->insertEntries(int(result.position), { result.row });
    reportDone(m_parts.window, messages::commentInsertedReport());
}

} // namespace qv
