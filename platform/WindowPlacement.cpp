#include "WindowPlacement.h"

#include "DesktopSession.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <QAbstractButton>
#include <QCheckBox>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QLineEdit>
#include <QStatusBar>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include <xcb/xcb.h>

Q_LOGGING_CATEGORY(lcPlacement, "kestrova.placement")

namespace kestrova {

namespace WindowPlacement {

namespace {

QPoint keptInside(QPoint topLeft, const QSize &size, const QRect &area)
{
    // A window larger than the area keeps its top left corner in view.
    const int x = std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.left() + area.width() - size.width()));
    const int y = std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.top() + area.height() - size.height()));
    return {x, y};
}

} // namespace

QPoint placedAt(const QRect &frame, const QRect &windowArea, const QRect &characterArea, bool placedByWindow)
{
    if (!characterArea.isValid() || windowArea == characterArea)
        return frame.topLeft();
    QPoint topLeft;
    if (placedByWindow && windowArea.isValid())
        topLeft = characterArea.topLeft() + (frame.topLeft() - windowArea.topLeft());
    else
        topLeft = QPoint(characterArea.left() + (characterArea.width() - frame.width()) / 2,
                         characterArea.top() + (characterArea.height() - frame.height()) / 2);
    return keptInside(topLeft, frame.size(), characterArea);
}

bool tilingDesktop(const QProcessEnvironment &environment)
{
    return DesktopSession::of(environment).family == DesktopSession::Family::Tiling;
}

namespace {

// Tells the X window manager, as the window is about to be mapped, that the
// window is a dialog (a normal window to one that knows no dialogs).
class DialogType final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType())
            tell(static_cast<QWidget *>(watched));
        return false;
    }

private:
    static xcb_atom_t atom(xcb_connection_t *c, const char *name)
    {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return found;
    }

    static void tell(QWidget *window)
    {
        auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        xcb_connection_t *c = x11 ? x11->connection() : nullptr;
        if (!c || !window->windowHandle())
            return;
        const xcb_atom_t property = atom(c, "_NET_WM_WINDOW_TYPE");
        const xcb_atom_t types[] = {atom(c, "_NET_WM_WINDOW_TYPE_DIALOG"), atom(c, "_NET_WM_WINDOW_TYPE_NORMAL")};
        if (property == XCB_ATOM_NONE || types[0] == XCB_ATOM_NONE || types[1] == XCB_ATOM_NONE)
            return;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), property, XCB_ATOM_ATOM, 32, 2,
                            types);
        xcb_flush(c);
    }
};

} // namespace

void floatsOnTilingDesktop(QWidget *window, const QProcessEnvironment &environment)
{
    if (!window || !window->isWindow() || window->windowType() != Qt::Window
        || window->windowFlags().testFlag(Qt::FramelessWindowHint) || !tilingDesktop(environment))
        return;
    window->installEventFilter(new DialogType(window));
}

QPoint keptOnScreens(const QRect &frame, const QList<QRect> &screens, const QRect &primaryArea)
{
    const QSize corner(std::min(frame.width(), VisibleCorner), std::min(frame.height(), VisibleCorner));
    for (const QRect &screen : screens) {
        const QRect seen = screen.intersected(frame);
        if (seen.width() >= corner.width() && seen.height() >= corner.height())
            return frame.topLeft();
    }
    if (!primaryArea.isValid())
        return frame.topLeft();
    return keptInside(frame.topLeft(), frame.size(), primaryArea);
}

