#include "Clock.h"

namespace kestrova {

WakeUp::WakeUp(const Clock &clock, Timers &timers, std::function<void()> due)
    : m_clock(clock), m_due(std::move(due)), m_timer(timers.timer([this] { woken(); }))
{
}

void WakeUp::woken()
{
    if (!m_when.isValid())
        return;
    if (m_clock.now() >= m_when) {
        m_when = QDateTime();
        m_due();
    } else {
        sleep();
    }
}

void WakeUp::schedule(const QDateTime &when)
{
    m_when = when;
    sleep();
}

void WakeUp::cancel()
{
    m_when = QDateTime();
    m_timer->stop();
}

void WakeUp::sleep()
{
    constexpr qint64 Hour = 60 * 60 * 1000;
    const qint64 ms = qBound<qint64>(0, m_clock.now().msecsTo(m_when), Hour);
    // A few milliseconds late rather than early: the timer may wake a
    // little before its time, which would only cost another sleep.
    m_timer->start(int(ms) + (ms > 0 ? 5 : 0));
}

} // namespace kestrova
