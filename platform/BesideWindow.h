#pragma once

// Where the character stands to talk about one of the program's windows:
// beside it, and on none of the program's other windows' controls.

#include "WindowPlacement.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestrova {

namespace WindowPlacement {

// The place for a character of `size` beside the window `frame`, on
// `screen`, starting from `preferred` (where it goes when nothing is in the
// way). Where a character there would cover any of `others` (the parts and
// frames of the program's other open windows) the place along the window's
// sides, above or below it, that covers the least of them, in the order
// coveredBy counts, and then lies nearest `preferred`. Places that would
// lie over the window itself are taken only where there is no other.
QPoint besideClearOf(const QRect &frame, QPoint preferred, QSize size, const QRect &screen, const WindowParts &others);

} // namespace WindowPlacement

} // namespace kestrova
