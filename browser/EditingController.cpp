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

#include <memory>

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
    // The dialog works on the entry shown, wherever another program moves it meanwhile: each
    // Apply is refused unless the row still holds the record, which becomes what it wrote.
    auto shown = std::make_shared<RowIdentity>(identityOf(m_parts.model->rows()[size_t(row)], uint64_t(row)));
    QString error;
    bool changed = false;
    auto fields = EntryProperties(board, area).read(*shown, m_services.settings.useLongNames, &error, &changed);
    if (!fields) {
        m_services.dialogs.message(m_parts.window, QStringLiteral("Quorvex"), error, Dialogs::Icon::Warning);
        if (changed)
            m_parts.areas->readAgainInPlace();
        return;
    }
    // The caption names the entry as the list shows it.
    fields->name = board.text(m_parts.model->rows()[size_t(row)].name);
    auto refused = std::make_shared<bool>(false);
    auto applier = [&board, area, shown, refused](const PropertyChanges& changes) {
        PropertiesResult result = EntryProperties(board, area).apply(*shown, changes);
        if (result.outcome == PropertiesResult::Outcome::Written)
            shown->record = result.header.encode();
        *refused = *refused || result.rowsChanged;
        return result;
    };
    auto* dialog
        = new PropertiesDialog(m_services.dialogs, *fields, m_parts.description->font(), applier, m_parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PropertiesDialog::applied, this, [this, row](const PropertiesResult& result) {
        if (row >= int(m_parts.model->rows().size()))
            return;
        LoadedRow updated = m_parts.model->rows()[size_t(row)];
        if (!updated.comment)
            EntryProperties::updateRow(updated, result.header);
        else
            updated.record = result.header.encode();
        m_parts.model->updateEntry(row, updated);
        if (result.written.contains(QStringLiteral("description")))
            m_parts.description->showDescription(result.description);
        if (!result.written.isEmpty())
            reportDone(m_parts.window, messages::propertiesReport(m_services.board.text(updated.name)));
    });
    // The list is read again once the dialog is gone, never under it.
    connect(dialog, &QDialog::finished, this, [this, refused] {
        if (*refused)
            m_parts.areas->readAgainInPlace();
    });
    dialog->open();
    dialog->showPage(page);
}

void EditingController::showGlobalDescription()
{
    const int area = m_parts.areas->currentArea();
    const Board& board = m_services.board;
    auto refused = std::make_shared<bool>(false);
    auto runner = [this, &board, area, refused](const QString& text) {
        std::vector<RowIdentity> shown;
        for (int row : m_parts.list->selectedRows())
            shown.push_back(identityOf(m_parts.model->rows()[size_t(row)], uint64_t(row)));
        DescriptionsResult result = Descriptions(board, area).giveAll(std::move(shown), text);
        *refused = *refused || result.rowsChanged;
        return result;
    };
    auto* dialog = new GlobalDescriptionDialog(m_services.dialogs, m_parts.description->font(), runner, m_parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The list stays as it is; the pane shows the new text when its row was among them.
    connect(dialog, &GlobalDescriptionDialog::written, this, [this](const DescriptionsResult& result) {
        for (const RowIdentity& r : result.records) {
            LoadedRow row = m_parts.model->rows()[size_t(r.position)];
            row.record = r.record;
            m_parts.model->updateEntry(int(r.position), std::move(row));
        }
        const int current = m_parts.list->currentRow();
        if (result.outcome == DescriptionsResult::Outcome::Written && m_parts.list->selectedRows().contains(current))
            m_parts.description->showDescription(result.description);
        if (result.outcome == DescriptionsResult::Outcome::Written)
            reportDone(m_parts.window, messages::descriptionsReport(result.appended + result.overwritten));
    });
    connect(dialog, &QDialog::finished, this, [this, refused] {
        if (*refused)
            m_parts.areas->readAgainInPlace();
    });
    dialog->open();
}

void EditingController::insertComment()
{
    const int area = m_parts.areas->currentArea();
    if (area == 0)
        return;
    const auto& rows = m_parts.model->rows();
    const int current = m_parts.list->currentRow();
    const bool currentSelected
        = current >= 0 && current < int(rows.size()) && m_parts.list->selectedRows().contains(current);
    // Behind the current row while it is still there; else behind the last entry there is then.
    std::optional<RowIdentity> behind;
    if (currentSelected)
        behind = identityOf(rows[size_t(current)], uint64_t(current));
    const DescriptionsResult result
        = Descriptions(m_services.board, area).insertComment(UINT64_MAX, QString(), CurrentUploader::get(), behind);
    if (result.outcome != DescriptionsResult::Outcome::Written) {
        m_services.dialogs.message(m_parts.window, QStringLiteral("Quorvex"), result.message, Dialogs::Icon::Warning);
        if (result.rowsChanged)
            m_parts.areas->readAgainInPlace();
        return;
    }
    // Behind the last there may be entries another program added that the list does not show yet.
    if (result.position == (behind ? behind->position + 1 : rows.size()))
        m_parts.model->insertEntries(int(result.position), { result.row });
    else
        m_parts.areas->readAgainInPlace();
    reportDone(m_parts.window, messages::commentInsertedReport());
}

} // namespace qv
