#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

namespace kestrova {

// One single-shot wake-up: armed for a time from now, it calls its owner's
// function once when that time comes, unless stopped or armed again first.
// Letting it go stops it.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void start(int ms) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    // Milliseconds until it fires; -1 when it is not armed.
    virtual int remainingTime() const = 0;
};

// Where a part of the program takes its sense of passing time from: a
// steady count of milliseconds (never set back, unlike the time of day) and
// wake-ups on that count. A part keeps only its next due time armed; nothing
// polls. The program's timers run on the event loop; a test's stand still
// until the test moves them on, so hours pass in no time at all.
class Timers {
public:
    virtual ~Timers() = default;
    // Milliseconds since some fixed moment.
    virtual qint64 elapsedMs() const = 0;
    // A new wake-up calling onTimeout. precise: not a millisecond early (an
    // event-loop timer may otherwise fire up to 5 % before its time).
    virtual std::unique_ptr<Timer> timer(std::function<void()> onTimeout, bool precise = false) = 0;

    // The event loop's timers, for the whole program.
    static Timers &system();
};

} // namespace kestrova
