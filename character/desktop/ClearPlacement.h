#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestrova::character {

// About what a window manager's frame adds to a window not shown yet: its
// borders and title bar.
inline constexpr QSize FrameAllowance(16, 40);

// Where a window of `size` (its frame) goes on the screen area `area` so
// that it does not cover the character at `character`: in the middle when
// that is clear of it, otherwise beside the character on the side with
// the most room (left, right, above or below), always inside the area. With
// no side clear, the place that covers the least of the character.
QPoint placeClearOf(const QSize &size, const QRect &character, const QRect &area);

// The size, narrowed (down to `minimum`) where that lets a window that
// would cover the character stand beside it instead.
QSize sizeClearOf(const QSize &size, const QSize &minimum, const QRect &character, const QRect &area);

} // namespace kestrova::character
