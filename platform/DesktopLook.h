#pragma once

// How the program's windows take the desktop's look: which Qt platform
// theme to ask for before the application object exists, and, when no theme
// tells Qt the desktop is dark, a dark palette of the program's own.

#include <QByteArray>
#include <QPalette>
#include <QString>

class QApplication;

namespace kestrova {

namespace DesktopLook {

// What decides the platform theme, read from the environment and the Qt
// installation.
struct ThemeChoice {
    QString requested;      // QT_QPA_PLATFORMTHEME as the user set it
    QString currentDesktop; // XDG_CURRENT_DESKTOP, e.g. "ubuntu:GNOME"
    bool kdeSession = false; // KDE_FULL_SESSION is set
    bool gtk3Available = false; // the "gtk3" platform theme plugin is installed
};

// The platform theme to ask for, or empty to leave Qt's own choice. The
// user's own QT_QPA_PLATFORMTHEME always wins; under KDE Qt's built-in theme
// already follows the desktop. Elsewhere the GTK theme is the one that knows
// the desktop's colours (Adwaita-dark too) and font.
QByteArray platformThemeFor(const ThemeChoice &choice);

// The desktop's own hints that it wants dark windows.
struct DarkHints {
    QString colorScheme;    // gsettings org.gnome.desktop.interface color-scheme
    QString gtkThemeEnv;    // GTK_THEME, e.g. "Adwaita:dark"
    QString gtkSettingsIni; // the text of gtk-3.0/settings.ini
    QString gtkThemeSetting; // gsettings org.gnome.desktop.interface gtk-theme
};

// Whether those hints ask for a dark look.
bool prefersDark(const DarkHints &hints);

// Whether the palette is a dark one: light text on a dark window.
bool isDark(const QPalette &palette);

// A dark palette for the Fusion style.
QPalette darkPalette();

// Reads the hints of the running desktop: the environment, the user's GTK
// settings file and, when it is installed, gsettings (bounded to a second).
DarkHints readDarkHints();

// Before the application object: asks for the platform theme chosen above.
void choosePlatformTheme();

// After it: when the desktop asks for dark windows and the platform theme
// did not give a dark palette, switches to Fusion with darkPalette().
// Returns whether it did.
bool applyDarkFallback(QApplication &app, const DarkHints &hints);

} // namespace DesktopLook

} // namespace kestrova
