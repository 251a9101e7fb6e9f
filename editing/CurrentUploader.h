#pragma once

#include <QString>

namespace qv {

// The uploader name last confirmed in the Add Files dialog, kept for the rest of the run (new
// entries and new comment lines get it).
class CurrentUploader {
public:
    static QString get();
    static void set(const QString& name);
    // The dialog's default: the current uploader, else the user's full name from the system's
    // user database, else the login name.
    static QString defaultName();
};

} // namespace qv
