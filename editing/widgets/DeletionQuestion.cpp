#include "editing/widgets/DeletionQuestion.h"

#include "board/Messages.h"
#include "platform/widgets/Dialogs.h"

namespace qv {

DeletionAnswer askDeletion(Dialogs& dialogs, QWidget* parent, const QString& rowText)
{
    static constexpr DeletionAnswer kByButton[] = { DeletionAnswer::Yes, DeletionAnswer::YesToAll, DeletionAnswer::No,
        DeletionAnswer::NoToAll, DeletionAnswer::Cancel };
    const messages::Message m = messages::confirmDeletion(rowText);
    // Enter keeps the file: deleting it from disk takes a deliberate choice.
    const int no = 2;
    const int cancel = 4;
    const int pressed = dialogs.choose(
        parent, m.title, m.text, Dialogs::Icon::Question, messages::confirmDeletionButtons(), no, cancel);
    return pressed >= 0 && pressed < 5 ? kByButton[pressed] : DeletionAnswer::Cancel;
}

} // namespace qv
