#pragma once

// How the program's windows take the desktop's look without loading a
// toolkit: the dark or light preference, the accent colour and the font the
// desktop publishes (the settings portal over D-Bus, GNOME's settings, the
// GTK settings file, GTK_THEME) are read and applied to Fusion with a
// palette and font of the program's own. Qt's GTK 3 platform theme would
// follow the same settings, but loading GTK triples the start-up time and
// memory, so Qt is kept from loading it by itself: it is used only where
// the user names it in QT_QPA_PLATFORMTHEME.

#include <QByteArray>
#include <QColor>
#include <QDBusMessage>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QString>

class QDBusPendingCallWatcher;

namespace kestrova {

namespace DesktopLook {

// What decides the platform theme, read from the environment.
struct ThemeChoice {
    QString requested;      // QT_QPA_PLATFORMTHEME as the user set it
    QString currentDesktop; // XDG_CURRENT_DESKTOP, e.g. "ubuntu:GNOME"
    bool kdeSession = false; // KDE_FULL_SESSION is set
    // Without XDG_CURRENT_DESKTOP, Qt takes GNOME_DESKTOP_SESSION_ID or a
    // DESKTOP_SESSION of "gnome" or "xfce" for a GTK desktop too.
    bool olderGtkSession = false;
};

// Whether the desktop is KDE, whose colours and font Qt's own KDE theme
// reads from kdeglobals.
bool isKde(const ThemeChoice &choice);

// The desktop name Qt is to see while the application object is made, or
// empty to leave it as it is. On the desktops where Qt would load the GTK 3
// theme by itself (GNOME and its kin) it is the name of no desktop in
// particular, which gives Qt's plain theme; the user's own choice of theme
// and KDE are left alone.
QByteArray desktopNameForQt(const ThemeChoice &choice);

// Whether the program applies the look it reads itself: not when the user
// chose a platform theme, and not under KDE.
bool followsDesktop(const ThemeChoice &choice);

// What the desktop publishes about its look. Every field may be empty.
struct DarkHints {
    QString colorScheme;    // gsettings org.gnome.desktop.interface color-scheme
    QString gtkThemeEnv;    // GTK_THEME, e.g. "Adwaita:dark"
    QString gtkSettingsIni; // the text of gtk-3.0/settings.ini
    QString gtkThemeSetting; // gsettings org.gnome.desktop.interface gtk-theme
    // The portal's org.freedesktop.appearance color-scheme: 0 no
    // preference, 1 dark, 2 light; -1 when there was no answer.
    int portalColorScheme = -1;
    QColor portalAccent;    // the portal's accent-color, invalid when unset
    QString accentName;     // gsettings accent-color, e.g. "'teal'"
    QString fontName;       // gsettings font-name, e.g. "'Cantarell 11'"
};

// Whether those hints ask for a dark look. The portal's answer counts
// first, then GNOME's colour scheme, then the names of GTK themes.
bool prefersDark(const DarkHints &hints);

// The accent colour the desktop asks for, invalid when it names none.
QColor accent(const DarkHints &hints);

// The font a Pango description names ("Cantarell 11", "DejaVu Sans Bold
// Italic 10", "Noto Sans, Sans 10"), on top of `base`; `base` when the text
// names no family.
QFont fontFromDescription(const QString &description, const QFont &base);

// The desktop's font: GNOME's font-name, else the GTK settings file's
// gtk-font-name; `base` when neither is set.
QFont font(const DarkHints &hints, const QFont &base);

// Whether the palette is a dark one: light text on a dark window.
bool isDark(const QPalette &palette);

// A dark palette for the Fusion style.
QPalette darkPalette();

// The palette for the hints: Fusion's light one or darkPalette(), with the
// desktop's accent as the selection colour (and text that reads on it).
QPalette paletteFor(const DarkHints &hints, const QPalette &light);

// What can be read at once, without asking another program: GTK_THEME and
// the GTK settings file.
DarkHints readLocalHints();

// Before the application object: shows Qt the desktop name chosen above.
// Returns whether the program is to follow the desktop's look itself.
bool choosePlatformTheme();

// After the application object: the desktop's own name again, for Qt's
// later look-ups and for the programs the user starts.
void restoreDesktopName();

// Sets Fusion, the palette and the desktop's font for the hints.
void apply(const DarkHints &hints);

// Follows the running desktop: applies what can be read at once, then asks
// the settings portal (and, where it does not answer, gsettings) in the
// background and applies their answers when they come, and again whenever
// the portal reports a change. Nothing here waits for another program.
class Follower : public QObject {
    Q_OBJECT
public:
    explicit Follower(QObject *parent = nullptr);
    // Starts following: the local hints now, the portal and gsettings later.
    void start();
    const DarkHints &hints() const { return m_hints; }

Q_SIGNALS:
    // The look was applied again after an answer from the desktop.
    void applied();

private Q_SLOTS:
    // The portal's SettingChanged(namespace, key, value).
    void portalChanged(const QDBusMessage &change);

private:
    void askPortal();
    void portalAnswered(QDBusPendingCallWatcher *call, const QString &ns, const QString &key);
    void askGsettings();
    void take(const QString &ns, const QString &key, const QVariant &value);
    void reapply();

    DarkHints m_hints;
    int m_portalAnswers = 0;
    int m_portalPending = 0;
};

} // namespace DesktopLook

} // namespace kestrova
