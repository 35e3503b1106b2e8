#pragma once

#include <QPoint>

namespace kestrova {

// Where the mouse pointer is, in screen pixels.
class MousePointer {
public:
    virtual ~MousePointer() = default;
    virtual QPoint position() const = 0;
};

} // namespace kestrova