QPoint clearOf(const QSize &size, const QRect &area, const QRect &character, const QList<QRect> &avoid,
               std::optional<QPoint> preferred)
{
    const auto inside = [&](QPoint p) { return keptInside(p, size, area); };
    QList<QPoint> places;
    if (preferred)
        places << inside(*preferred);
    if (!character.isEmpty()) {
        const int middle = character.top() + (character.height() - size.height()) / 2;
        const int centre = character.left() + (character.width() - size.width()) / 2;
        places << inside({character.right() + 1 + Gap, character.top()})
               << inside({character.left() - Gap - size.width(), character.top()})
               << inside({character.right() + 1 + Gap, middle})
               << inside({character.left() - Gap - size.width(), middle})
               << inside({centre, character.bottom() + 1 + Gap})
               << inside({centre, character.top() - Gap - size.height()})
               // Diagonally off each corner: where the window is too large
               // to stand beside the character, it reaches the area's far
               // corner there and covers the least of it.
               << inside({character.right() + 1 + Gap, character.bottom() + 1 + Gap})
               << inside({character.left() - Gap - size.width(), character.bottom() + 1 + Gap})
               << inside({character.right() + 1 + Gap, character.top() - Gap - size.height()})
               << inside({character.left() - Gap - size.width(), character.top() - Gap - size.height()});
    }
    if (places.isEmpty())
        return preferred.value_or(area.topLeft());
    const auto covers = [&](QPoint p, const QRect &r) { return !r.isEmpty() && QRect(p, size).intersects(r); };
    for (const QPoint p : places) {
        if (covers(p, character))
            continue;
        if (std::none_of(avoid.begin(), avoid.end(), [&](const QRect &r) { return covers(p, r); }))
            return p;
    }
    // None clear of both: the first clear of the character, else the one
    // that hides the least of the window under it.
    const auto hidden = [&](QPoint p) {
        const QRect both = QRect(p, size).intersected(character);
        return both.isEmpty() ? qint64(0) : qint64(both.width()) * both.height();
    };
    QPoint least = places.first();
    for (const QPoint p : places) {
        if (hidden(p) < hidden(least))
            least = p;
    }
    return least;
}

namespace {

// The length a window `length` long is cut to so that it fits, Gap pixels
// away, on the larger of the two stretches of the area beside the
// character (`before` and `after` it): nothing where it fits already or
// would have to be shorter than `minimum`.
std::optional<int> lengthBeside(int length, int minimum, int before, int after)
{
    const int room = std::max(before, after) - Gap;
    if (room < length && room >= minimum)
        return room;
    return std::nullopt;
}

} // namespace

std::optional<int> widthBeside(const QSize &size, int minimumWidth, const QRect &area, const QRect &character)
{
    if (character.isEmpty())
        return std::nullopt;
    return lengthBeside(size.width(), minimumWidth, character.left() - area.left(), area.right() - character.right());
}

std::optional<int> heightBeside(const QSize &size, int minimumHeight, const QRect &area, const QRect &character)
{
    if (character.isEmpty())
        return std::nullopt;
    return lengthBeside(size.height(), minimumHeight, character.top() - area.top(), area.bottom() - character.bottom());
}

bool Covered::operator<(const Covered &o) const
{
    return std::tie(worked, captions, read, window) < std::tie(o.worked, o.captions, o.read, o.window);
}

Covered coveredBy(const QRect &at, const QRect &window, const WindowParts &parts)
{
    const auto area = [&at](const QRect &r) {
        const QRect both = at.intersected(r);
        return both.isEmpty() ? qint64(0) : qint64(both.width()) * both.height();
    };
    const auto sum = [&](const QList<QRect> &rects) {
        qint64 total = 0;
        for (const QRect &r : rects)
            total += area(r);
        return total;
    };
    return {sum(parts.worked), sum(parts.captions), sum(parts.read), area(window) + sum(parts.windows)};
}

