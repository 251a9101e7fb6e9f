#include "browser/FileListController.h"

#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "platform/widgets/Desktop.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"
#include "storage/EntryReader.h"
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
    connect(c->action("open"), &QAction::triggered, this, &FileListController::openCurrent);
    connect(c->action("mnuFileopen"), &QAction::triggered, this, &FileListController::openCurrent);
    connect(c->action("explore"), &QAction::triggered, this, &FileListController::explore);
    for (const char* id : { "ViewList", "RmViewList" })
        connect(c->action(id), &QAction::triggered, this, [this] { setListView(true); });
    for (const char* id : { "ViewDetails", "RmViewDetails" })
        connect(c->action(id), &QAction::triggered, this, [this] { setListView(false); });
    connect(c->action("mnuDispLFN"), &QAction::triggered, this, [this](bool on) {
        m_services.settings.useLfn = on;
        m_parts.areas->readArea(m_parts.areas->currentArea());
    });
    connect(c->action("df"), &QAction::triggered, this, &FileListController::chooseDescriptionFont);
    // While the pane has the focus, Ctrl+X and Ctrl+C belong to its text.
    connect(m_parts.description, &DescriptionPane::focusEntered, this, [c] {
        c->setEnabled({ "cut", "copy" }, false);
    });
    connect(m_parts.description, &DescriptionPane::focusLeft, this, [c] { c->setEnabled({ "cut", "copy" }, true); });
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
    m_parts.description->setDescriptionFont(
        QString::fromStdString(s.cfName), QString::fromStdString(s.cfSize), s.cfBold, s.cfItalic);
}

void FileListController::describeRow(int row)
{
    if (row < 0 || row == m_lastDescribed || row >= int(m_parts.model->rows().size()))
        return;
    const bool comment = m_parts.model->rows()[size_t(row)].comment;
    m_parts.commands->setEnabled({ "update", "xdesc" }, !comment);
    m_lastDescribed = row;
    const std::string text
        = readEntryDescription(m_services.io, m_services.fileBaseDir, m_parts.areas->currentArea(), row + 1);
    applyDescriptionFont();
    m_parts.description->showDescription(m_services.codePage.decode(text));
}

QString FileListController::areaDosDirectory() const
{
    const std::string stored = m_services.config.areaFilePath(m_parts.areas->currentArea());
    QString dir = QString::fromStdString(std::string(text::trim(stored)));
    while (dir.endsWith('\\') && dir.size() > 1)
        dir.chop(1);
    return dir;
}

QString FileListController::areaHostDirectory() const
{
    const std::string stored = m_services.config.areaFilePath(m_parts.areas->currentArea());
    return m_services.hostPath(std::string(text::trim(stored)));
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
    const QString rowText = m_services.codePage.decode(entry.name);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString hostDir = areaHostDirectory();
    const QString hostFile = m_services.resolveFile(hostDir, rowText);
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
    m_services.desktop.exploreDirectory(areaHostDirectory());
}

void FileListController::chooseDescriptionFont()
{
    const std::optional<QFont> font = m_services.dialogs.pickFont(m_parts.window, m_parts.description->font());
    if (!font || font->family().trimmed().isEmpty())
        return;
    Settings& s = m_services.settings;
    s.cfName = font->family().toStdString();
    s.cfSize = std::to_string(font->pointSize() > 0 ? font->pointSize() : 9);
    s.cfBold = font->bold();
    s.cfItalic = font->italic();
    applyDescriptionFont();
}

void FileListController::showContextMenu(const QPoint& globalPos)
{
    CommandTable* c = m_parts.commands;
    const bool hasRows = !m_parts.model->rows().empty();
    c->setEnabled({ "filecut", "filecop", "filedelete", "dc", "dm", "ExDesc", "Sortsel", "udate", "prop" }, hasRows);
    const int row = m_parts.list->currentRow();
    if (hasRows && row >= 0 && row < int(m_parts.model->rows().size()) && m_parts.model->rows()[size_t(row)].comment)
        c->setEnabled({ "ExDesc", "udate" }, false);
    c->popupMenu()->popup(globalPos);
}

} // namespace qv
