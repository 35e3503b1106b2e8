#pragma once

// Windows appear on the screen where the character is. Nothing is
// remembered: each time a window is shown, it is looked at afresh.

#include <QObject>
#include <QProcessEnvironment>
#include <QPoint>
#include <QList>
#include <QRect>

#include <functional>
#include <optional>

class QScreen;
class QWidget;

namespace kestrova {

namespace WindowPlacement {

// Where a window of frame `frame` goes, given the available area of the
// screen it would appear on and that of the character's screen. On the same
// screen it stays where it is. On another one, a window that placed itself
// keeps its place relative to the area, carried over to the character's
// screen; any other window is centred there. Either way it is kept inside
// the area as far as its size allows.
QPoint placedAt(const QRect &frame, const QRect &windowArea, const QRect &characterArea, bool placedByWindow);

// Where a window of frame `frame` goes when the connected screens cover
// `screens` (their whole geometries) and the primary screen's available area
// is `primaryArea`. While a corner of it at least VisibleCorner pixels square
// lies on one of the screens, it stays where it is: the user can reach it and
// drag it back (a character sent beside the pointer at the screen's left
// edge stands partly outside on purpose). Otherwise it is moved onto the
// primary screen, to the place there nearest to where it was.
QPoint keptOnScreens(const QRect &frame, const QList<QRect> &screens, const QRect &primaryArea);
constexpr int VisibleCorner = 32;

// Whether the desktop's window manager tiles its windows (sway, i3): it
// puts every window it manages where its layout says, whatever the window
// asked for. Told by the sockets these window managers announce to their
// programs (SWAYSOCK, I3SOCK) or by XDG_CURRENT_DESKTOP.
bool tilingDesktop(const QProcessEnvironment &environment);

// On a tiling desktop the window manager stretches an ordinary window over
// its tile, the whole screen for the first one: a small window of buttons
// and boxes then stands in a screen of blank. A framed window of the program
// is told to the window manager as a dialog there, and floats at its own
// size as dialogs do. Elsewhere nothing changes.
void floatsOnTilingDesktop(QWidget *window, const QProcessEnvironment &environment);

// Where a window or menu of `size` goes on `area` so that it covers neither
// the character (`character`, may be empty) nor any rectangle of `avoid`
// (the program's other windows): at `preferred` when that is clear, else
// right of the character, left of it, below it, above it or diagonally off
// one of its corners, whichever is clear first. When none is, the first place that leaves the character
// uncovered, else the one that covers the least of it (`preferred` among
// equals); always inside the area as far as the size allows. Each side
// keeps Gap pixels from what it stands beside.
QPoint clearOf(const QSize &size, const QRect &area, const QRect &character, const QList<QRect> &avoid,
               std::optional<QPoint> preferred = std::nullopt);
constexpr int Gap = 8;

// The width to which a window of `size` (its frame), too wide to stand
// beside the character on `area`, is narrowed so that it does, right or
// left of it (whichever has more room), Gap pixels away. Nothing where it
// stands beside it already or would have to be narrower than `minimumWidth`.
std::optional<int> widthBeside(const QSize &size, int minimumWidth, const QRect &area, const QRect &character);

// The same for the height: the height to which a window of `size`, too tall
// to stand above or below the character on `area`, is shortened so that it
// does (on the side with more room), Gap pixels away; nothing where it
// stands so already or would have to be shorter than `minimumHeight`.
std::optional<int> heightBeside(const QSize &size, int minimumHeight, const QRect &area, const QRect &character);

// The property a tab strip that draws its tabs closer together where it
// must (a window narrowed on a small screen) holds: the least width (an
// int) at which its tabs are still whole. Without it, its size hint.
constexpr char WholeTabsWidth[] = "kestrovaWholeTabsWidth";

// What of a window the user works in and reads, on the desktop: buttons,
// fields, lists and tabs (`worked`), the captions naming its fields
// (`captions`), and the texts of its other labels (`read`).
// `windows` holds the frames of the program's other windows open beside
// it (whose own parts are in `worked` and `read` too): what lies over one
// of them hides it as it would the window itself.
struct WindowParts {
    QList<QRect> worked;
    QList<QRect> captions;
    QList<QRect> read;
    QList<QRect> windows;
};

// How much of `parts` a rectangle `at` covers, in the order it matters:
// controls, then captions, then texts, then windows (`window`, may be
// empty, and those of `parts`), in pixels of each.
struct Covered {
    qint64 worked = 0, captions = 0, read = 0, window = 0;
    bool operator==(const Covered &) const = default;
    bool operator<(const Covered &o) const;
};
Covered coveredBy(const QRect &at, const QRect &window, const WindowParts &parts);

// Where the character (its frame `character`) steps to when a window
// (`window`, its frame) has opened under it with no clear place to go: the
// place on `screen`, the character whole on it, that covers the least of
// the window's buttons, fields and tabs, then of its fields' captions, then
// the least of its texts, then
// the least of the window (and of the program's other windows); among
// equals the nearest to where it stands. Where it stands already when
// nowhere is better, or when it covers none of the parts there (a margin,
// the title bar).
QPoint asideOf(const QRect &character, const QRect &window, const WindowParts &parts, const QRect &screen);

} // namespace WindowPlacement

// Reports, once per burst, that the screens changed: one came or went, the
// primary one changed, or one's geometry or available area changed. A
// removed screen's windows have been moved to another by then.
class ScreenWatcher : public QObject {
    Q_OBJECT
public:
    explicit ScreenWatcher(QObject *parent = nullptr);

Q_SIGNALS:
    void screensChanged();

private:
    void watch(QScreen *screen);
    void changed();
    bool m_pending = false;
};

// Watches the program's top-level windows being shown and moves each, before
// it is mapped, onto the character's screen (see placedAt). Windows without a
// frame (the character, its balloon, its prompt) and pop-up menus are left
// alone: they place themselves beside the character or the pointer.
class ScreenFollower : public QObject {
    Q_OBJECT
public:
    // `characterAt` gives a point of the character on the desktop, or
    // nothing while it is not shown.
    explicit ScreenFollower(std::function<std::optional<QPoint>()> characterAt, QObject *parent = nullptr);

