#pragma once

#include "editing/EntryRemover.h"

class QWidget;

namespace qv {

class Dialogs;

// "Confirm Deletion" for one entry's file; closing the window counts as Cancel.
DeletionAnswer askDeletion(Dialogs& dialogs, QWidget* parent, const QString& rowText);

} // namespace qv
