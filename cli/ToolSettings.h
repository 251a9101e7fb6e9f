#pragma once

#include <QChar>
#include <QMap>
#include <QString>

namespace qv {

// What qvtool takes from QV.INI: the board directory and the drive table. Read only; the GUI
// owns the file.
struct ToolSettings {
    QString raDir;
    QString codePage; // empty: the default page
    QMap<QChar, QString> drives;

    // $XDG_CONFIG_HOME/quorvex/QV.INI (~/.config when the variable is unset).
    static QString defaultPath();
    // A missing file gives empty settings; sections and keys are matched without case.
    static ToolSettings read(const QString& path);
};

} // namespace qv