QPoint asideOf(const QRect &character, const QRect &window, const WindowParts &parts, const QRect &screen)
{
    const QSize size = character.size();
    if (size.isEmpty() || !screen.isValid())
        return character.topLeft();
    // The places worth trying along each axis: the screen's edges, each
    // side of the window and of its parts, where the character stands, and
    // every few pixels between.
    const auto along = [](int from, int to, int step, const QList<int> &edges) {
        QList<int> out;
        for (int v = from; v < to; v += step)
            out << v;
        out << to;
        for (int v : edges)
            out << std::clamp(v, from, std::max(from, to));
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    };
    QList<int> xEdges{character.left(), window.left() - Gap - size.width(), window.right() + 1 + Gap};
    QList<int> yEdges{character.top(), window.top() - Gap - size.height(), window.bottom() + 1 + Gap};
    for (const QList<QRect> *list : {&parts.worked, &parts.captions, &parts.read, &parts.windows}) {
        for (const QRect &r : *list) {
            xEdges << r.left() - size.width() << r.right() + 1;
            yEdges << r.top() - size.height() << r.bottom() + 1;
        }
    }
    constexpr int Step = 8;
    const QList<int> xs = along(screen.left(), screen.right() + 1 - size.width(), Step, xEdges);
    const QList<int> ys = along(screen.top(), screen.bottom() + 1 - size.height(), Step, yEdges);

    struct Cost {
        Covered covered;
        qint64 distance;
        bool operator<(const Cost &o) const
        {
            if (covered < o.covered)
                return true;
            return covered == o.covered && distance < o.distance;
        }
    };
    const auto cost = [&](QPoint p) {
        const QPoint d = p - character.topLeft();
        return Cost{coveredBy(QRect(p, size), window, parts), qint64(d.x()) * d.x() + qint64(d.y()) * d.y()};
    };
    // Where it stands wins among equals: a place no better is not worth the
    // walk, nor one that only frees a margin or the title bar.
    QPoint best = character.topLeft();
    Cost least = cost(best);
    if (least.covered.worked == 0 && least.covered.captions == 0 && least.covered.read == 0)
        return best;
    for (int y : ys) {
        for (int x : xs) {
            const Cost c = cost({x, y});
            if (c < least) {
                least = c;
                best = {x, y};
            }
        }
    }
    return best;
}

} // namespace WindowPlacement

ScreenWatcher::ScreenWatcher(QObject *parent) : QObject(parent)
{
    if (!qGuiApp)
        return;
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenWatcher::changed);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &ScreenWatcher::changed);
}

void ScreenWatcher::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &ScreenWatcher::changed);
    connect(screen, &QScreen::availableGeometryChanged, this, &ScreenWatcher::changed);
}

void ScreenWatcher::changed()
{
    // Qt reports a change of monitors as several signals in a row (the new
    // primary screen, then the old one removed, then areas); the windows are
    // looked at once, after all of them.
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        Q_EMIT screensChanged();
    });
}

ScreenFollower::ScreenFollower(std::function<std::optional<QPoint>()> characterAt, QObject *parent)
    : QObject(parent), m_characterAt(std::move(characterAt))
{
}

namespace {

bool followsCharacter(const QWidget *w)
{
    if (!w->isWindow() || w->windowFlags().testFlag(Qt::FramelessWindowHint))
        return false;
    switch (w->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Tool:
        return true;
    default:
        return false;
    }
}

// Asks for a window's frame at the window's place once more as its native
// window is about to be mapped. As Qt shows a window, it sets the native
// window's place and size anew wherever they differ from the window's (its
// layout made it larger since the native window was made: scaled, a text
// may take a unit or two more), and that request counts the place without
// the frame: the window manager would put the inside where the frame was
// asked to go, the title bar above it, off the screen at its top. Asked
// last, just before the map, the frame's place is the one it reads.
void askFrameWhenMapped(QWidget *window, QWindow *handle)
{
    static constexpr char Asked[] = "kestrovaFrameAskedWhenMapped";
    if (handle->property(Asked).toBool())
        return;
    handle->setProperty(Asked, true);
    auto *once = new QObject(handle);
    QObject::connect(handle, &QWindow::visibleChanged, once, [window = QPointer<QWidget>(window), handle, once](bool visible) {
        if (!visible)
            return;
        handle->setProperty(Asked, false);
        once->deleteLater();
        // (Unframed, a window's place is its frame's.)
        if (window && window->windowHandle() == handle && window->frameGeometry().size() == window->size())
            handle->setFramePosition(window->pos());
    });
}

// Moves the window so that its frame's top left corner is at `to`. Until the
// window manager has framed a window whose native window exists already,
// move() places its inside there, and the title bar would stand above that
// place (off the screen at its top): the window is then asked to place its
// frame, as a window not created yet does, and asked again as it is mapped.
void moveFrame(QWidget *window, QPoint to)
{
    window->move(to);
    QWindow *handle = window->windowHandle();
    if (!handle || !window->testAttribute(Qt::WA_WState_Created) || window->frameGeometry().size() != window->size())
        return;
    handle->setFramePosition(to);
    if (!handle->isVisible())
        askFrameWhenMapped(window, handle);
}

// What the window manager's frame adds to the program's windows: told by
// a shown window of the same kind (not the one to place) that has its frame.
std::optional<QSize> framedAlike(const QWidget *window)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *other : windows) {
        if (other == window || !other->isVisible() || !followsCharacter(other))
            continue;
        // Scaled, each border is told in whole units, rounded: a unit more
        // for each keeps the frame whole on the screen.
        const QSize added = other->frameGeometry().size() - other->size();
        if (added.width() > 0 || added.height() > 0)
            return added + QSize(2, 2);
    }
    return std::nullopt;
}

