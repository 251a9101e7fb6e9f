#include "browser/AddFilesController.h"

#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "editing/CurrentUploader.h"
#include "editing/DescriptionExtraction.h"
#include "editing/FileAdder.h"
#include "editing/widgets/AddFilesDialog.h"
#include "editing/widgets/PreferencesDialog.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"
#include "transfer/SendTo.h"
#include "transfer/widgets/CopyFileWithProgress.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHash>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

namespace qv {

AddFilesController::AddFilesController(BrowserServices& services, MainWindow* window)
    : QObject(window)
    , m_services(services)
    , m_window(window)
{
    CommandTable& c = window->commands();
    c.route("xdesc", this, [this] { extractDescriptions(); });
    c.route("adopt", this, [this] { openAddFiles(); });
    c.route("pref", this, [this] { openPreferences(); });
}

AddFilesController::~AddFilesController() = default;

QString AddFilesController::tempDir()
{
    if (!m_services.settings.tempDir.empty())
        return QString::fromStdString(m_services.settings.tempDir);
    if (!m_ownTemp)
        m_ownTemp = std::make_unique<QTemporaryDir>();
    return m_ownTemp->isValid() ? m_ownTemp->path() : QString();
}

void AddFilesController::showStatus(const QString& text)
{
    // Panel 2 carries the progress text; the counts come back afterwards.
    m_window->sizePanel()->setText(text);
    m_window->sizePanel()->repaint();
}

void AddFilesController::restoreCounts()
{
    FileListModel* model = m_window->model();
    m_window->objectsPanel()->setText(messages::objectCount(model->rows().size()));
    m_window->sizePanel()->setText(messages::megabytes(model->totalSize()));
}

void AddFilesController::extractDescriptions()
{
    const int area = m_window->areas().currentArea();
    FileListModel* model = m_window->model();
    std::vector<DescriptionExtraction::Row> rows;
    for (int r : m_window->fileList()->selectedRows()) {
        const LoadedRow& row = model->rows()[size_t(r)];
        rows.push_back({ uint64_t(r), m_services.board.text(row.name), row.comment, row.record });
    }
    if (rows.empty())
        return;
    DescriptionExtractor extractor(m_services.settings, tempDir());
    extractor.setStatus([this](const QString& text) {
        if (text.isEmpty())
            restoreCounts();
        else
            showStatus(text);
    });
    // Events run while an archiver works; no other change may start meanwhile.
    m_window->setTransferRunning(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto result = DescriptionExtraction::run(
        m_services.board, area, rows, extractor, [this](uint64_t, const std::string& text) {
            m_window->descriptionPane()->showDescription(m_services.board.text(text));
        });
    QApplication::restoreOverrideCursor();
    m_window->setTransferRunning(false);
    restoreCounts();
    if (!result.error)
        m_window->say(messages::extractedReport(result.stored()));
    QStringList timedOut;
    for (const auto& r : result.rows)
        if (r.outcome == DescriptionExtractor::Outcome::TimedOut)
            timedOut << messages::archiverTimedOut(r.rowText, extractor.timeoutSeconds());
    if (!timedOut.isEmpty())
        m_window->statusBar()->showMessage(timedOut.join(QStringLiteral("; ")), 15000);
    if (result.error && result.error->code == kRowsChanged) {
        m_services.dialogs.message(
            m_window, QStringLiteral("Extract Description"), messages::rowsChanged(area), Dialogs::Icon::Warning);
        m_window->areas().readAgainInPlace();
        return;
    }
    if (result.error) {
        m_services.dialogs.message(m_window, QStringLiteral("Extract Description"),
            QStringLiteral("No description was stored: ") + QString::fromStdString(result.error->message),
            Dialogs::Icon::Critical);
        return;
    }
    // An appended text moved the entries' pointers: their rows take the records as now stored.
    std::vector<uint64_t> stored;
    for (const auto& r : result.rows)
        if (r.outcome == DescriptionExtractor::Outcome::Extracted && !r.inPlace)
            stored.push_back(r.position);
    if (stored.empty())
        return;
    if (auto now = m_services.board.store().readRows(area, stored, m_services.settings.useLongNames))
        for (size_t k = 0; k < stored.size(); ++k)
            model->updateEntry(int(stored[k]), (*now)[k]);
}

void AddFilesController::openAddFiles()
{
    const int area = m_window->areas().currentArea();
    const Board::AreaDirectory dir = m_services.board.areaDirectory(area);
    if (!dir.ok() || !QFileInfo(dir.host).isDir()) {
        // An empty listing would only say "Files: 0".
        const messages::Message m
            = messages::areaDirectoryMissing(area, dir.host.isEmpty() ? dir.stored : dir.host, dir.problem);
        m_services.dialogs.message(m_window, m.title, m.text, Dialogs::Icon::Warning);
        return;
    }
    FileListModel* model = m_window->model();
    auto rowTexts = [this, model] {
        QStringList texts;
        texts.reserve(qsizetype(model->rows().size()));
        for (const LoadedRow& r : model->rows())
            texts << m_services.board.text(r.name);
        return texts;
    };
    AddFilesDialog::Setup setup { area, m_services.board.areaName(area), dir.stored, dir.host, rowTexts(),
        CurrentUploader::defaultName() };
    AddFilesDialog* dialog = nullptr;
    auto add = [&](const QStringList& names, const QString& uploader, bool extract) {
        CurrentUploader::set(uploader);
        // After the current row when it is selected, else after the last.
        FileListView* list = m_window->fileList();
        const int current = list->currentRow();
        const bool selected = current >= 0 && list->selectionModel()->isRowSelected(current, {});
        FileAdder::Request request;
        request.names = names;
        request.uploader = uploader;
        request.extract = extract;
        request.after = selected ? uint64_t(current + 1) : model->rows().size();
        request.useLongNames = m_services.settings.useLongNames;
        DescriptionExtractor extractor(m_services.settings, tempDir());
        extractor.setStatus([this](const QString& text) {
            if (!text.isEmpty())
                showStatus(text);
        });
        m_window->setTransferRunning(true);
        const auto result = FileAdder::add(m_services.board, area, request, &extractor,
            [&](const QString& name) { dialog->setStatus(messages::addingFile(name)); });
        m_window->setTransferRunning(false);
        if (result.error) {
            m_services.dialogs.message(dialog, QStringLiteral("Add Files"),
                QStringLiteral("No file was added: ") + QString::fromStdString(result.error->message),
                Dialogs::Icon::Critical);
        } else if (!result.rows.empty()) {
            model->insertEntries(int(result.at), result.rows);
            m_window->say(messages::addedReport(result.added.size()));
        }
        restoreCounts();
        dialog->setRowTexts(rowTexts());
        return result.vanished;
    };
    AddFilesDialog d(setup, add, m_window);
    dialog = &d;
    // The mask and choice of the last time; the directory is listed when the dialog shows.
    d.maskBox()->setText(QString::fromStdString(m_services.settings.addFilesMask));
    d.showAllBox()->setChecked(m_services.settings.addFilesShowAll);
    if (m_hook)
        QTimer::singleShot(0, &d, [this, &d] { m_hook(&d); });
    d.exec();
    m_services.settings.addFilesMask = d.maskBox()->text().trimmed().toStdString();
    m_services.settings.addFilesShowAll = d.showAllBox()->isChecked();
    restoreCounts();
    m_window->refreshCommands();
}

void AddFilesController::addDroppedFiles(const QStringList& paths)
{
    const int area = m_window->areas().currentArea();
    if (area == 0 || paths.isEmpty())
        return;
    const Board::AreaDirectory dir = m_services.board.areaDirectory(area);
    if (!dir.ok() || !QFileInfo(dir.host).isDir()) {
        const messages::Message m
            = messages::areaDirectoryMissing(area, dir.host.isEmpty() ? dir.stored : dir.host, dir.problem);
        m_services.dialogs.message(m_window, m.title, m.text, Dialogs::Icon::Warning);
        return;
    }
    DescriptionExtractor extractor(m_services.settings, tempDir());
    const QString uploader = CurrentUploader::defaultName();
    int added = 0;
    std::optional<Error> error;
    m_window->setTransferRunning(true);
    {
        BusyPointer busy;
        CopyFileWithProgress progress(m_services.dialogs, m_window);
        progress.setWhatNoDoes(messages::sendToDeclined());
        for (const QString& path : paths) {
            const SendTo::Outcome outcome
                = SendTo::run(m_services.board, { area, path, false, uploader, m_services.settings.useLongNames },
                    &extractor, progress.copyCallbacks(), [&](const QString& shown) { progress.copying(shown); });
            if (outcome.copy.status == FileCopier::Status::Failed)
                progress.copyFailed(outcome.copy);
            else if (outcome.error && !error)
                error = outcome.error;
            added += outcome.added ? 1 : 0;
            if (progress.cancelled())
                break;
        }
    }
    m_window->setTransferRunning(false);
    if (added > 0)
        m_window->areas().readArea(area);
    m_window->say(messages::addedReport(added));
    if (error) {
        const messages::Message m
            = messages::changeFailed(area, QStringLiteral("Add Files"), error->code, error->message);
        m_services.dialogs.message(m_window, m.title, m.text, Dialogs::Icon::Warning);
    }
}

void AddFilesController::openPreferences()
{
    PreferencesDialog::AreaItems items;
    const bool byName = m_window->areas().orderByName();
    // The selector the window shows gives the order and the item texts; a name stands for the
    // first area that has it.
    QHash<QString, int> numberOfName;
    for (const AreaInfo& a : m_services.board.config().areas())
        if (!numberOfName.contains(m_services.board.text(a.name)))
            numberOfName.insert(m_services.board.text(a.name), a.number);
    const QStringList texts = byName ? m_services.board.areaNamesSorted() : m_services.board.numberedAreaItems();
    for (const QString& text : texts) {
        const int number = byName ? numberOfName.value(text) : text.left(5).toInt();
        if (number > 0)
            items.push_back({ number, text });
    }
    PreferencesDialog d(m_services.settings, items, m_services.dialogs, m_window);
    if (m_hook)
        QTimer::singleShot(0, &d, [this, &d] { m_hook(&d); });
    d.exec();
    QStringList extensions;
    for (const ArchiverSlot& slot : m_services.settings.archivers)
        extensions << QString::fromStdString(slot.extension);
    m_window->model()->setArchiverExtensions(extensions);
}

} // namespace qv
