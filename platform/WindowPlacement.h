#pragma once

// Windows appear on the screen where the character is. Nothing is
// remembered: each time a window is shown, it is looked at afresh.

#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>

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

} // namespace WindowPlacement

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<std::optional<QPoint>()> m_characterAt;
};

} // namespace kestrova
