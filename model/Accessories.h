#pragma once

#include <QString>
#include <QStringList>

namespace kestrova {

class SettingsStore;

// The four accessory programs of the "Accessories" menu. On this desktop
// each is the desktop's own equivalent: the program the user named in the
// settings ("Kestrova"/"Programs", keys as the accessory flags), otherwise
// the first installed desktop entry of a list of well-known ones.
enum class Accessory { Calculator, CDPlayer, Notepad, Wordpad };

// The settings key of an accessory: "Calc", "CD", "Notepad", "Wordpad".
QString accessoryKey(Accessory accessory);

// Well-known desktop entries for the accessory, most likely first.
QStringList accessoryDesktopEntries(Accessory accessory);

// What to open for the accessory: the program named in the settings when
// there is one, else the path of the first listed desktop entry found in
// the given application folders; empty when there is neither.
QString accessoryTarget(Accessory accessory, const SettingsStore &settings,
                        const QStringList &applicationDirs);

// The folders desktop entries are installed in.
QStringList installedApplicationDirs();

} // namespace kestrova
