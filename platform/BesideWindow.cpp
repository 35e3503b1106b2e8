#include "BesideWindow.h"

#include <QList>

#include <algorithm>
#include <tuple>

namespace kestrova::WindowPlacement {

namespace {

bool coversNothing(const Covered &c)
{
    return c.worked == 0 && c.captions == 0 && c.read == 0 && c.window == 0;
}

} // namespace

QPoint besideClearOf(const QRect &frame, QPoint preferred, QSize size, const QRect &screen, const WindowParts &others)
{
    if (size.isEmpty() || !screen.isValid())
        return preferred;
    const auto covered = [&](QPoint p) { return coveredBy(QRect(p, size), QRect(), others); };
    if (coversNothing(covered(preferred)))
        return preferred;

    const int maxX = std::max(screen.left(), screen.right() + 1 - size.width());
    const int maxY = std::max(screen.top(), screen.bottom() + 1 - size.height());
    const auto onScreen = [&](int x, int y) { return QPoint(std::clamp(x, screen.left(), maxX), std::clamp(y, screen.top(), maxY)); };
    // The places along each side, every few pixels, and those lined up with
    // an edge of something in the way.
    constexpr int Step = 8;
    QList<int> ys, xs;
    for (int y = frame.top() - size.height(); y <= frame.bottom() + 1; y += Step)
        ys << y;
    for (int x = frame.left() - size.width(); x <= frame.right() + 1; x += Step)
        xs << x;
    for (const QList<QRect> *list : {&others.worked, &others.captions, &others.read, &others.windows}) {
        for (const QRect &r : *list) {
            ys << r.top() - size.height() << r.bottom() + 1;
            xs << r.left() - size.width() << r.right() + 1;
        }
    }
    QList<QPoint> places;
    for (int y : ys)
        if (y >= frame.top() - size.height() && y <= frame.bottom() + 1)
            places << onScreen(frame.right() + 1, y) << onScreen(frame.left() - size.width(), y);
    for (int x : xs)
        if (x >= frame.left() - size.width() && x <= frame.right() + 1)
            places << onScreen(x, frame.bottom() + 1) << onScreen(x, frame.top() - size.height());

    struct Cost {
        bool overWindow;
        Covered covered;
        qint64 distance;
        bool operator<(const Cost &o) const
        {
            if (overWindow != o.overWindow)
                return !overWindow;
            if (covered < o.covered)
                return true;
            return covered == o.covered && distance < o.distance;
        }
    };
    const auto cost = [&](QPoint p) {
        const QPoint d = p - preferred;
        return Cost{QRect(p, size).intersects(frame), covered(p), qint64(d.x()) * d.x() + qint64(d.y()) * d.y()};
    };
    QPoint best = preferred;
    Cost least = cost(preferred);
    for (const QPoint &p : places) {
        const Cost c = cost(p);
        if (c < least) {
            least = c;
            best = p;
        }
    }
    return best;
}

} // namespace kestrova::WindowPlacement
