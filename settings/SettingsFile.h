#pragma once

#include "settings/Settings.h"

#include <QString>

namespace qv {

class ProfileFile;

// How QV.INI's values are read and written: the section, the value rules and the write order.
namespace settingsfile {

inline const QString kSection = QStringLiteral("Veltrano FE");
QString archiverSection(int slot); // "Archiver1" .. "Archiver32"

// The leading numeric part of a text (blanks, a sign, digits); 0 when there is none.
int leadingNumber(const QString& text);
// Decimal with one leading blank when not negative, as the board's own tools write numbers.
QString numberText(int value);
// "True"/"False" in any letter case; nullopt for any other text.
std::optional<bool> truthWord(const QString& text);

// RaDir as start-up uses it: trimmed, one trailing separator removed.
std::string readBoardDirectory(const ProfileFile& file);
// OriginalOrder, the description font, DefaultArea, the archiver slots and the code page.
void readStartupValues(const ProfileFile& file, Settings& settings);
// What a reader of the board needs from QV.INI (qvtool): RaDir, the code page and [Drives], with
// the same rules as start-up.
Settings readBoardSettings(const ProfileFile& file);
void readViewType(const ProfileFile& file, Settings& settings);
// Geometry, long names, the area panel and the description pane height.
void readWindowValues(const ProfileFile& file, Settings& settings);

// Slot i of 1..32, up to the first empty extension; later sections stay in the file untouched.
bool writeArchiverSlots(ProfileFile& file, const std::array<ArchiverSlot, 32>& table);

enum class ShutdownResult { Written, LocationFailed, ProfileFailed };
// Writes every value in shutdown order, stopping at the first write that fails.
ShutdownResult writeAtShutdown(ProfileFile& file, const Settings& settings, bool windowNormal);

extern const QString kWriteFailedTryAgain; // title "Location"
extern const QString kWriteFailed; // title "Updating profile"

} // namespace settingsfile
} // namespace qv
