#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

namespace kestrova {

// The present moment, as the program reads it. Tests set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// A wake-up at one moment of the clock: a watch schedules only its next due
// time and sleeps until then, instead of looking at the clock every second.
// Scheduling again replaces the moment before. Tests replace it with one they
// fire themselves after setting their clock.
class WakeUp : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void schedule(const QDateTime &when) = 0;
    virtual void cancel() = 0;

Q_SIGNALS:
    void due();
};

// The real wake-up: a timer against the clock. It sleeps at most an hour at
// a time and looks again, so a clock that jumps (a suspended machine, a
// change of the time) is caught up within the hour, or at once when the
// jump passed the moment.
class TimerWakeUp final : public WakeUp {
    Q_OBJECT
public:
    explicit TimerWakeUp(const Clock &clock, QObject *parent = nullptr);
    void schedule(const QDateTime &when) override;
    void cancel() override;
    bool scheduled() const { return m_when.isValid(); }

private:
    void sleep();
    const Clock &m_clock;
    QTimer m_timer;
    QDateTime m_when;
};

} // namespace kestrova
