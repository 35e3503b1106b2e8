#include "CharacterWindow.h"

#include <QApplication>
#include <QBitmap>
#include <QDateTime>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

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
            return f;
        }();
        return functions;
    }
    bool ok() const { return internAtom && internAtomReply && getSelectionOwner && getSelectionOwnerReply; }
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

// A copy of a premultiplied image with every pixel at full opacity, so the
// edges of a shaped window do not blend with whatever is behind the image.
QImage opaqueCopy(const QImage &image)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            line[x] = line[x] | 0xff000000u;
    }
    return out;
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

ShapedWindow::ShapedWindow(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
                          | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
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
        updateShape(true);
        m_wanted = pos();
        m_guardUntil = QDateTime::currentMSecsSinceEpoch() + 2000;
    }
    QWidget::setVisible(visible);
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
    m_frame = image;
    const QSize logical = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
    if (size() != logical)
        resize(logical);
    // Asking the display server about the compositor costs a round trip;
    // during animations once a second is enough.
    updateShape(false);
    update();
}

void ShapedWindow::updateShape(bool force)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    bool shaped = m_shaped;
    if (force || now - m_lastCheck >= 1000) {
        m_lastCheck = now;
        shaped = !compositorRunning() || !testAttribute(Qt::WA_TranslucentBackground);
    }
    if (!shaped) {
        if (m_shaped) {
            clearMask();
            m_shape = QRegion();
            m_opaque = QImage();
        }
        m_shaped = false;
        return;
    }
    m_shaped = true;
    if (m_frame.isNull())
        return;
    const QSize logical = (QSizeF(m_frame.size()) / m_frame.devicePixelRatio()).toSize();
    QImage alpha = m_frame.size() == logical ? m_frame : m_frame.scaled(logical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QRegion region(QBitmap::fromImage(alpha.createAlphaMask(Qt::ThresholdAlphaDither)));
    // An empty mask would mean no mask at all, the whole rectangle. A frame
    // with nothing to see keeps one pixel just outside the window instead,
    // which the display server cuts away with the rest.
    if (region.isEmpty())
        region = QRegion(-1, -1, 1, 1);
    if (region != m_shape) {
        m_shape = region;
        setMask(region);
    }
    m_opaque = opaqueCopy(m_frame);
    m_opaque.setDevicePixelRatio(m_frame.devicePixelRatio());
}

void ShapedWindow::paintEvent(QPaintEvent *)
{
    ++m_paints;
    QPainter painter(this);
    if (m_shaped) {
        if (m_opaque.isNull())
            painter.fillRect(rect(), Qt::white);
        else
            painter.drawImage(0, 0, m_opaque);
        return;
    }
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, m_frame);
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
