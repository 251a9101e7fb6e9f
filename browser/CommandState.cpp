#include "browser/CommandState.h"

#include <QHash>
#include <QSet>

namespace qv::commandstate {

QString commandOf(const QString& id)
{
    static const QHash<QString, QString> kSame = {
        { "mnuFileopen", "open" },
        { "addfile", "adopt" },
        { "insert", "adopt" },
        { "icom2", "icom" },
        { "filedelete", "remov" },
        { "del", "remov" },
        { "udate", "update" },
        { "ExDesc", "xdesc" },
        { "filecut", "cut" },
        { "filecop", "copy" },
        { "filepaste", "paste" },
        { "dc", "dcopy" },
        { "dm", "dmove" },
        { "Sortsel", "SelSort" },
        { "prop", "props" },
        { "findfile", "ffind" },
        { "RmViewList", "ViewList" },
        { "RmViewDetails", "ViewDetails" },
        { "reread", "refr" },
        { "namesort", "alph" },
        { "numsort", "num" },
    };
    return kSame.value(id, id);
}

bool isEnabled(const QString& command, const WindowState& s)
{
    // Commands that change entries or start a transfer wait while a file copy runs.
    static const QSet<QString> kChanging
        = { "adopt", "icom", "remov", "update", "xdesc", "eddesc", "mnuGlobDesc", "cut", "copy", "paste", "fpaste",
              "behall", "dcopy", "dmove", "SelSort", "props", "refr", "importbbs", "clean", "packdesc", "repair", "undo",
              "redo" };
    if (s.transferRunning && kChanging.contains(command))
        return false;

    const bool hasRows = s.rows > 0;
    const bool onEntry = hasRows && s.currentRow >= 0 && s.currentRow < s.rows;
    if (command == "remov" || command == "props" || command == "dcopy" || command == "dmove" || command == "SelSort"
        || command == "eddesc" || command == "mnuGlobDesc" || command == "selall")
        return hasRows;
    if (command == "icom" || command == "importbbs")
        return s.areaLoaded;
    if (command == "cut" || command == "copy")
        return hasRows && !s.descriptionHasFocus;
    if (command == "update")
        return hasRows && !(onEntry && s.currentIsComment);
    if (command == "xdesc")
        return s.selectedRows > 0 && !(onEntry && s.currentIsComment); // comment rows are skipped
    if (command == "paste" || command == "fpaste" || command == "behall")
        return s.clipboardHolds;
    if (command == "undo")
        return s.canUndo;
    if (command == "redo")
        return s.canRedo;
    return true;
}

} // namespace qv::commandstate
