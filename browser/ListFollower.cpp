#include "browser/ListFollower.h"

#include "board/Messages.h"
#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/FileListController.h"
#include "browser/FileListModel.h"
#include "browser/FileListView.h"
#include "settings/Settings.h"
#include "storage/AreaFiles.h"
#include "storage/HeaderRecord.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QStatusBar>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace qv {

namespace {

constexpr AreaFileKind kWatched[] = { AreaFileKind::Header, AreaFileKind::Index, AreaFileKind::LongName };
constexpr int kStatusMs = 15000;

// A record without the fields the board bumps in place, as a key.
std::string entryKey(const LoadedRow& row)
{
    std::string key(reinterpret_cast<const char*>(row.record.data()), row.record.size());
    std::fill_n(key.begin() + HeaderRecord::kLastDownloadOffset, 4, '\0');
    std::fill_n(key.begin() + HeaderRecord::kDownloadsOffset, 2, '\0');
    return key;
}

bool sameRows(const LoadedRows& a, const LoadedRows& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
        [](const LoadedRow& l, const LoadedRow& r) { return l.record == r.record && l.name == r.name; });
}

} // namespace

ListFollower::ListFollower(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
    , m_watcher(new QFileSystemWatcher(this))
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &ListFollower::look);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &ListFollower::filesMoved);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &ListFollower::filesMoved);
    connect(m_parts.areas, &AreaController::areaLoaded, this, &ListFollower::watch);
}

ListFollower::~ListFollower() = default;

std::array<FileIo::Stamp, 3> ListFollower::stamps() const
{
    AreaStore& store = m_services.board.store();
    std::array<FileIo::Stamp, 3> out {};
    for (size_t k = 0; k < out.size(); ++k)
        if (auto s = store.io().stamp(areaFilePath(store.io(), store.fileBaseDir(), m_area, kWatched[k])))
            out[k] = *s;
    return out;
}

void ListFollower::watch(int area)
{
    m_area = area;
    m_known = stamps();
    if (const QStringList old = m_watcher->files() + m_watcher->directories(); !old.isEmpty())
        m_watcher->removePaths(old);
    AreaStore& store = m_services.board.store();
    if (store.fileBaseDir().empty())
        return;
    // A rewrite renames new files over the watched ones, which ends their watch: the directories
    // say when that happened, the files when the board writes into them in place.
    QStringList paths;
    for (AreaFileKind kind : kWatched) {
        const QString file = QFile::decodeName(areaFilePath(store.io(), store.fileBaseDir(), area, kind).c_str());
        if (QFileInfo::exists(file))
            paths << file;
        const QString dir = QFileInfo(file).absolutePath();
        if (!paths.contains(dir) && QFileInfo(dir).isDir())
            paths << dir;
    }
    if (!paths.isEmpty())
        m_watcher->addPaths(paths);
}

void ListFollower::filesMoved()
{
    // A rewrite and the board's writes come in bursts: look once they have settled.
    m_settle.start(kSettleMs);
}

bool ListFollower::heldOff() const
{
    // A dialog's change must meet the check of the rows it was opened on, not a list read
    // again under it; a command that lets events run is still at work on the rows.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || QApplication::overrideCursor()
        || m_parts.commands->state().transferRunning)
        return true;
    // A window-modal dialog that is not the active window holds it off too.
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
        [](const QWidget* w) { return w->isVisible() && w->windowModality() != Qt::NonModal; });
}

void ListFollower::look()
{
    if (m_area == 0)
        return;
    if (heldOff()) {
        m_settle.start(kRetryMs);
        return;
    }
    // A file replaced by a rename is watched again under its name.
    const QStringList watched = m_watcher->files();
    AreaStore& store = m_services.board.store();
    for (AreaFileKind kind : kWatched) {
        const QString file = QFile::decodeName(areaFilePath(store.io(), store.fileBaseDir(), m_area, kind).c_str());
        if (!watched.contains(file) && QFileInfo::exists(file))
            m_watcher->addPath(file);
    }
    const auto now = stamps();
    if (now == m_known)
        return;
    m_known = now;
    LoadOutcome loaded = store.load(m_area, m_services.settings.useLongNames);
    // A load that fails now is tried again at the next change; the list keeps what it showed.
    if (loaded.error || sameRows(loaded.rows, m_parts.model->rows()))
        return;
    show(std::move(loaded.rows));
    m_parts.window->statusBar()->showMessage(messages::areaReadAgain(m_area), kStatusMs);
}

void ListFollower::readAgain()
{
    LoadOutcome loaded = m_services.board.store().load(m_parts.areas->currentArea(), m_services.settings.useLongNames);
    if (loaded.error) {
        // What the files hold cannot be read: the full load reports it.
        m_parts.areas->readArea(m_parts.areas->currentArea());
        return;
    }
    show(std::move(loaded.rows));
}

void ListFollower::show(LoadedRows rows)
{
    FileListView* list = m_parts.list;
    QAbstractItemView* view = list->currentView();
    const LoadedRows before = m_parts.model->rows();
    const QList<int> selected = list->selectedRows();
    const int current = list->currentRow();
    const QModelIndex top = view->indexAt(QPoint(1, 1));
    const int topRow = top.isValid() ? top.row() : -1;

    const std::vector<int> moved = follow(before, rows);
    m_parts.areas->showRows(std::move(rows));

    auto now = [&](int old) { return old >= 0 && old < int(moved.size()) ? moved[size_t(old)] : -1; };
    FileListModel* model = m_parts.model;
    QItemSelectionModel* selection = list->selectionModel();
    QItemSelection kept;
    for (int row : selected)
        if (int r = now(row); r >= 0)
            kept.select(model->index(r, 0), model->index(r, FileListModel::ColumnCount - 1));
    if (int r = now(current); r >= 0)
        selection->setCurrentIndex(model->index(r, 0), QItemSelectionModel::NoUpdate);
    selection->select(kept, QItemSelectionModel::ClearAndSelect);
    if (int r = now(topRow); r >= 0)
        view->scrollTo(model->index(r, 0), QAbstractItemView::PositionAtTop);
    if (int r = now(current); r >= 0)
        m_parts.files->describeRow(r);
    m_known = stamps();
}

std::vector<int> ListFollower::follow(const LoadedRows& before, const LoadedRows& now)
{
    std::unordered_multimap<std::string, int> at;
    at.reserve(now.size());
    for (size_t i = 0; i < now.size(); ++i)
        at.emplace(entryKey(now[i]), int(i));
    std::vector<bool> taken(now.size(), false);
    std::vector<int> out(before.size(), -1);
    for (size_t i = 0; i < before.size(); ++i) {
        const auto [first, last] = at.equal_range(entryKey(before[i]));
        int best = -1;
        for (auto it = first; it != last; ++it) {
            const int p = it->second;
            if (taken[size_t(p)])
                continue;
            if (best < 0 || std::abs(p - int(i)) < std::abs(best - int(i)))
                best = p;
        }
        if (best >= 0) {
            taken[size_t(best)] = true;
            out[i] = best;
        }
    }
    return out;
}

} // namespace qv
