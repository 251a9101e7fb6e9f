#pragma once

#include <QString>

namespace qv {

// Makes the demo board in `directory` when it is not there yet, with its own settings file beside
// it, so that a demo run never reads or writes the user's QV.INI. Returns that settings file's path,
// or an empty string with `error` set.
QString prepareDemo(const QString& directory, const QString& searchPath, QString& error);

} // namespace qv
