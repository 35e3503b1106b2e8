#pragma once

#include <QByteArray>

class QWidget;
struct xcb_connection_t;

namespace kestrova::character {

// A window of the character's that is never a task: no taskbar or pager
// entry and no attention flag, on X11 (elsewhere these do nothing). A window
// calls beforeMapping just before it is shown, and askOnceMapped when
// mapped() says its native event is its own map notification: a change of
// the state property counts only before mapping, after it the window
// manager is asked with client messages.
struct NeverATask {
    static void beforeMapping(QWidget *window);
    static bool mapped(const QWidget *window, const QByteArray &eventType, void *message);
    static void askOnceMapped(QWidget *window);
};

// A window the window manager does not manage (the character and its
// balloon on a tiling desktop) has nobody to keep it above the others in
// the X server's stacking order, and the X server gives a click to the
// topmost window under the pointer by that order. Under XWayland the
// compositor draws such a window over the rest whatever that order says:
// with a tiled window raised over it there, it is seen, but its clicks reach
// no window at all. A window calls keep once mapped: from then on, whenever
// a window that is not a popup stands over a kept one after being mapped or
// restacked, the kept windows are put right over it. Popups (override-
// redirect windows shown and not restacked since: menus, tooltips) stay
// over them.
struct KeptAbove {
    static void keep(QWidget *window);
};

// The connection to the X server under Qt's X11 platform; nullptr elsewhere.
xcb_connection_t *x11Connection();
// Whether a compositing manager holds the _NET_WM_CM_S<screen> selection.
bool x11CompositorRunning(xcb_connection_t *connection);

} // namespace kestrova::character
