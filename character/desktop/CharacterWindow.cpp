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

bool ShapedWindow::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    if (NeverATask::mapped(this, eventType, message)) {
        askWindowManager(true);
        if (windowFlags() & Qt::X11BypassWindowManagerHint)
            KeptAbove::keep(this);
    }
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
