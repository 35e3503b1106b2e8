#include "CharacterWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVarLengthArray>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include "DesktopCharacterLog.h"
#include "WindowPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <dlfcn.h>
#include <xcb/xcb.h>

namespace kestrova::character {

namespace {

std::optional<bool> compositorOverride;

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

xcb_connection_t *x11Connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The pixels of a premultiplied ARGB image at least half opaque, as a
// region of step-sized cells (step 1: the image's own pixels; the device
// pixel ratio: window pixels, each cell judged by its middle pixel). Built
// row by row as runs, rows with the same runs as the row above joined into
// one band, which is the form QRegion keeps itself.
QRegion opaqueRegion(const QImage &image, qreal step)
{
    const int width = std::max(1, int(std::lround(image.width() / step)));
    const int height = std::max(1, int(std::lround(image.height() / step)));
    QVarLengthArray<QRect, 256> rects;
    qsizetype bandStart = 0;
    qsizetype bandCount = 0;
    int bandBottom = -2;
    for (int y = 0; y < height; ++y) {
        const int sy = std::min(image.height() - 1, int((y + 0.5) * step));
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(sy));
        const qsizetype rowStart = rects.size();
        int x = 0;
        auto opaque = [&](int cx) {
            return qAlpha(line[std::min(image.width() - 1, int((cx + 0.5) * step))]) >= 128;
        };
        while (x < width) {
            while (x < width && !opaque(x))
                ++x;
            if (x >= width)
                break;
            const int start = x;
            while (x < width && opaque(x))
                ++x;
            rects.append(QRect(start, y, x - start, 1));
        }
        const qsizetype rowCount = rects.size() - rowStart;
        bool same = rowCount > 0 && rowCount == bandCount && bandBottom == y - 1;
        for (qsizetype i = 0; same && i < rowCount; ++i) {
            const QRect &above = rects[bandStart + i];
            const QRect &here = rects[rowStart + i];
            same = above.left() == here.left() && above.width() == here.width();
        }
        if (same) {
            for (qsizetype i = 0; i < bandCount; ++i)
                rects[bandStart + i].setBottom(y);
            rects.resize(rowStart);
            bandBottom = y;
        } else if (rowCount > 0) {
            bandStart = rowStart;
            bandCount = rowCount;
            bandBottom = y;
        }
    }
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

// The smallest rectangle holding every pixel that differs between two
// images of one size and format; empty when they are alike.
QRect changedRect(const QImage &a, const QImage &b)
{
    if (a.cacheKey() == b.cacheKey())
        return {};
    int top = -1, bottom = -1, left = a.width(), right = -1;
    const qsizetype bytes = qsizetype(a.width()) * 4;
    for (int y = 0; y < a.height(); ++y) {
        const auto *p = reinterpret_cast<const quint32 *>(a.constScanLine(y));
        const auto *q = reinterpret_cast<const quint32 *>(b.constScanLine(y));
        if (std::memcmp(p, q, size_t(bytes)) == 0)
            continue;
        if (top < 0)
            top = y;
        bottom = y;
        int l = 0;
        while (l < left && p[l] == q[l])
            ++l;
        int r = a.width() - 1;
        while (r > right && p[r] == q[r])
            --r;
        left = std::min(left, l);
        right = std::max(right, r);
    }
    if (top < 0)
        return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

bool ShapedWindow::compositorRunning()
{
    if (compositorOverride)
        return *compositorOverride;
    // Only the xcb platform shows real X11 windows; the offscreen platform
    // may offer the interface too, without a connection.
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return true;
    return x11CompositorRunning(x11->connection());
}

void ShapedWindow::setCompositorOverride(std::optional<bool> running)
{
    compositorOverride = running;
}

namespace {

// A tiling window manager would put the character and its balloon in its
// layout (or float and centre them) and ignore their moves: there they are
// windows it does not manage, which stand where the program puts them, move
// when it moves them and stay above the tiled windows. They take no focus
// either way, so the prompt keeps the keyboard.
Qt::WindowFlags shapedWindowFlags()
{
    static const bool unmanaged = [] {
        const bool tiling = WindowPlacement::tilingDesktop(QProcessEnvironment::systemEnvironment());
        if (tiling)
            qCInfo(lcCharacter) << "The window manager tiles its windows: the character and its balloon place"
                                   " themselves, unmanaged";
        return tiling;
    }();
    Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
        | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    if (unmanaged)
        flags |= Qt::X11BypassWindowManagerHint;
    return flags;
}

} // namespace

ShapedWindow::ShapedWindow(QWidget *parent)
    : QWidget(parent, shapedWindowFlags())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    // Monitors come and go (a laptop leaves its dock, a projector is
    // unplugged): a window left on none is brought back.
    auto *watcher = new ScreenWatcher(this);
    connect(watcher, &ScreenWatcher::screensChanged, this, &ShapedWindow::keepOnScreens);
    // xfwm4 lets a window fall back to the normal layer when another window
    // of the same program is shown and given the focus (Quick Launch, About),
    // though its state still says above: the state is asked for again then.
    // (Not for a popup menu: it opens over the character and stays there.)
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *focus) {
        if (focus && focus != windowHandle() && focus->type() != Qt::Popup && isVisible())
            askWindowManager(false);
    });
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

bool ShapedWindow::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    if (NeverATask::mapped(this, eventType, message))
        askWindowManager(true);
    return QWidget::nativeEvent(eventType, message, result);
}