// A window the character would cover and that cannot be narrowed beside
// it (its tabs need the width), made shorter to stand above or below it at
// its own width, no shorter than it can be (its pages then scroll down):
// where it goes then, its frame being `frame` now.
std::optional<QPoint> shortenedBeside(QWidget *window, const QSize &frame, const QRect &area, const QRect &character)
{
    if (frame.width() > area.width())
        return std::nullopt;
    const QSize added = frame - window->size();
    // Its least height as its layout reckons it (a page that scrolls
    // counts as little as its view can be).
    const int minimum = window->minimumSizeHint().expandedTo(window->minimumSize()).height() + added.height();
    const std::optional<int> height = WindowPlacement::heightBeside(frame, minimum, area, character);
    qCDebug(lcPlacement).noquote() << QStringLiteral("\"%1\" (%2x%3) no shorter than %4: %5")
                                          .arg(window->windowTitle()).arg(frame.width()).arg(frame.height()).arg(minimum)
                                          .arg(height ? QString::number(*height) : QStringLiteral("no room above or below the character"));
    if (!height)
        return std::nullopt;
    const QSize shortened(frame.width(), *height);
    const QPoint middle(area.left() + (area.width() - shortened.width()) / 2,
                        area.top() + (area.height() - shortened.height()) / 2);
    const QPoint to = WindowPlacement::clearOf(shortened, area, character, {}, middle);
    if (QRect(to, shortened).intersects(character))
        return std::nullopt;
    window->resize(window->width(), *height - added.height());
    return to;
}

// A window the character would cover, narrowed to stand beside it where
// it can be (its text wrapping onto more lines still fits the height of
// the area): where it goes then, its frame being `frame` now. Where it
// cannot be, shortened to stand above or below it instead.
std::optional<QPoint> narrowedBeside(QWidget *window, const QSize &frame, const QRect &area, const QRect &character)
{
    const QSize added = frame - window->size();
    int minimum = window->minimumSizeHint().expandedTo(window->minimumSize()).width() + added.width();
    // Its tabs stay whole: a tab strip that would need scroll arrows at
    // the narrower width keeps the window as wide as it is. A strip that
    // draws its tabs closer together where it must tells the least width
    // it takes so.
    if (QLayout *layout = window->layout())
        layout->activate();
    for (const QTabBar *bar : window->findChildren<QTabBar *>()) {
        if (bar->isHidden())
            continue;
        bool told = false;
        const int whole = bar->property(WindowPlacement::WholeTabsWidth).toInt(&told);
        const int tabs = told && whole > 0 ? whole : bar->sizeHint().width();
        minimum = std::max(minimum, tabs + window->width() - bar->width() + added.width());
    }
    const std::optional<int> width = WindowPlacement::widthBeside(frame, minimum, area, character);
    qCDebug(lcPlacement).noquote() << QStringLiteral("\"%1\" (%2x%3) no narrower than %4: %5")
                                          .arg(window->windowTitle()).arg(frame.width()).arg(frame.height()).arg(minimum)
                                          .arg(width ? QString::number(*width) : QStringLiteral("no room beside the character"));
    if (!width)
        return shortenedBeside(window, frame, area, character);
    const int inside = *width - added.width();
    // As tall as it is, within the area with its frame (a window that
    // sized itself to the screen reckoned with a thinner frame), and never
    // shorter than its wrapped texts need at the narrower width.
    const int kept = std::min(window->height(), area.height() - added.height());
    const int height = window->hasHeightForWidth() ? std::max(window->heightForWidth(inside), kept) : window->height();
    const QSize narrowed = QSize(inside, height) + added;
    if (narrowed.height() > area.height())
        return std::nullopt;
    const QPoint middle(area.left() + (area.width() - narrowed.width()) / 2,
                        area.top() + (area.height() - narrowed.height()) / 2);
    const QPoint to = WindowPlacement::clearOf(narrowed, area, character, {}, middle);
    if (QRect(to, narrowed).intersects(character))
        return std::nullopt;
    window->resize(inside, height);
    return to;
}

} // namespace