    // Places one window now, as when it is shown.
    void place(QWidget *window) const;
    // Where the character stands on the desktop, while it is shown: a
    // window the program did not place itself opens in the middle of the
    // character's screen, clear of the character.
    void setCharacterArea(std::function<std::optional<QRect>()> area) { m_characterArea = std::move(area); }
    // Where a window shown still lies under the character (there was no
    // clear place for it), `stepAside` is told where the character should
    // go (see asideOf); `windowGone` is told when a window is hidden again.
    void setStepAside(std::function<void(QWidget *window, QPoint to)> stepAside,
                      std::function<void(QWidget *window)> windowGone)
    {
        m_stepAside = std::move(stepAside);
        m_windowGone = std::move(windowGone);
    }
    // The window's parts as asideOf takes them, on the desktop.
    static WindowPlacement::WindowParts partsOf(const QWidget *window);
    // The parts of the program's windows the user sees on the desktop (those
    // with a frame, shown and not minimised), `except` left out, with their
    // frames as `windows`.
    static WindowPlacement::WindowParts partsOfOpenWindows(const QWidget *except = nullptr);
    // Whether `widget` is one of those windows (shown or not): a window or
    // dialog with a frame, not the character's own frameless ones nor a menu.
    static bool isFramedWindow(const QWidget *widget);
    // Tells stepAside where to go when the window lies under the character.
    void stepAsideFrom(QWidget *window) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void stepAsideOnceFramed(QWidget *window, int tries);
    static constexpr int FramingTries = 10;
    static constexpr int FramingWaitMs = 50;

    std::function<std::optional<QPoint>()> m_characterAt;
    std::function<std::optional<QRect>()> m_characterArea;
    std::function<void(QWidget *, QPoint)> m_stepAside;
    std::function<void(QWidget *)> m_windowGone;
};

} // namespace kestrova
