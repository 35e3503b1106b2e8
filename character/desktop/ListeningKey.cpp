#include "ListeningKey.h"

#include "DesktopCharacterLog.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace kestrova::character {

namespace {

// Key repeat sends a press about every 30-50 ms while the key is held; a
// press this soon after the last is the same holding.
constexpr int RepeatWindowMs = 400;

struct X11 {
    Display *display = nullptr;
    xcb_connection_t *connection = nullptr;
};

X11 x11()
{
    X11 out;
    if (auto *native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        out.display = native->display();
        out.connection = native->connection();
    }
    return out;
}

} // namespace

ListeningKey::ListeningKey(QObject *parent) : QObject(parent) {}

ListeningKey::~ListeningKey()
{
    release();
    if (m_filterInstalled && qApp)
        qApp->removeNativeEventFilter(this);
}

void ListeningKey::release()
{
    if (!m_keycode)
        return;
    const X11 x = x11();
    if (x.connection) {
        xcb_ungrab_key(x.connection, xcb_keycode_t(m_keycode), m_root, XCB_MOD_MASK_ANY);
        xcb_flush(x.connection);
    }
    m_keycode = 0;
}

bool ListeningKey::setKey(const QString &keysymName)
{
    release();
    m_error.clear();
    m_name = keysymName.trimmed();
    if (m_name.isEmpty() || m_name.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0) {
        m_name.clear();
        return true;
    }
    const X11 x = x11();
    if (!x.display || !x.connection) {
        m_error = QStringLiteral("this desktop has no keys for a program in the background (not X11)");
        return false;
    }
    const KeySym sym = XStringToKeysym(m_name.toLatin1().constData());
    if (sym == NoSymbol) {
        m_error = QStringLiteral("\"%1\" is not the name of a key").arg(m_name);
        return false;
    }
    const KeyCode code = XKeysymToKeycode(x.display, sym);
    if (code == 0) {
        m_error = QStringLiteral("the keyboard has no \"%1\" key").arg(m_name);
        return false;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x.connection)).data;
    if (!screen) {
        m_error = QStringLiteral("the display has no screen");
        return false;
    }
    const xcb_void_cookie_t cookie = xcb_grab_key_checked(x.connection, 1, screen->root, XCB_MOD_MASK_ANY, code,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t *error = xcb_request_check(x.connection, cookie)) {
        free(error);
        m_error = QStringLiteral("another program holds the \"%1\" key").arg(m_name);
        return false;
    }
    m_keycode = code;
    m_root = screen->root;
    if (!m_filterInstalled) {
        qApp->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    return true;
}

bool ListeningKey::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_keycode || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto *press = static_cast<const xcb_key_press_event_t *>(message);
    if (press->detail != m_keycode || press->root != m_root)
        return false;
    if (m_lastPress.isValid() && m_lastPress.elapsed() < RepeatWindowMs) {
        m_lastPress.restart();
        return true;
    }
    m_lastPress.restart();
    Q_EMIT pressed();
    return true;
}

} // namespace kestrova::character