QPoint ShapedWindow::onScreens(QPoint topLeft) const
{
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas << screen->geometry();
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return topLeft;
    return WindowPlacement::keptOnScreens(QRect(topLeft, size()), areas, primary->availableGeometry());
}

void ShapedWindow::keepOnScreens()
{
    const QPoint from = isVisible() ? pos() : m_wanted;
    const QPoint to = onScreens(from);
    if (to != from)
        place(to);
}

void ShapedWindow::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // Translucency is chosen when the native window is made; when the
        // compositor came or went while hidden, the window is made anew.
        const bool composited = compositorRunning();
        if (testAttribute(Qt::WA_WState_Created) && composited != testAttribute(Qt::WA_TranslucentBackground))
            destroy();
        if (!testAttribute(Qt::WA_WState_Created)) {
            setAttribute(Qt::WA_TranslucentBackground, composited);
            setAttribute(Qt::WA_NoSystemBackground, composited);
        }
        m_wanted = pos();
        // Sent while hidden to a place on no monitor (a rest position saved
        // with a monitor that is gone): it shows on the main one instead.
        keepOnScreens();
        updateShape(true);
        m_guardUntil = QDateTime::currentMSecsSinceEpoch() + 2000;
        NeverATask::beforeMapping(this);
    }
    QWidget::setVisible(visible);
    if (visible)
        applyInputShape(true); // the native window may be new
}

void ShapedWindow::place(QPoint topLeft)
{
    m_wanted = topLeft;
    move(topLeft);
}

void ShapedWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (isVisible() && pos() != m_wanted && QDateTime::currentMSecsSinceEpoch() < m_guardUntil) {
        QTimer::singleShot(0, this, [this] {
            if (pos() != m_wanted)
                move(m_wanted);
        });
    }
}

void ShapedWindow::setFrame(const QImage &image)
{
    const bool sameGeometry = image.size() == m_frame.size() && image.format() == m_frame.format()
        && image.devicePixelRatio() == m_frame.devicePixelRatio();
    const QRect changed = sameGeometry ? changedRect(m_frame, image) : QRect(QPoint(0, 0), image.size());
    m_frame = image;
    if (changed.isEmpty())
        return;
    const QSize logical = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
    if (size() != logical)
        resize(logical);
    // Asking the display server about the compositor costs a round trip;
    // during animations once a second is enough.
    updateShape(false);
    // Only what changed is painted again and sent to the display server.
    const qreal dpr = image.devicePixelRatio();
    update(QRectF(QPointF(changed.topLeft()) / dpr, QSizeF(changed.size()) / dpr).toAlignedRect());
}

const ShapedWindow::Shapes &ShapedWindow::shapesOf(const QImage &image, bool needMask, bool needInput)
{
    auto it = m_shapes.find(image.cacheKey());
    if (it == m_shapes.end()) {
        // Keys of images let go of are never asked for again; a full table
        // starts over rather than keeping a use order.
        if (m_shapes.size() >= 256)
            m_shapes.clear();
        it = m_shapes.insert(image.cacheKey(), {});
    }
    Shapes &shapes = *it;
    if (needMask && shapes.mask.isEmpty()) {
        ++m_shapesMade;
        shapes.mask = opaqueRegion(image, image.devicePixelRatio());
        // An empty mask would mean no mask at all, the whole rectangle. A
        // frame with nothing to see keeps one pixel just outside the window
        // instead, which the display server cuts away with the rest.
        if (shapes.mask.isEmpty())
            shapes.mask = QRegion(-1, -1, 1, 1);
    }
    if (needInput && shapes.input.isEmpty()) {
        ++m_shapesMade;
        shapes.input = opaqueRegion(image, 1.0);
        if (shapes.input.isEmpty())
            shapes.input = QRegion(-1, -1, 1, 1);
    }
    return shapes;
}

