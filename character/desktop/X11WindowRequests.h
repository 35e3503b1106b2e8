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

// The connection to the X server under Qt's X11 platform; nullptr elsewhere.
xcb_connection_t *x11Connection();
// Whether a compositing manager holds the _NET_WM_CM_S<screen> selection.
bool x11CompositorRunning(xcb_connection_t *connection);

} // namespace kestrova::character
