#include "browser/FileListController.h"

#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListModel.h"
#include "board/Messages.h"
#include "browser/FileListView.h"
#include "platform/widgets/Desktop.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"
#include "storage/Text.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMenu>

namespace qv {

FileListController::FileListController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
{
    CommandTable* c = m_parts.commands;
    connect(m_parts.areas, &AreaController::areaLoaded, this, &FileListController::onAreaLoaded);
    connect(m_parts.list, &FileListView::rowClicked, this, &FileListController::describeRow);
    connect(m_parts.list, &FileListView::rowDoubleClicked, this, [this](int) { openCurrent(); });
    connect(m_parts.list, &FileListView::contextRequested, this, &FileListController::showContextMenu);
    c->route("open", this, [this] { openCurrent(); });
    c->route("explore", this, [this] { explore(); });
    c->route("ViewList", this, [this] { setListView(true); });
    c->route("ViewDetails", this, [this] { setListView(false); });
    connect(c->action("mnuDispLFN"), &QAction::triggered, this, [this](bool on) {
        m_services.settings.useLongNames = on;
        m_parts.areas->readArea(m_parts.areas->currentArea());
    });
    c->route("df", this, [this] { chooseDescriptionFont(); });
    // The pane follows the current row however it moves: click, keys, or a command.
    connect(
        m_parts.list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
            if (current.isValid())
                describeRow(current.row());
        });
}

void FileListController::onAreaLoaded()
{
    m_lastDescribed = -1;
}

bool FileListController::listView() const
{
    return m_parts.list->mode() == FileListView::Mode::List;
}

void FileListController::setListView(bool list)
{
    m_parts.list->setMode(list ? FileListView::Mode::List : FileListView::Mode::Details);
    CommandTable* c = m_parts.commands;
    c->action("ViewList")->setChecked(list);
    c->action("RmViewList")->setChecked(list);
    c->action("ViewDetails")->setChecked(!list);
    c->action("RmViewDetails")->setChecked(!list);
}

void FileListController::applyDescriptionFont()
{
    const Settings& s = m_services.settings;
    m_parts.description->setDescriptionFont(QString::fromStdString(s.descriptionFontName),
        QString::fromStdString(s.descriptionFontSize), s.descriptionFontBold, s.descriptionFontItalic);
}

void FileListController::describeRow(int row)
{
    if (row < 0 || row == m_lastDescribed || row >= int(m_parts.model->rows().size()))
        return;
    m_lastDescribed = row;
    const std::string text = m_services.board.store().readDescription(m_parts.areas->currentArea(), uint64_t(row));
    applyDescriptionFont();
    m_parts.description->showDescription(m_services.board.text(text));
}

void FileListController::clearDescription()
{
    m_lastDescribed = -1;
    m_parts.description->clearDescription();
}

QString FileListController::areaDosDirectory() const
{
    return m_services.board.areaDirectory(m_parts.areas->currentArea()).stored;
}

QString FileListController::areaHostDirectory() const
{
    return m_services.board.areaDirectory(m_parts.areas->currentArea()).host;
}

void FileListController::openCurrent()
{
    const int row = m_parts.list->currentRow();
    if (row < 0 || row >= int(m_parts.model->rows().size()))
        return;
    const LoadedRow& entry = m_parts.model->rows()[size_t(row)];
    if (entry.comment) {
        // Comment lines are edited, not opened; the editor answers when it exists.
        QAction* edit = m_parts.commands->action("eddesc");
        if (edit->isEnabled())
            edit->trigger();
        return;
    }
    const QString rowText = m_services.board.text(entry.name);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString hostDir = areaHostDirectory();
    const QString hostFile = Board::entryFile(hostDir, rowText);
    const Desktop::OpenResult result = m_services.desktop.openWithAssociatedApplication(hostFile, hostDir);
    QApplication::restoreOverrideCursor();
    if (result == Desktop::OpenResult::NoApplication)
        m_services.dialogs.message(m_parts.window, QStringLiteral("Open..."),
            QStringLiteral("No application linked to this extension"), Dialogs::Icon::Warning);
    else if (result == Desktop::OpenResult::NotFound)
        m_services.dialogs.message(m_parts.window, QStringLiteral("Open..."),
            QStringLiteral("Could not open file, file or path not found: '") + areaDosDirectory() + QStringLiteral("\\")
                + rowText + QStringLiteral("' !"),
            Dialogs::Icon::Warning);
}

void FileListController::explore()
{
    const Board::AreaDirectory dir = m_services.board.areaDirectory(m_parts.areas->currentArea());
    Desktop::Launch launch { false,
        dir.problem.isEmpty() ? QStringLiteral("it cannot be reached from here") : dir.problem };
    if (dir.ok())
        launch = m_services.desktop.exploreDirectory(dir.host);
    if (launch.started)
        return;
    const messages::Message m = messages::exploreFailed(dir.host.isEmpty() ? dir.stored : dir.host, launch.reason);
    m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
}

void FileListController::chooseDescriptionFont()
{
    const std::optional<QFont> font = m_services.dialogs.pickFont(m_parts.window, m_parts.description->font());
    if (!font || font->family().trimmed().isEmpty())
        return;
    Settings& s = m_services.settings;
    s.descriptionFontName = font->family().toStdString();
    s.descriptionFontSize = std::to_string(font->pointSize() > 0 ? font->pointSize() : 9);
    s.descriptionFontBold = font->bold();
    s.descriptionFontItalic = font->italic();
    applyDescriptionFont();
}

void FileListController::showContextMenu(const QPoint& globalPos)
{
    // The items follow the row the click made current.
    emit commandStateChanged();
    m_parts.commands->popupMenu()->popup(globalPos);
}

} // namespace qv