void ShapedWindow::updateShape(bool force)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    bool shaped = m_shaped;
    if (force || now - m_lastCheck >= 1000) {
        m_lastCheck = now;
        shaped = !compositorRunning() || !testAttribute(Qt::WA_TranslucentBackground);
    }
    if (shaped != m_shaped) {
        if (!shaped) {
            clearMask();
            m_shape = QRegion();
        }
        m_input = QRegion();
        m_inputWindow = 0;
        // A shaped window is drawn without its alpha, the other with it.
        update();
    }
    m_shaped = shaped;
    if (m_frame.isNull())
        return;
    if (!m_shaped) {
        applyInputShape(force);
        return;
    }
    const Shapes &shapes = shapesOf(m_frame, true, false);
    if (shapes.mask != m_shape) {
        m_shape = shapes.mask;
        setMask(m_shape);
    }
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

void ShapedWindow::paintEvent(QPaintEvent *event)
{
    ++m_paints;
    QPainter painter(this);
    const QRect dirty = event->rect();
    if (m_frame.isNull()) {
        painter.fillRect(dirty, m_shaped ? QColor(Qt::white) : QColor(Qt::transparent));
        return;
    }
    if (!m_shaped)
        painter.setCompositionMode(QPainter::CompositionMode_Source);
    // In bands: Qt's raster engine hands a blend of 96 rows or more to its
    // thread pool, and waking those threads for a picture this small costs
    // more than the blend.
    const qreal dpr = m_frame.devicePixelRatio();
    const int band = std::max(1, int(BandRows / dpr));
    for (int top = dirty.top(); top <= dirty.bottom(); top += band) {
        const QRect part(dirty.left(), top, dirty.width(), std::min(band, dirty.bottom() + 1 - top));
        // Shaped, inside the mask at full opacity: the premultiplied colour
        // over black, so the edges do not blend with whatever is behind.
        if (m_shaped)
            painter.fillRect(part, Qt::black);
        painter.drawImage(part, m_frame, QRectF(QPointF(part.topLeft()) * dpr, QSizeF(part.size()) * dpr));
    }
}

CharacterWindow::CharacterWindow(QWidget *parent) : ShapedWindow(parent)
{
    setObjectName(QStringLiteral("kestrovaCharacter"));
}

namespace {

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int shiftCode(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
        | (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace

void CharacterWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_leftDown = true;
        m_dragging = false;
        m_pressAt = event->globalPosition().toPoint();
        m_windowAtPress = pos();
    }
    event->accept();
}

void CharacterWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_leftDown || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint delta = event->globalPosition().toPoint() - m_pressAt;
    if (!m_dragging && delta.manhattanLength() < QApplication::startDragDistance())
        return;
    if (!m_dragging) {
        m_dragging = true;
        Q_EMIT dragStarted();
    }
    place(m_windowAtPress + delta);
    Q_EMIT dragged(pos());
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent *event)
{
    const int button = buttonCode(event->button());
    const bool wasDrag = event->button() == Qt::LeftButton && m_dragging;
    // The release that ends a double click was already reported with it.
    const bool afterDoubleClick = m_afterDoubleClick;
    m_afterDoubleClick = false;
    if (event->button() == Qt::LeftButton) {
        m_leftDown = false;
        m_dragging = false;
    }
    if (wasDrag) {
        Q_EMIT dragFinished();
        return;
    }
    if (button && !afterDoubleClick)
        Q_EMIT clicked(button, shiftCode(event->modifiers()), event->globalPosition().toPoint());
}

void CharacterWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int button = buttonCode(event->button());
    if (event->button() == Qt::LeftButton) {
        m_leftDown = true;
        m_dragging = false;
        m_pressAt = event->globalPosition().toPoint();
        m_windowAtPress = pos();
    }
    m_afterDoubleClick = true;
    if (button)
        Q_EMIT doubleClicked(button, shiftCode(event->modifiers()), event->globalPosition().toPoint());
}

void CharacterWindow::moveEvent(QMoveEvent *event)
{
    ShapedWindow::moveEvent(event);
    Q_EMIT moved(pos());
}

} // namespace kestrova::character