namespace {

// A label's text as it is drawn, line by line (an empty label, a picture,
// counts whole). The label is drawn here as on the screen, at its pixel
// ratio: its margin, indent and alignment place the text, and the lines
// may break elsewhere than the font's measures in the label's own units
// say (at a scale of 2 a word may go to the next line, and one more line
// with it).
QList<QRect> textOf(const QLabel *label)
{
    const QRect inside = label->contentsRect();
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())))
        return {inside};
    // (Drawing it changes nothing of it.)
    const QPixmap drawn = const_cast<QLabel *>(label)->grab();
    const QImage image = drawn.toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return {inside};
    const qreal ratio = drawn.devicePixelRatio() > 0 ? drawn.devicePixelRatio() : 1.0;
    const QRgb background = label->palette().color(label->backgroundRole()).rgb() | 0xff000000u;
    // Each band of rows with ink in them, from its leftmost to its
    // rightmost inked pixel: a line (or lines touching).
    QList<QRect> lines;
    int top = -1, left = 0, right = 0;
    const auto close = [&](int bottom) {
        if (top < 0)
            return;
        const QRect inDevice(QPoint(left, top), QPoint(right, bottom));
        const QRect r(QPoint(int(std::floor(inDevice.left() / ratio)), int(std::floor(inDevice.top() / ratio))),
                      QPoint(int(std::ceil((inDevice.right() + 1) / ratio)) - 1,
                             int(std::ceil((inDevice.bottom() + 1) / ratio)) - 1));
        lines << r.intersected(label->rect());
        top = -1;
    };
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int first = -1, last = -1;
        for (int x = 0; x < image.width(); ++x) {
            if ((row[x] | 0xff000000u) != background) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        if (first < 0) {
            close(y - 1);
            continue;
        }
        if (top < 0) {
            top = y;
            left = first;
            right = last;
        } else {
            left = std::min(left, first);
            right = std::max(right, last);
        }
    }
    close(image.height() - 1);
    // Nothing inked (a text of spaces, a colour like the background's):
    // the whole of it, as before it was drawn.
    if (lines.isEmpty())
        return {inside};
    return lines;
}

// A check box's or radio button's box and text: a layout may stretch the
// widget across the page, and the rest of it is empty.
QRect drawnPartOf(const QAbstractButton *button)
{
    const int width = std::min(button->sizeHint().width(), button->width());
    const int left = button->layoutDirection() == Qt::RightToLeft ? button->width() - width : 0;
    return QRect(left, 0, width, button->height());
}

void collectParts(const QWidget *widget, const QPoint &origin, const QRect &seen, WindowPlacement::WindowParts &parts);

// Where a part of a scrolled page may show as the user scrolls it: from
// where it stands now, as far as the page scrolls either way.
QRect sweptBy(const QRect &part, const QAbstractScrollArea *scroll)
{
    const QScrollBar *h = scroll->horizontalScrollBar();
    const QScrollBar *v = scroll->verticalScrollBar();
    return part.adjusted(-(h->maximum() - h->value()), -(v->maximum() - v->value()), h->value() - h->minimum(),
                         v->value() - v->minimum());
}

