#pragma once

// Which desktop the program runs on, told from the environment the session
// gives its programs. Every part of the program that acts differently on one
// desktop family asks here, so that all of them agree.

#include <QProcessEnvironment>
#include <QString>

namespace kestrova {

namespace DesktopSession {

enum class Family {
    Kde,    // KDE Plasma, whose window manager is KWin
    Tiling, // a tiling window manager: sway, i3
    Gnome,  // GNOME Shell and the sessions that call themselves GNOME
    Other,  // any other window manager, or none known
};

struct Session {
    Family family = Family::Other;
    // KDE's session (KDE_FULL_SESSION, or KDE in XDG_CURRENT_DESKTOP), whatever
    // window manager runs in it: Qt's KDE theme reads its look there. With
    // i3 in place of KWin it is a KDE session of the tiling family.
    bool kde = false;
};

// The session the environment describes. The sockets a tiling window
// manager announces to its programs (SWAYSOCK, I3SOCK) tell the window
// manager itself and count first. Then XDG_CURRENT_DESKTOP, a colon
// separated list such as "ubuntu:GNOME" whose names are matched whole,
// without regard to case; then KDE_FULL_SESSION (any value: KDE sets
// "true"); without XDG_CURRENT_DESKTOP an older GNOME session names itself
// in GNOME_DESKTOP_SESSION_ID or DESKTOP_SESSION.
Session of(const QProcessEnvironment &environment);

// The running session, from the program's environment as it is now.
Session current();

// Whether a colon separated desktop list names `name` (matched whole,
// without regard to case).
bool names(const QString &desktops, const QString &name);

} // namespace DesktopSession

} // namespace kestrova
