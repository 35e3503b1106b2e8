#include "Clock.h"

namespace kestrova {

TimerWakeUp::TimerWakeUp(const Clock &clock, QObject *parent) : WakeUp(parent), m_clock(clock)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_when.isValid())
            return;
        if (m_clock.now() >= m_when) {
            m_when = QDateTime();
            Q_EMIT due();
        } else {
            sleep();
        }
    });
}

void TimerWakeUp::schedule(const QDateTime &when)
{
    m_when = when;
    sleep();
}

void TimerWakeUp::cancel()
{
    m_when = QDateTime();
    m_timer.stop();
}

void TimerWakeUp::sleep()
{
    constexpr qint64 Hour = 60 * 60 * 1000;
    const qint64 ms = qBound<qint64>(0, m_clock.now().msecsTo(m_when), Hour);
    // A few milliseconds late rather than early: the timer may wake a
    // little before its time, which would only cost another sleep.
    m_timer.start(int(ms) + (ms > 0 ? 5 : 0));
}

} // namespace kestrova
