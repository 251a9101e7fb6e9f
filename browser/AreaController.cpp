#include "browser/AreaController.h"

#include "browser/AreaSelectors.h"
#include "browser/AreaTreeView.h"
#include "browser/CommandTable.h"
#include "browser/DescriptionPane.h"
#include "browser/FileListModel.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"
#include "storage/AreaStore.h"
#include "board/Messages.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace qv {

namespace {
// Painting the progress bar between records is what the user sees of a long load; doing it
// more often than this would cost more than the load itself.
constexpr int kProgressPaintMs = 50;
constexpr int kProgressStepMs = 16;

QString withLeadingBlank(int n)
{
    return n >= 0 ? QStringLiteral(" %1").arg(n) : QString::number(n);
}
}

AreaController::AreaController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
{
    connect(m_parts.tree, &AreaTreeView::areaNodeClicked, this, &AreaController::onNodeClicked);
    // A selector choice always loads, even the area already shown.
    connect(m_parts.byName, &AlphabeticAreaSelector::areaChosen, this, &AreaController::readArea);
    connect(m_parts.byNumber, &NumericAreaSelector::areaChosen, this, &AreaController::readArea);
    CommandTable* c = m_parts.commands;
    c->route("alph", this, [this] { setOrderByName(true); });
    c->route("num", this, [this] { setOrderByName(false); });
    c->route("refr", this, [this] { readArea(m_current); });
    // Rows inserted or removed by a command, without a load, still count.
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(m_parts.model, signal, this, &AreaController::showCounts);
}

AreaController::~AreaController() = default;

QString AreaController::titleFor(const QString& version, int area, const QString& areaName)
{
    return QStringLiteral("Quorvex ") + version + QStringLiteral(" -") + withLeadingBlank(area) + QStringLiteral(": ")
        + areaName;
}

void AreaController::onNodeClicked(int area)
{
    if (area != m_current)
        readArea(area);
}

bool AreaController::readArea(int area)
{
    m_parts.model->clear();
    const int previous = m_current;
    m_current = area;
    const QString itemText = m_parts.byNumber->itemTextOf(area);
    m_parts.window->setWindowTitle(
        titleFor(QString::fromStdString(m_services.settings.version), area, itemText.mid(7)));

    QElapsedTimer sincePaint;
    sincePaint.start();
    bool progressShown = false;
    QElapsedTimer sinceValue;
    auto progress = [&](int i, int count) {
        if (!progressShown) {
            m_parts.objectsPanel->hide();
            m_parts.sizePanel->hide();
            m_parts.progress->setRange(0, count);
            m_parts.progress->show();
            progressShown = true;
        }
        // Each visible step repaints the bar at once; on a large area doing that for every tenth
        // record costs more than reading the records, so it moves at most once a frame, and to
        // its last value at the end.
        if (sinceValue.isValid() && sinceValue.elapsed() < kProgressStepMs && count - i >= 10)
            return;
        sinceValue.start();
        m_parts.progress->setValue(i);
        if (sincePaint.elapsed() >= kProgressPaintMs) {
            // Paint only: a click now would start another load inside this one.
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sincePaint.restart();
        }
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LoadOutcome outcome = m_services.board.loadArea(area, m_services.settings.useLongNames, progress);
    QApplication::restoreOverrideCursor();
    m_parts.progress->hide();
    m_parts.objectsPanel->show();
    m_parts.sizePanel->show();

    if (outcome.error) {
        const messages::Message m = messages::loadFailed(*outcome.error, m_services.board.fileBasePath());
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        emit fatalError();
        return false;
    }

    m_parts.tree->bringInLine(area, previous);
    m_parts.byNumber->setCurrentArea(area);
    m_parts.byName->setCurrentArea(area);
    showRows(std::move(outcome.rows));
    return true;
}

void AreaController::showRows(LoadedRows rows)
{
    m_parts.model->setRows(std::move(rows));
    showCounts();
    m_parts.description->clearDescription();
    emit areaLoaded(m_current);
}

void AreaController::readAgainInPlace()
{
    if (m_readAgain)
        m_readAgain();
    else
        readArea(m_current);
}

void AreaController::showCounts()
{
    const auto& rows = m_parts.model->rows();
    m_parts.objectsPanel->setText(messages::objectCount(rows.size()));
    m_parts.sizePanel->setText(messages::megabytes(m_parts.model->totalSize()));
}

bool AreaController::loadInitialArea()
{
    int area = m_services.settings.startupArea;
    // 0 is the stored way of saying "the first area", not an area that went missing.
    if (!m_services.board.areaExists(area)) {
        if (area != 0)
            m_services.dialogs.message(m_parts.window, QStringLiteral("Quorvex"),
                QStringLiteral("Area") + withLeadingBlank(area)
                    + QStringLiteral(" does not exist, using first area instead."),
                Dialogs::Icon::Warning);
        area = m_parts.byNumber->firstAreaNumber();
    }
    if (area == 0) {
        const messages::Message m = messages::noConfiguration();
        m_services.dialogs.message(m_parts.window, m.title, m.text, Dialogs::Icon::Warning);
        emit fatalError();
        return false;
    }
    return readArea(area);
}

void AreaController::setOrderByName(bool byName)
{
    m_orderByName = byName;
    m_parts.byNumber->setVisible(!byName);
    m_parts.byName->setVisible(byName);
    CommandTable* c = m_parts.commands;
    c->action("alph")->setChecked(byName);
    c->action("num")->setChecked(!byName);
    c->toolAction("namesort")->setChecked(byName);
    c->toolAction("numsort")->setChecked(!byName);
}

} // namespace qv
