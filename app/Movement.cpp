#include "Movement.h"

#include "BesideWindow.h"

#include "CharacterRef.h"
#include "IntegerText.h"
#include "MousePointer.h"
#include "SettingsStore.h"

#include <algorithm>
#include <optional>

namespace kestrova {

namespace {

const QString App = QStringLiteral("Kestrova");

bool fits16(int v) { return v >= -32768 && v <= 32767; }

} // namespace

void Movement::LoadRestPosition(const SettingsStore &settings)
{
    convertStoredInto(settings.read(App, QStringLiteral("Rest"), QStringLiteral("X")), &RestX, QStringLiteral("Rest/X"));
    convertStoredInto(settings.read(App, QStringLiteral("Rest"), QStringLiteral("Y")), &RestY, QStringLiteral("Rest/Y"));
}

void Movement::MoveToRest(character::CharacterRef &agent) const
{
    agent.MoveTo(RestX, RestY);
}

std::optional<QPoint> Movement::besideWindow(const QRect &frame, const QRect &screen, QSize size,
                                             const WindowPlacement::WindowParts &others)
{
    int x = frame.x() + frame.width();
    if (x + size.width() > screen.x() + screen.width())
        x = frame.x() - size.width();
    x = std::clamp(x, screen.x(), std::max(screen.x(), screen.x() + screen.width() - size.width()));
    const int y = std::clamp(frame.y(), screen.y(), std::max(screen.y(), screen.y() + screen.height() - size.height()));
    const QPoint at = WindowPlacement::besideClearOf(frame, QPoint(x, y), size, screen, others);
    if (!fits16(at.x()) || !fits16(at.y()))
        return std::nullopt;
    return at;
}

character::Request Movement::MoveToTarget(character::CharacterRef &agent, const QRect &frame, const QRect &screen,
                                          QSize size, const WindowPlacement::WindowParts &others)
{
    const std::optional<QPoint> at = besideWindow(frame, screen, size, others);
    if (!at)
        return {};
    TargetX = qint16(at->x());
    TargetY = qint16(at->y());
    return agent.MoveTo(TargetX, TargetY);
}

void Movement::MoveToMouse(character::CharacterRef &agent, const MousePointer &pointer) const
{
    // Where the desktop keeps the pointer's place from the program, the
    // character says so rather than going where the pointer was long ago.
    const std::optional<QPoint> p = pointer.seen();
    if (!p)
        agent.Speak(QString::fromUtf8(PointerUnseen));
    else if (fits16(p->x() - 70) && fits16(p->y()))
        agent.MoveTo(p->x() - 70, p->y());
}

void Movement::GestureAtMouse(character::CharacterRef &agent, const MousePointer &pointer) const
{
    const std::optional<QPoint> p = pointer.seen();
    if (p && fits16(p->x()) && fits16(p->y()))
        agent.GestureAt(p->x(), p->y());
}

} // namespace kestrova
