#include "X11WindowRequests.h"

#include "CharacterWindow.h"

#include <QGuiApplication>
#include <QVarLengthArray>
#include <QtGui/qguiapplication_platform.h>

#include <cstring>

#include <dlfcn.h>
#include <xcb/xcb.h>

namespace kestrova::character {

namespace {

// The compositor check on X11. libxcb is already loaded by Qt's xcb
// platform plugin whenever there is an X11 connection, so its functions are
// looked up in the loaded library rather than linked: the program does not
// depend on libxcb where it runs without X11.
struct XcbFunctions {
    decltype(&xcb_intern_atom) internAtom = nullptr;
    decltype(&xcb_intern_atom_reply) internAtomReply = nullptr;
    decltype(&xcb_get_selection_owner) getSelectionOwner = nullptr;
    decltype(&xcb_get_selection_owner_reply) getSelectionOwnerReply = nullptr;
    decltype(&xcb_change_property) changeProperty = nullptr;
    decltype(&xcb_send_event) sendEvent = nullptr;
    decltype(&xcb_get_setup) getSetup = nullptr;
    decltype(&xcb_setup_roots_iterator) rootsIterator = nullptr;
    decltype(&xcb_screen_next) screenNext = nullptr;
    decltype(&xcb_flush) flush = nullptr;

