#pragma once

#include "settings/Settings.h"

#include <QString>

#include <array>
#include <optional>

namespace qv {

// Which archiver definition serves an archive: the walk over the slots.
class ArchiverChoice {
public:
    // The text after the last dot of a name, in upper case; "" without a dot. (After the first
    // dot, "v1.2.zip" would have "2.ZIP", which no 3-character definition can hold.)
    static QString extensionOf(const QString& name);

    // From slot 1 up to the first slot with an empty extension: the first slot whose extension
    // is the name's and whose program path is set; with requireProgram its program must also
    // be found (adding files).
    static std::optional<ArchiverSlot> choose(
        const std::array<ArchiverSlot, 32>& table, const QString& name, bool requireProgram);

    // A program path as it runs: an absolute path as it is, a bare name looked up on PATH;
    // empty when no executable file is there.
    static QString resolveProgram(const QString& path);
    static bool programFound(const QString& path) { return !resolveProgram(path).isEmpty(); }
};

} // namespace qv
