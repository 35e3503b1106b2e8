#include "X11WindowRequests.h"

#include "CharacterWindow.h"
#include "DesktopCharacterLog.h"
#include "DesktopSession.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QVarLengthArray>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <cstring>

#include <dlfcn.h>
#include <xcb/xcb.h>

namespace kestrova::character {

namespace {

// The compositor check on X11. libxcb is already loaded by Qt's xcb
// platform plugin whenever there is an X11 connection, so its functions are
// looked up in the loaded library rather than linked: the program does not
// depend on libxcb where it runs without X11.
//
// Each function used, once: the member that holds it and its name in libxcb.
#define KESTROVA_XCB_FUNCTIONS(F) \
    F(internAtom, xcb_intern_atom) \
    F(internAtomReply, xcb_intern_atom_reply) \
    F(getSelectionOwner, xcb_get_selection_owner) \
    F(getSelectionOwnerReply, xcb_get_selection_owner_reply) \
    F(changeProperty, xcb_change_property) \
    F(deleteProperty, xcb_delete_property) \
    F(sendEvent, xcb_send_event) \
    F(getSetup, xcb_get_setup) \
    F(rootsIterator, xcb_setup_roots_iterator) \
    F(screenNext, xcb_screen_next) \
    F(flush, xcb_flush) \
    F(configureWindow, xcb_configure_window) \
    F(changeWindowAttributes, xcb_change_window_attributes) \
    F(getWindowAttributes, xcb_get_window_attributes) \
    F(getWindowAttributesReply, xcb_get_window_attributes_reply) \
    F(queryTree, xcb_query_tree) \
    F(queryTreeReply, xcb_query_tree_reply) \
    F(queryTreeChildren, xcb_query_tree_children) \
    F(queryTreeChildrenLength, xcb_query_tree_children_length)

struct XcbFunctions {
#define KESTROVA_XCB_MEMBER(member, name) decltype(&name) member = nullptr;
    KESTROVA_XCB_FUNCTIONS(KESTROVA_XCB_MEMBER)
#undef KESTROVA_XCB_MEMBER

