#include "browser/UndoController.h"

#include "board/UndoStack.h"
#include "browser/AreaController.h"
#include "browser/CommandTable.h"
#include "browser/FileListView.h"
#include "browser/MainWindow.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"

#include <QAction>
#include <QHash>

#include <algorithm>

namespace qv {

UndoController::UndoController(BrowserServices& services, Parts parts, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_parts(parts)
{
    UndoStack::removeStale();
    m_stack = std::make_unique<UndoStack>(m_services.board, UndoStack::defaultDirectory());
    m_parts.commands->setAround([this](const QString& command, const std::function<void()>& handler) {
        const QString text = stepText(command);
        if (text.isEmpty()) {
            handler();
            return;
        }
        asStep(text, handler);
    });
    m_stack->setChanged([this] {
        showTexts();
        emit stepsChanged();
    });
    m_parts.commands->route("undo", this, [this] { undo(); });
    m_parts.commands->route("redo", this, [this] { redo(); });
    showTexts();
}

UndoController::~UndoController()
{
    // The command table may be gone already; its handlers die with it.
    m_stack->setChanged({});
}

QString UndoController::stepText(const QString& command) const
{
    static const QHash<QString, QString> kNames = {
        { "adopt", "Add Files" },
        { "icom", "Comment" },
        { "remov", "Remove" },
        { "update", "Update" },
        { "eddesc", "Description" },
        { "props", "Properties" },
        { "xdesc", "Extract Description" },
        { "mnuGlobDesc", "Global Description" },
        { "paste", "Paste" },
        { "behall", "Paste" },
        { "dcopy", "Direct Copy" },
        { "dmove", "Direct Move" },
        { "SelSort", "Sort" },
        { "importbbs", "Import FILES.BBS" },
        { "clean", "Clean Areas" },
        { "packdesc", "Pack Descriptions" },
        { "repair", "Check and Repair" },
    };
    static const QStringList kOnRows = { "remov", "update", "xdesc", "dcopy", "dmove", "mnuGlobDesc" };
    const QString name = kNames.value(command);
    if (name.isEmpty() || !kOnRows.contains(command))
        return name;
    const int rows = int(m_parts.list->selectedRows().size());
    return rows > 1 ? name + QStringLiteral(" of %1 entries").arg(rows) : name;
}

void UndoController::asStep(const QString& text, const std::function<void()>& work)
{
    m_stack->begin(text);
    work();
    m_stack->end();
}

void UndoController::undo()
{
    applied(true);
}

void UndoController::redo()
{
    applied(false);
}

void UndoController::applied(bool undoing)
{
    UndoStack::Outcome outcome;
    {
        BusyPointer busy;
        outcome = undoing ? m_stack->undo() : m_stack->redo();
    }
    const int current = m_parts.areas->currentArea();
    if (std::find(outcome.areas.begin(), outcome.areas.end(), current) != outcome.areas.end())
        m_parts.areas->readAgainInPlace();
    if (!outcome.message.isEmpty())
        m_services.dialogs.message(m_parts.window, undoing ? QStringLiteral("Undo") : QStringLiteral("Redo"),
            outcome.message, Dialogs::Icon::Warning);
    if (outcome.done)
        reportDone(m_parts.window, undoing ? QStringLiteral("Undone") : QStringLiteral("Done again"));
}

void UndoController::showTexts()
{
    m_parts.commands->action(QStringLiteral("undo"))->setText(m_stack->undoText());
    m_parts.commands->action(QStringLiteral("redo"))->setText(m_stack->redoText());
}

} // namespace qv
