#include "Movement.h"

#include "CharacterRef.h"
#include "IntegerText.h"
#include "MousePointer.h"
#include "SettingsStore.h"

#include <cmath>
#include <optional>

namespace kestrova {

namespace {

const QString App = QStringLiteral("Kestrova");

// twips / 20 + 70 as a 16-bit integer, a half rounded to the even one;
// nothing when it does not fit.
std::optional<qint16> twipsBeside(qint16 twips)
{
    const double pixels = std::nearbyint(twips / 20.0 + 70.0); // ties to even
    if (pixels < -32768 || pixels > 32767)
        return std::nullopt;
    return qint16(pixels);
}

bool fits16(int v) { return v >= -32768 && v <= 32767; }

} // namespace

void Movement::LoadRestPosition(const SettingsStore &settings)
{
    convertInto(settings.read(App, QStringLiteral("Rest"), QStringLiteral("X")), &RestX);
    convertInto(settings.read(App, QStringLiteral("Rest"), QStringLiteral("Y")), &RestY);
}

void Movement::MoveToRest(character::CharacterRef &agent) const
{
    agent.MoveTo(RestX, RestY);
}

void Movement::MoveToTarget(character::CharacterRef &agent)
{
    if (const auto y = twipsBeside(TargetY))
        TargetY = *y;
    if (const auto x = twipsBeside(TargetX))
        TargetX = *x;
    agent.MoveTo(TargetX, TargetY);
}

void Movement::MoveToMouse(character::CharacterRef &agent, const MousePointer &pointer) const
{
    const QPoint p = pointer.position();
    if (fits16(p.x() - 70) && fits16(p.y()))
        agent.MoveTo(p.x() - 70, p.y());
}

void Movement::GestureAtMouse(character::CharacterRef &agent, const MousePointer &pointer) const
{
    const QPoint p = pointer.position();
    if (fits16(p.x()) && fits16(p.y()))
        agent.GestureAt(p.x(), p.y());
}

} // namespace kestrova