    static const XcbFunctions &get()
    {
        static const XcbFunctions functions = [] {
            XcbFunctions f;
            void *lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
            if (!lib)
                return f;
#define KESTROVA_XCB_LOOKUP(member, name) f.member = reinterpret_cast<decltype(f.member)>(dlsym(lib, #name));
            KESTROVA_XCB_FUNCTIONS(KESTROVA_XCB_LOOKUP)
#undef KESTROVA_XCB_LOOKUP
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
    bool canRestack() const
    {
        return getSetup && rootsIterator && screenNext && flush && configureWindow && changeWindowAttributes
            && getWindowAttributes && getWindowAttributesReply && queryTree && queryTreeReply && queryTreeChildren
            && queryTreeChildrenLength;
    }
};
#undef KESTROVA_XCB_FUNCTIONS

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

// Whether the window manager is KDE's KWin.
bool kwinDesktop()
{
    return DesktopSession::current().family == DesktopSession::Family::Kde;
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
    // Qt makes a tool window without a parent transient for its client
    // leader, which KWin takes as transient for the program's windows mapped
    // before it; a utility window it hides whenever the active window is
    // another of the program's, mapped later (the tour opened from the
    // character's menu): it iconifies the character. Transient for nothing,
    // it is left alone.
    if (xcb.deleteProperty && kwinDesktop())
        xcb.deleteProperty(connection, id, XCB_ATOM_WM_TRANSIENT_FOR);
    xcb.flush(connection);
}

namespace {

// Watches the root window's children for KeptAbove: which are shown, which
// of them are popups, and where each stands in the stacking order.
class KeptAboveFilter final : public QObject, public QAbstractNativeEventFilter {
public:
    static KeptAboveFilter *instance()
    {
        static QPointer<KeptAboveFilter> filter;
        if (!filter && qGuiApp) {
            filter = new KeptAboveFilter(qGuiApp);
            qGuiApp->installNativeEventFilter(filter);
        }
        return filter;
    }

    void keep(QWidget *window)
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection || !XcbFunctions::get().canRestack() || !watch(connection))
            return;
        m_windows.removeAll(nullptr);
        if (!m_windows.contains(window))
            m_windows << window;
        restack();
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (m_root == XCB_WINDOW_NONE || eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        switch (event->response_type & 0x7f) {
        case XCB_MAP_NOTIFY: {
            const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event);
            if (map->event != m_root)
                return false;
            // A popup (override-redirect: a menu, a tooltip) opens over
            // everything, the character included.
            m_shown.insert(map->window, map->override_redirect);
            if (!kept(map->window))
                scheduleRestack();
            return false;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto *unmap = reinterpret_cast<const xcb_unmap_notify_event_t *>(event);
            if (unmap->event == m_root)
                m_shown.remove(unmap->window);
            return false;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto *gone = reinterpret_cast<const xcb_destroy_notify_event_t *>(event);
            if (gone->event == m_root) {
                m_shown.remove(gone->window);
                m_below.remove(gone->window);
            }
            return false;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
            if (configure->event != m_root || configure->window == m_root)
                return false;
            // An override-redirect window that is restacked once shown is
            // no popup but a window manager's frame (i3's are such); the
            // program's own popups stay popups.
            const auto below = m_below.constFind(configure->window);
            if (below != m_below.constEnd() && *below != configure->above_sibling
                && m_shown.contains(configure->window) && !own(configure->window))
                m_shown[configure->window] = false;
            m_below.insert(configure->window, configure->above_sibling);
            if (!kept(configure->window))
                scheduleRestack();
            // Qt takes a configure event on the root window for a change of
            // its screens, and would look at them again for every window
            // moved on the desktop.
            return m_swallowChildren;
        }
        default:
            return false;
        }
    }

private:
    using QObject::QObject;

    // Asks the X server for the root window's substructure events (once),
    // and learns which of its children are shown now.
    bool watch(xcb_connection_t *connection)
    {
        if (m_root != XCB_WINDOW_NONE)
            return true;
        const XcbFunctions &xcb = XcbFunctions::get();
        const xcb_window_t root = x11Root(connection);
        if (root == XCB_WINDOW_NONE)
            return false;
        xcb_get_window_attributes_reply_t *attributes =
            xcb.getWindowAttributesReply(connection, xcb.getWindowAttributes(connection, root), nullptr);
        if (!attributes)
            return false;
        const uint32_t mask = attributes->your_event_mask;
        free(attributes);
        m_swallowChildren = !(mask & XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        const uint32_t wanted = mask | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb.changeWindowAttributes(connection, root, XCB_CW_EVENT_MASK, &wanted);
        const QList<xcb_window_t> children = stacking(connection, root);
        QVarLengthArray<xcb_get_window_attributes_cookie_t, 64> cookies;
        for (xcb_window_t child : children)
            cookies.append(xcb.getWindowAttributes(connection, child));
        for (qsizetype i = 0; i < children.size(); ++i) {
            xcb_get_window_attributes_reply_t *child = xcb.getWindowAttributesReply(connection, cookies[i], nullptr);
            if (child && child->map_state != XCB_MAP_STATE_UNMAPPED)
                m_shown.insert(children[i], child->override_redirect);
            free(child);
        }
        m_root = root;
        qCInfo(lcCharacter) << "Keeps its unmanaged windows above the others:" << m_shown.size()
                            << "windows shown on the desktop";
        return true;
    }

    // The root window's children, bottom first.
    static QList<xcb_window_t> stacking(xcb_connection_t *connection, xcb_window_t root)
    {
        const XcbFunctions &xcb = XcbFunctions::get();
        QList<xcb_window_t> children;
        if (xcb_query_tree_reply_t *tree = xcb.queryTreeReply(connection, xcb.queryTree(connection, root), nullptr)) {
            const xcb_window_t *ids = xcb.queryTreeChildren(tree);
            children = QList<xcb_window_t>(ids, ids + xcb.queryTreeChildrenLength(tree));
            free(tree);
        }
        return children;
    }

    bool kept(xcb_window_t window) const
    {
        return window != XCB_WINDOW_NONE && keptIds().contains(window);
    }

    // The kept windows that are shown, in the order they are kept above
    // one another.
    QList<xcb_window_t> keptIds() const
    {
        QList<xcb_window_t> ids;
        for (const QPointer<QWidget> &widget : m_windows) {
            if (widget && widget->isVisible() && widget->testAttribute(Qt::WA_WState_Created))
                ids << xcb_window_t(widget->internalWinId());
        }
        return ids;
    }

    // Made by this program: its connection's ids share one base.
    static bool own(xcb_window_t window)
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return false;
        const xcb_setup_t *setup = XcbFunctions::get().getSetup(connection);
        return (window & ~setup->resource_id_mask) == setup->resource_id_base;
    }

    // Window managers restack their windows now and then, some above a
    // window of their own rather than at the top: what is over a kept
    // window is looked at once the X server's news so far is dealt with.
    void scheduleRestack()
    {
        if (m_restackPending)
            return;
        m_restackPending = true;
        QTimer::singleShot(0, this, [this] {
            m_restackPending = false;
            restack();
        });
    }

    // Puts the kept windows right over the highest shown window that is not
    // a popup, if that is over one of them; popups stay over them.
    void restack()
    {
        xcb_connection_t *connection = x11Connection();
        const QList<xcb_window_t> ids = keptIds();
        if (!connection || ids.isEmpty())
            return;
        const QList<xcb_window_t> order = stacking(connection, m_root);
        qsizetype lowest = order.size();
        for (xcb_window_t id : ids)
            lowest = std::min(lowest, order.contains(id) ? order.indexOf(id) : order.size());
        xcb_window_t over = XCB_WINDOW_NONE;
        for (qsizetype i = order.size() - 1; i > lowest && over == XCB_WINDOW_NONE; --i) {
            const auto shown = m_shown.constFind(order[i]);
            if (shown != m_shown.constEnd() && !*shown && !ids.contains(order[i]))
                over = order[i];
        }
        if (over == XCB_WINDOW_NONE)
            return;
        const XcbFunctions &xcb = XcbFunctions::get();
        for (xcb_window_t id : ids) {
            const uint32_t values[] = {over, XCB_STACK_MODE_ABOVE};
            xcb.configureWindow(connection, id, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
            over = id;
        }
        xcb.flush(connection);
    }

    QList<QPointer<QWidget>> m_windows;
    // The root window's children the X server shows, each with whether it
    // is a popup.
    QHash<xcb_window_t, bool> m_shown;
    // The sibling each child was last stacked right over.
    QHash<xcb_window_t, xcb_window_t> m_below;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    bool m_swallowChildren = false;
    bool m_restackPending = false;
};

} // namespace

void KeptAbove::keep(QWidget *window)
{
    if (KeptAboveFilter *filter = KeptAboveFilter::instance())
        filter->keep(window);
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
