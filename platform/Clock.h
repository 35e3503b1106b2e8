#pragma once

#include "Timers.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace kestrova {

// A wake-up at a moment of the wall clock itself. Unlike the program's
// timers it counts the time the machine was suspended, and it wakes its
// owner at once, with clockSet true, when the clock is set (forward or
// back): the moment its owner waits for may have come, or moved.
class WallTimer {
public:
    virtual ~WallTimer() = default;
    virtual void start(const QDateTime &when) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// The present moment, as the program reads it. Tests set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // A wake-up on this clock calling onWake; none where the clock has no
    // such wake-up of its own.
    virtual std::unique_ptr<WallTimer> wallTimer(std::function<void(bool clockSet)> onWake) const
    {
        Q_UNUSED(onWake);
        return nullptr;
    }
};

// The system's wall clock: the kernel's wake-up on it, or none where the
// kernel gives none.
std::unique_ptr<WallTimer> systemWallTimer(std::function<void(bool clockSet)> onWake);

// A wake-up at one moment of the clock: a watch schedules only its next due
// time and sleeps until then, instead of looking at the clock every second.
// Scheduling again replaces the moment before. It sleeps on the clock's own
// wake-up, which keeps wall-clock time through a suspend and calls the
// owner at once when the clock is set, so the owner looks again (an alarm
// that rang may ring again after the clock was set back before it). Beside
// it, it sleeps on the program's timers at most an hour at a time and looks
// at the clock again, for a clock without a wake-up of its own. Tests give
// it their own timers and clock, and may move the clock apart from them.
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
    void wallWoken(bool clockSet);
    const Clock &m_clock;
    std::function<void()> m_due;
    QDateTime m_when;
    std::unique_ptr<Timer> m_timer;
    std::unique_ptr<WallTimer> m_wall;
};

} // namespace kestrova
