#pragma once

#include "Timers.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace kestrova {

// The present moment, as the program reads it. Tests set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// A wake-up at one moment of the clock: a watch schedules only its next due
// time and sleeps until then, instead of looking at the clock every second.
// Scheduling again replaces the moment before. It sleeps on the program's
// timers at most an hour at a time and looks at the clock again, so a clock
// that jumps (a suspended machine, a change of the time) is caught up within
// the hour, or at once when the jump passed the moment. Tests give it their
// own timers and clock and move both on.
class WakeUp {
public:
    WakeUp(const Clock &clock, Timers &timers, std::function<void()> due);
    void schedule(const QDateTime &when);
    void cancel();
    bool scheduled() const { return m_when.isValid(); }
    // The moment it sleeps until; invalid while nothing is scheduled.
    const QDateTime &when() const { return m_when; }

private:
    void sleep();
    void woken();
    const Clock &m_clock;
    std::function<void()> m_due;
    QDateTime m_when;
    std::unique_ptr<Timer> m_timer;
};

} // namespace kestrova
