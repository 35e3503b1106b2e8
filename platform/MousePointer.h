#pragma once

#include <QPoint>

#include <optional>

namespace kestrova {

// Where the mouse pointer is, in screen pixels.
class MousePointer {
public:
    virtual ~MousePointer() = default;
    // The last place the program was told of.
    virtual QPoint position() const = 0;
    // Where the pointer is now, or nothing where the desktop does not tell
    // this program: under XWayland the pointer's place is known only while
    // it is over an X window, and the last such place is kept when it
    // leaves them.
    virtual std::optional<QPoint> seen() const { return position(); }
};

} // namespace kestrova