// The parts of one widget `w` inside a window, on the desktop (it stands
// at `at`), as far as they show within `seen`.
void collectPart(const QWidget *w, const QPoint &at, const QRect &seen, WindowPlacement::WindowParts &parts)
{
    const auto add = [&seen](QList<QRect> &to, const QRect &r) {
        const QRect shown = r.intersected(seen);
        if (!shown.isEmpty())
            to << shown;
    };
    if (const auto *bar = qobject_cast<const QTabBar *>(w)) {
        for (int i = 0; i < bar->count(); ++i)
            add(parts.worked, bar->tabRect(i).translated(at));
    } else if (qobject_cast<const QCheckBox *>(w) || qobject_cast<const QRadioButton *>(w)) {
        add(parts.worked, drawnPartOf(static_cast<const QAbstractButton *>(w)).translated(at));
    } else if (const auto *scroll = qobject_cast<const QScrollArea *>(w)) {
        // A page that scrolls counts by what it holds, and the user
        // scrolls it to reach what lies beyond its view now (its foot, with
        // the buttons that act on it): each of its parts counts wherever
        // the scrolling may bring it into the view.
        const QWidget *view = scroll->viewport();
        const QPoint viewAt = at + view->pos();
        const QRect viewSeen = seen.intersected(QRect(viewAt, view->size()));
        WindowPlacement::WindowParts held;
        constexpr int Far = 1 << 20;
        collectParts(view, viewAt, QRect(viewAt - QPoint(Far, Far), QSize(2 * Far, 2 * Far)), held);
        const auto sweep = [&](const QList<QRect> &from, QList<QRect> &to) {
            for (const QRect &r : from) {
                const QRect shown = sweptBy(r, scroll).intersected(viewSeen);
                if (!shown.isEmpty())
                    to << shown;
            }
        };
        sweep(held.worked, parts.worked);
        sweep(held.captions, parts.captions);
        sweep(held.read, parts.read);
        // Its scroll bars and whatever else it holds beside the view.
        const QRect areaSeen = seen.intersected(QRect(at, w->size()));
        for (const QObject *child : w->children()) {
            const auto *c = qobject_cast<const QWidget *>(child);
            if (c && c != view && !c->isWindow() && !c->isHidden())
                collectPart(c, at + c->pos(), areaSeen, parts);
        }
    } else if (qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w)
               || qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
               || qobject_cast<const QAbstractSlider *>(w) || qobject_cast<const QAbstractScrollArea *>(w)) {
        add(parts.worked, QRect(at, w->size()));
    } else if (const auto *label = qobject_cast<const QLabel *>(w)) {
        // A field's caption comes next after the controls: without it
        // the user cannot tell which field is which.
        QList<QRect> &to = label->buddy() && !label->buddy()->isHidden() ? parts.captions : parts.read;
        for (const QRect &line : textOf(label))
            add(to, line.translated(at));
    } else if (const auto *status = qobject_cast<const QStatusBar *>(w)) {
        // Its message, at its start (and whatever it holds besides);
        // the rest of the bar is empty.
        if (!status->currentMessage().isEmpty()) {
            const QFontMetrics metrics = status->fontMetrics();
            const int width = metrics.horizontalAdvance(status->currentMessage()) + 2 * metrics.averageCharWidth();
            add(parts.read, QRect(at, QSize(std::min(width, status->width()), status->height())));
        }
        collectParts(w, at, seen.intersected(QRect(at, w->size())), parts);
    } else if (w->focusPolicy() != Qt::NoFocus && w->findChildren<QWidget *>().isEmpty()) {
        // A control drawn of its own.
        add(parts.worked, QRect(at, w->size()));
    } else {
        collectParts(w, at, seen.intersected(QRect(at, w->size())), parts);
    }
}

// The parts inside `widget`, on the desktop (it stands at `origin`), as far
// as they show within `seen` (a scrolled page's are cut by its view).
void collectParts(const QWidget *widget, const QPoint &origin, const QRect &seen, WindowPlacement::WindowParts &parts)
{
    for (const QObject *child : widget->children()) {
        const auto *w = qobject_cast<const QWidget *>(child);
        if (!w || w->isWindow() || w->isHidden())
            continue;
        collectPart(w, origin + w->pos(), seen, parts);
    }
}

// The window's frame, or where it will be while the window manager has not
// framed it yet.
bool framed(const QWidget *window)
{
    // (Just after it is shown, a window may report an empty frame.)
    const QRect frame = window->frameGeometry();
    return frame.contains(window->geometry()) && frame.size() != window->size();
}

