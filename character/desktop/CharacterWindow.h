#pragma once

#include <QImage>
#include <QPoint>
#include <QHash>
#include <QRegion>
#include <QWidget>
#include <optional>

#include "X11WindowRequests.h"

namespace kestrova::character {

// A frameless, always-on-top tool window that shows one ARGB image and
// nothing around it: no taskbar entry, no focus taken when shown.
//
// Where a compositing manager runs, the window is translucent and the
// image's alpha blends with the desktop. Without one, a translucent window
// would show black where the image is transparent, so the window is opaque
// instead and shaped with a mask cut from the image's alpha (pixels at least
// half opaque are kept, drawn at full opacity). Where it is translucent, the
// same pixels make its input shape: clicks on the transparent pixels around
// the image reach the window below.
//
// It repaints only when it is handed a new image, and only the pixels that
// changed. The shape of an image shown before (the same shared image, as the
// renderer hands out for a pose it drew before) is not worked out again, and
// the display server hears of a shape only when it changed.
class ShapedWindow : public QWidget {
    Q_OBJECT
public:
    explicit ShapedWindow(QWidget *parent = nullptr);

    // The image to show; its device pixel ratio gives the window's size.
    void setFrame(const QImage &image);
    const QImage &frame() const { return m_frame; }

    // True while the window is cut to the image's shape (no compositor).
    bool isShaped() const { return m_shaped; }
    // The mask in use while shaped, in window pixels.
    QRegion shape() const { return m_shape; }
    // The input shape in use while translucent, in device pixels; empty
    // while shaped (the mask cuts the input too) and where the platform has
    // no input shapes (then the whole rectangle takes clicks).
    QRegion inputShape() const { return m_input; }

    // Whether a compositing manager runs on the window's screen. On X11 that
    // is whether the _NET_WM_CM_S<screen> selection has an owner; other
    // platforms (Wayland, offscreen) always composite.
    static bool compositorRunning();
    // Tests force the answer; nullopt asks the display again.
    static void setCompositorOverride(std::optional<bool> running);

    // How many times the window has painted (for measuring idle work), and
    // how many shapes it worked out (images not seen before).
    int paintCount() const { return m_paints; }
    int shapeCount() const { return m_shapesMade; }

    // Moves the window, and remembers where it belongs (see moveEvent).
    void place(QPoint topLeft);
    // Where the window would stay with its top left corner at topLeft: there
    // when enough of it is on a screen to be dragged back, else the nearest
    // place on the main screen.
    QPoint onScreens(QPoint topLeft) const;

    void setVisible(bool visible) override;

    // Device pixel rows painted at a time (see paintEvent).
    static constexpr int BandRows = 64;

protected:
    void paintEvent(QPaintEvent *event) override;
    // A reparenting window manager can leave Qt believing the window sits
    // at its frame's origin (0, 0) while it is shown where it was asked to
    // be (seen with openbox, now and then). For a moment after showing, a
    // move nobody asked for is answered by asking for the place again,
    // which makes the window manager confirm the real position.
    void moveEvent(QMoveEvent *event) override;
    // Watches for the native window being mapped (see askWindowManager).
    bool nativeEvent(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    // On X11, once the window is mapped: asks the window manager for the
    // above state again, and, with mapped, for no taskbar or pager entry and
    // no attention flag (which some window managers raise for a window
    // mapped without taking the focus).
    void askWindowManager(bool mapped);

    struct Shapes {
        QRegion mask;  // window pixels
        QRegion input; // device pixels
    };
    void updateShape(bool force);
    const Shapes &shapesOf(const QImage &image, bool needMask, bool needInput);
    void applyInputShape(bool force);
    // Moves the window onto a connected screen when it stands on none.
    void keepOnScreens();

    QPoint m_wanted;
    qint64 m_guardUntil = 0;

    QImage m_frame;
    QRegion m_shape;
    QRegion m_input;
    WId m_inputWindow = 0; // the native window m_input was given to
    bool m_shaped = false;
    qint64 m_lastCheck = 0;
    int m_paints = 0;
    int m_shapesMade = 0;
    // By QImage::cacheKey: a few hundred bytes each.
    QHash<qint64, Shapes> m_shapes;
};

// The character itself: the left button drags it; a press and release
// without a drag is a click. Positions are reported in screen pixels.
class CharacterWindow : public ShapedWindow {
    Q_OBJECT
public:
    explicit CharacterWindow(QWidget *parent = nullptr);

    bool isDragging() const { return m_dragging; }

Q_SIGNALS:
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Control, 4 Alt.
    void clicked(int button, int shift, QPoint screenPos);
    void doubleClicked(int button, int shift, QPoint screenPos);
    void dragStarted();
    void dragged(QPoint topLeft);
    void dragFinished();
    void moved(QPoint topLeft);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    QPoint m_pressAt;      // screen position of the left-button press
    QPoint m_windowAtPress;
    bool m_leftDown = false;
    bool m_dragging = false;
    bool m_afterDoubleClick = false;
};

} // namespace kestrova::character
