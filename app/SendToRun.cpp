#include "app/SendToRun.h"

#include "board/Board.h"
#include "board/Messages.h"
#include "editing/CurrentUploader.h"
#include "editing/DescriptionExtractor.h"
#include "platform/widgets/BusyPointer.h"
#include "platform/widgets/Dialogs.h"
#include "settings/Settings.h"
#include "transfer/SendTo.h"
#include "transfer/widgets/CopyFileWithProgress.h"
#include "transfer/widgets/SendToWindow.h"

namespace qv {

int runSendTo(const Settings& settings, Dialogs& dialogs, const QString& tempDir)
{
    Board::Options options = Board::optionsOf(settings);
    options.useTrash = true;
    Board board(options);
    const QString file = QString::fromStdString(settings.sendToFile);
    const auto choice = SendToWindow::ask(board, file);
    if (!choice)
        return 0;
    for (int area : board.recoverInterruptedChanges())
        dialogs.message(nullptr, QStringLiteral("Quorvex"), messages::areaNeedsAttention(area), Dialogs::Icon::Warning);

    DescriptionExtractor extractor(settings, tempDir);
    SendTo::Request request { choice->area, file, choice->move, CurrentUploader::defaultName(), settings.useLongNames };
    SendTo::Outcome outcome;
    {
        BusyPointer busy;
        CopyFileWithProgress progress(dialogs, nullptr);
        progress.setWhatNoDoes(messages::sendToDeclined());
        outcome = SendTo::run(
            board, request, &extractor, progress.copyCallbacks(), [&](const QString& path) { progress.copying(path); });
        if (outcome.copy.status == FileCopier::Status::Failed)
            progress.copyFailed(outcome.copy);
    }
    if (outcome.error && outcome.copy.status != FileCopier::Status::Failed) {
        const messages::Message m = messages::changeFailed(
            choice->area, QStringLiteral("Send To Area"), outcome.error->code, outcome.error->message);
        dialogs.message(nullptr, m.title, m.text, Dialogs::Icon::Warning);
    }
    if (outcome.added) {
        const messages::Message m = messages::sentToArea(outcome.copy.destination, choice->area,
            board.areaName(choice->area), outcome.originalDeleted, outcome.originalTrashed);
        dialogs.message(nullptr, m.title, m.text, Dialogs::Icon::Information);
    }
    return outcome.added ? 0 : 1;
}

} // namespace qv