QRect frameOf(const QWidget *window)
{
    if (framed(window))
        return window->frameGeometry();
    // Asked for, its frame's corner is where the window stands until then.
    return QRect(window->pos(), window->size() + framedAlike(window).value_or(QSize(2 * 4, 30 + 4)));
}

} // namespace

namespace {
const char WatchedPages[] = "kestrovaStepsAsideOnPages";
// Set on a window placed clear of the character, until it has been moved
// clear again once.
const char PlacedClear[] = "kestrovaPlacedClear";
} // namespace

WindowPlacement::WindowParts ScreenFollower::partsOf(const QWidget *window)
{
    WindowPlacement::WindowParts parts;
    if (!window)
        return parts;
    // Where the window stands as its frame says: the display server may
    // not have it there yet while the window manager has a move to make
    // (and would tell the place it had before).
    const QPoint origin = window->isWindow() ? window->geometry().topLeft() : window->mapToGlobal(QPoint(0, 0));
    collectParts(window, origin, QRect(origin, window->size()), parts);
    return parts;
}

bool ScreenFollower::isFramedWindow(const QWidget *widget)
{
    return widget && followsCharacter(widget);
}

WindowPlacement::WindowParts ScreenFollower::partsOfOpenWindows(const QWidget *except)
{
    WindowPlacement::WindowParts parts;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *other : windows) {
        if (other == except || !other->isVisible() || other->isMinimized() || !followsCharacter(other))
            continue;
        const WindowPlacement::WindowParts its = partsOf(other);
        parts.worked << its.worked;
        parts.captions << its.captions;
        parts.read << its.read;
        parts.windows << frameOf(other);
    }
    return parts;
}

void ScreenFollower::stepAsideFrom(QWidget *window) const
{
    if (!window || !window->isVisible() || !m_stepAside || !m_characterArea)
        return;
    const std::optional<QRect> character = m_characterArea();
    if (!character || character->isEmpty())
        return;
    const QRect frame = frameOf(window);
    if (!frame.intersects(*character))
        return;
    const QScreen *screen = QGuiApplication::screenAt(character->center());
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    // Clear of this window's parts and, as far as it can be, of the other
    // windows the user has open.
    WindowPlacement::WindowParts parts = partsOf(window);
    // (What of them lies under this window, opened last, is hidden anyway.)
    const WindowPlacement::WindowParts others = partsOfOpenWindows(window);
    const auto shown = [&frame](const QList<QRect> &rects, QList<QRect> &to) {
        for (const QRect &r : rects) {
            const QRegion seen = QRegion(r).subtracted(frame);
            for (const QRect &part : seen)
                to << part;
        }
    };
    shown(others.worked, parts.worked);
    shown(others.captions, parts.captions);
    shown(others.read, parts.read);
    shown(others.windows, parts.windows);
    const QPoint to = WindowPlacement::asideOf(*character, frame, parts, screen->geometry());
    qCDebug(lcPlacement).noquote() << QStringLiteral("\"%1\" (%2 %3 %4x%5, %6 parts) under the character at %7 %8: to %9 %10")
                                          .arg(window->windowTitle()).arg(frame.x()).arg(frame.y()).arg(frame.width())
                                          .arg(frame.height()).arg(parts.worked.size() + parts.captions.size() + parts.read.size())
                                          .arg(character->x()).arg(character->y()).arg(to.x()).arg(to.y());
    if (to != character->topLeft()) {
        m_stepAside(window, to);
        return;
    }
    // Only an edge of it (a title bar taller than reckoned before it was
    // framed, or a window grown since) lies under the character: a window
    // this program placed clear of it moves clear again, as little as it can.
    if (!window->property(PlacedClear).toBool())
        return;
    window->setProperty(PlacedClear, false);
    const QRect area = screen->availableGeometry();
    const QList<QPoint> nudges{{frame.left(), character->bottom() + 1 + WindowPlacement::Gap},
                               {frame.left(), character->top() - WindowPlacement::Gap - frame.height()},
                               {character->right() + 1 + WindowPlacement::Gap, frame.top()},
                               {character->left() - WindowPlacement::Gap - frame.width(), frame.top()}};
    std::optional<QPoint> nearest;
    for (const QPoint &p : nudges) {
        const QRect moved(p, frame.size());
        if (!area.contains(moved) || moved.intersects(*character))
            continue;
        if (!nearest || (p - frame.topLeft()).manhattanLength() < (*nearest - frame.topLeft()).manhattanLength())
            nearest = p;
    }
    if (!nearest)
        return;
    qCDebug(lcPlacement).noquote() << QStringLiteral("\"%1\" moved clear of the character: to %2 %3")
                                          .arg(window->windowTitle()).arg(nearest->x()).arg(nearest->y());
    moveFrame(window, *nearest);
}