    static const XcbFunctions &get()
    {
        static const XcbFunctions functions = [] {
            XcbFunctions f;
            void *lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
            if (!lib)
                return f;
            f.internAtom = reinterpret_cast<decltype(f.internAtom)>(dlsym(lib, "xcb_intern_atom"));
            f.internAtomReply =
                reinterpret_cast<decltype(f.internAtomReply)>(dlsym(lib, "xcb_intern_atom_reply"));
            f.getSelectionOwner =
                reinterpret_cast<decltype(f.getSelectionOwner)>(dlsym(lib, "xcb_get_selection_owner"));
            f.getSelectionOwnerReply = reinterpret_cast<decltype(f.getSelectionOwnerReply)>(
                dlsym(lib, "xcb_get_selection_owner_reply"));
            f.changeProperty = reinterpret_cast<decltype(f.changeProperty)>(dlsym(lib, "xcb_change_property"));
            f.sendEvent = reinterpret_cast<decltype(f.sendEvent)>(dlsym(lib, "xcb_send_event"));
            f.getSetup = reinterpret_cast<decltype(f.getSetup)>(dlsym(lib, "xcb_get_setup"));
            f.rootsIterator = reinterpret_cast<decltype(f.rootsIterator)>(dlsym(lib, "xcb_setup_roots_iterator"));
            f.screenNext = reinterpret_cast<decltype(f.screenNext)>(dlsym(lib, "xcb_screen_next"));
            f.flush = reinterpret_cast<decltype(f.flush)>(dlsym(lib, "xcb_flush"));
            return f;
        }();
        return functions;
    }
    bool ok() const { return internAtom && internAtomReply && getSelectionOwner && getSelectionOwnerReply; }
    bool canAskWindowManager() const
    {
        return internAtom && internAtomReply && changeProperty && sendEvent && getSetup && rootsIterator && screenNext
            && flush;
    }
};

// The X screen number from DISPLAY (":7.1" is screen 1); 0 when absent.
int x11ScreenNumber()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    const qsizetype colon = display.lastIndexOf(u':');
    const qsizetype dot = display.indexOf(u'.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok ? screen : 0;
}

} // namespace

bool x11CompositorRunning(xcb_connection_t *connection)
{
    const XcbFunctions &xcb = XcbFunctions::get();
    if (!xcb.ok())
        return false; // cannot tell: a shaped window looks right either way
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(x11ScreenNumber());
    xcb_intern_atom_reply_t *atom = xcb.internAtomReply(
        connection, xcb.internAtom(connection, 1, uint16_t(name.size()), name.constData()), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t selection = atom->atom;
    free(atom);
    if (selection == XCB_ATOM_NONE)
        return false; // nobody ever claimed it
    xcb_get_selection_owner_reply_t *owner =
        xcb.getSelectionOwnerReply(connection, xcb.getSelectionOwner(connection, selection), nullptr);
    if (!owner)
        return false;
    const bool owned = owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return owned;
}

namespace {

xcb_atom_t x11Atom(xcb_connection_t *connection, const char *name)
{
    const XcbFunctions &xcb = XcbFunctions::get();
    xcb_intern_atom_reply_t *reply = xcb.internAtomReply(
        connection, xcb.internAtom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

xcb_window_t x11Root(xcb_connection_t *connection)
{
    const XcbFunctions &xcb = XcbFunctions::get();
    xcb_screen_iterator_t it = xcb.rootsIterator(xcb.getSetup(connection));
    for (int i = x11ScreenNumber(); i > 0 && it.rem > 1; --i)
        xcb.screenNext(&it);
    return it.rem > 0 ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

// Asks the window manager to add (action 1) or remove (action 0) up to two
// states of a mapped window, as the Extended Window Manager Hints have a
// client do: a change of the _NET_WM_STATE property itself counts only
// before the window is mapped.
void requestNetWmState(xcb_connection_t *connection, xcb_window_t root, xcb_window_t window, uint32_t action,
                       xcb_atom_t first, xcb_atom_t second = XCB_ATOM_NONE)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = x11Atom(connection, "_NET_WM_STATE");
    event.data.data32[0] = action;
    event.data.data32[1] = first;
    event.data.data32[2] = second;
    event.data.data32[3] = 1; // from an application
    XcbFunctions::get().sendEvent(connection, 0, root,
                                  XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                  reinterpret_cast<const char *>(&event));
}

// The input shape of an X11 window (SHAPE extension, kind Input). Qt's
// window mask sets the bounding shape, which would also cut away the
// image's soft, half transparent edge; the input shape only decides where
// clicks land. libxcb-shape is loaded by Qt's xcb plugin; looked up as above.
using ShapeRectangles = xcb_void_cookie_t (*)(xcb_connection_t *, uint8_t operation, uint8_t kind, uint8_t ordering,
                                              xcb_window_t window, int16_t x, int16_t y, uint32_t count,
                                              const xcb_rectangle_t *rectangles);
constexpr uint8_t kShapeSet = 0;
constexpr uint8_t kShapeInput = 2;
constexpr uint8_t kYXBanded = 3;

ShapeRectangles shapeRectangles()
{
    static const ShapeRectangles function = [] {
        void *lib = dlopen("libxcb-shape.so.0", RTLD_LAZY | RTLD_NOLOAD);
        return lib ? reinterpret_cast<ShapeRectangles>(dlsym(lib, "xcb_shape_rectangles")) : nullptr;
    }();
    return function;
}

} // namespace

xcb_connection_t *x11Connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

void NeverATask::beforeMapping(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !XcbFunctions::get().canAskWindowManager())
        return;
    // Made now, so that the states are on the window before it is mapped;
    // Qt adds its own (above) to them when it maps the window.
    const auto id = xcb_window_t(window->winId());
    // KWin keeps its window switcher's list by a state of its own.
    const xcb_atom_t states[] = {x11Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 x11Atom(connection, "_NET_WM_STATE_SKIP_PAGER"),
                                 x11Atom(connection, "_KDE_NET_WM_STATE_SKIP_SWITCHER")};
    XcbFunctions::get().changeProperty(connection, XCB_PROP_MODE_REPLACE, id, x11Atom(connection, "_NET_WM_STATE"),
                                       XCB_ATOM_ATOM, 32, 3, states);
}

bool NeverATask::mapped(const QWidget *window, const QByteArray &eventType, void *message)
{
    if (eventType != "xcb_generic_event_t" || !window->testAttribute(Qt::WA_WState_Created))
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    return (event->response_type & 0x7f) == XCB_MAP_NOTIFY
        && reinterpret_cast<const xcb_map_notify_event_t *>(event)->window == xcb_window_t(window->internalWinId());
}

void NeverATask::askOnceMapped(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    const XcbFunctions &xcb = XcbFunctions::get();
    if (!connection || !xcb.canAskWindowManager() || !window->testAttribute(Qt::WA_WState_Created))
        return;
    const auto id = xcb_window_t(window->internalWinId());
    const xcb_window_t root = x11Root(connection);
    if (!id || !root)
        return;
    requestNetWmState(connection, root, id, 1, x11Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                      x11Atom(connection, "_NET_WM_STATE_SKIP_PAGER"));
    requestNetWmState(connection, root, id, 1, x11Atom(connection, "_KDE_NET_WM_STATE_SKIP_SWITCHER"));
    // KWin flags a window mapped without the focus as demanding attention
    // (it then sits in the taskbar and window switcher).
    requestNetWmState(connection, root, id, 0, x11Atom(connection, "_NET_WM_STATE_DEMANDS_ATTENTION"));
    xcb.flush(connection);
}

void ShapedWindow::askWindowManager(bool mapped)
{
    xcb_connection_t *connection = x11Connection();
    const XcbFunctions &xcb = XcbFunctions::get();
    if (!connection || !xcb.canAskWindowManager() || !testAttribute(Qt::WA_WState_Created))
        return;
    const auto window = xcb_window_t(internalWinId());
    const xcb_window_t root = x11Root(connection);
    if (!window || !root)
        return;
    // Removed and added again: xfwm4 takes an above state a window has when
    // it is mapped into its flags, yet keeps the window in the normal layer,
    // and a second "add" of a state it believes the window has does nothing.
    // Elsewhere this only restacks the window at the top of its layer.
    const xcb_atom_t above = x11Atom(connection, "_NET_WM_STATE_ABOVE");
    requestNetWmState(connection, root, window, 0, above);
    requestNetWmState(connection, root, window, 1, above);
    xcb.flush(connection);
    if (mapped)
        NeverATask::askOnceMapped(this);
}

void ShapedWindow::applyInputShape(bool force)
{
    if (m_shaped || m_frame.isNull())
        return;
    xcb_connection_t *connection = x11Connection();
    const ShapeRectangles setShape = shapeRectangles();
    if (!connection || !setShape) {
        // Offscreen or Wayland: nothing to give the shape to; the shape is
        // still worked out, so it can be looked at.
        m_input = shapesOf(m_frame, false, true).input;
        return;
    }
    const WId window = testAttribute(Qt::WA_WState_Created) ? internalWinId() : 0;
    if (!window)
        return;
    const QRegion &input = shapesOf(m_frame, false, true).input;
    if (!force && window == m_inputWindow && input == m_input)
        return;
    QVarLengthArray<xcb_rectangle_t, 256> rects;
    for (const QRect &r : input)
        rects.append({int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height())});
    setShape(connection, kShapeSet, kShapeInput, kYXBanded, xcb_window_t(window), 0, 0, uint32_t(rects.size()),
             rects.constData());
    m_input = input;
    m_inputWindow = window;
}

} // namespace kestrova::character
