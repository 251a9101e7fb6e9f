#pragma once

#include <QString>

namespace qv {

// What decides which commands the window offers at a given moment.
struct WindowState {
    bool areaLoaded = false;
    int rows = 0;
    int selectedRows = 0;
    int currentRow = -1; // -1 for none
    bool currentIsComment = false;
    bool descriptionHasFocus = false; // Cut and Copy belong to the pane's text then
    bool clipboardHolds = false; // the internal clipboard holds entries
    bool transferRunning = false; // a file copy lets events run; nothing may start another change
    bool canUndo = false;
    bool canRedo = false;
};

namespace commandstate {

// The command an identifier runs: menu, right-button and toolbar items that do the same work
// share one ("remov", "filedelete" and the toolbar's "del" all run "remov").
QString commandOf(const QString& id);

// The one rule for every command's enabled state.
bool isEnabled(const QString& command, const WindowState& state);

} // namespace commandstate
} // namespace qv