void ScreenFollower::stepAsideOnceFramed(QWidget *window, int tries)
{
    // The window manager frames a window a moment after it is mapped (some
    // never do): until then neither its frame nor its parts are where the
    // user will see them.
    QTimer::singleShot(tries == FramingTries ? 0 : FramingWaitMs, this, [this, tries, w = QPointer<QWidget>(window)] {
        if (!w || !w->isVisible())
            return;
        if (!framed(w) && tries > 0) {
            stepAsideOnceFramed(w, tries - 1);
            return;
        }
        stepAsideFrom(w);
        // Another page brings other parts: they are looked at again.
        for (QTabBar *tabs : w->findChildren<QTabBar *>()) {
            if (tabs->property(WatchedPages).toBool())
                continue;
            tabs->setProperty(WatchedPages, true);
            connect(tabs, &QTabBar::currentChanged, this, [this, w] {
                QTimer::singleShot(0, this, [this, w] { stepAsideFrom(w); });
            });
        }
    });
}

void ScreenFollower::place(QWidget *window) const
{
    if (!window || !followsCharacter(window) || !m_characterAt)
        return;
    const std::optional<QPoint> at = m_characterAt();
    if (!at)
        return;
    const QScreen *characterScreen = QGuiApplication::screenAt(*at);
    if (!characterScreen)
        return;
    // A window that was moved is where its frame says; one that was not
    // appears on the screen Qt gives it.
    const bool placedByWindow = window->testAttribute(Qt::WA_Moved);
    if (!placedByWindow && m_characterArea) {
        // Not placed by the program: in the middle of the character's
        // screen, where the window manager might otherwise put it in a
        // corner or under the character. Before the window is mapped its
        // frame is not known yet: that of another window the window
        // manager has framed stands in, else a usual title bar and border.
        const QRect area = characterScreen->availableGeometry();
        QSize size = window->frameGeometry().size();
        if (size == window->size())
            size += framedAlike(window).value_or(QSize(2 * 4, 30 + 4));
        const QPoint middle(area.left() + (area.width() - size.width()) / 2,
                            area.top() + (area.height() - size.height()) / 2);
        const QRect character = m_characterArea().value_or(QRect());
        QPoint to = WindowPlacement::clearOf(size, area, character, {}, middle);
        const QSize added = size - window->size();
        if (QRect(to, size).intersects(character))
            to = narrowedBeside(window, size, area, character).value_or(to);
        moveFrame(window, to);
        // Clear of it as it stands now, narrowed or shortened.
        window->setProperty(PlacedClear, !QRect(to, window->size() + added).intersects(character));
        return;
    }
    const QRect frame = window->frameGeometry();
    const QScreen *windowScreen = placedByWindow ? QGuiApplication::screenAt(frame.center()) : window->screen();
    if (!windowScreen)
        windowScreen = QGuiApplication::primaryScreen();
    if (windowScreen == characterScreen)
        return;
    const QPoint to = WindowPlacement::placedAt(frame, windowScreen ? windowScreen->availableGeometry() : QRect(),
                                                characterScreen->availableGeometry(), placedByWindow);
    if (to != frame.topLeft())
        moveFrame(window, to);
}

bool ScreenFollower::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() != QEvent::Show && event->type() != QEvent::Hide) || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    auto *window = static_cast<QWidget *>(watched);
    if (event->type() == QEvent::Hide) {
        if (m_windowGone && followsCharacter(window))
            m_windowGone(window);
    } else {
        place(window);
        // Once it is laid out and where it goes: if it still lies under
        // the character, the character steps aside.
        if (m_stepAside && followsCharacter(window))
            stepAsideOnceFramed(window, FramingTries);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrova
