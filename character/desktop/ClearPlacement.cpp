#include "ClearPlacement.h"

#include <algorithm>

namespace kestrova::character {

namespace {

// The gap left between the window and the character.
constexpr int Gap = 12;

QPoint inside(QPoint at, const QSize &size, const QRect &area)
{
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height())));
    return at;
}

qint64 covered(const QPoint &at, const QSize &size, const QRect &character)
{
    const QRect both = QRect(at, size).intersected(character);
    return both.isEmpty() ? 0 : qint64(both.width()) * both.height();
}

} // namespace

QPoint placeClearOf(const QSize &size, const QRect &character, const QRect &area)
{
    const QPoint middle = inside(area.center() - QPoint(size.width() / 2, size.height() / 2), size, area);
    if (!character.isValid() || covered(middle, size, character) == 0)
        return middle;
    struct Side {
        int room;
        QPoint at;
    };
    Side sides[] = {
        {character.left() - area.left(), {character.left() - Gap - size.width(), middle.y()}},
        {area.right() - character.right(), {character.right() + 1 + Gap, middle.y()}},
        {character.top() - area.top(), {middle.x(), character.top() - Gap - size.height()}},
        {area.bottom() - character.bottom(), {middle.x(), character.bottom() + 1 + Gap}},
    };
    std::stable_sort(std::begin(sides), std::end(sides), [](const Side &a, const Side &b) { return a.room > b.room; });
    QPoint best = middle;
    qint64 least = covered(middle, size, character);
    for (const Side &side : sides) {
        const QPoint at = inside(side.at, size, area);
        const qint64 c = covered(at, size, character);
        if (c < least) {
            least = c;
            best = at;
        }
        if (c == 0)
            break;
    }
    return best;
}

QSize sizeClearOf(const QSize &size, const QSize &minimum, const QRect &character, const QRect &area)
{
    const QPoint at = placeClearOf(size, character, area);
    if (!character.isValid() || covered(at, size, character) == 0)
        return size;
    const int beside = std::max(character.left() - area.left(), area.right() - character.right()) - Gap;
    if (beside >= minimum.width() && beside < size.width())
        return QSize(beside, size.height());
    return size;
}

} // namespace kestrova::character
