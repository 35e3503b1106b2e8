#include "Idling.h"

#include <algorithm>

namespace kestrova::character {

Idling::Idling(Timers &timers, Hooks hooks)
    : m_timers(timers), m_hooks(std::move(hooks)), m_timer(timers.timer([this] { fire(); })),
      m_activeAt(timers.elapsedMs())
{
}

void Idling::setTiming(const Timing &timing)
{
    m_timing = timing;
    if (m_timer->isActive())
        schedule();
}

int Idling::level() const
{
    const qint64 alone = m_timers.elapsedMs() - m_activeAt;
    return alone >= m_timing.levelThreeAfterMs ? 3 : alone >= m_timing.levelTwoAfterMs ? 2 : 1;
}

void Idling::userActive()
{
    m_activeAt = m_timers.elapsedMs();
    m_timer->stop();
}

void Idling::stop()
{
    m_timer->stop();
}

void Idling::schedule()
{
    if (!m_hooks.free()) {
        m_timer->stop();
        return;
    }
    const int level = this->level() - 1;
    const int low = std::max(1, m_timing.minMs[level]);
    const int high = std::max(low, m_timing.maxMs[level]);
    // In steps of a tenth of the range: the pick takes a count of choices.
    const int step = m_hooks.pick(11);
    m_timer->start(low + (high - low) * step / 10);
}

void Idling::fire()
{
    if (!m_hooks.free())
        return; // whatever runs schedules the next one when it ends
    if (m_hooks.settling()) {
        // Still coming back to rest from something: a little later.
        m_timer->start(1000);
        return;
    }
    m_hooks.play(level());
}

} // namespace kestrova::character
