#pragma once

#include "Timers.h"

#include <QtGlobal>

#include <memory>

namespace kestrova {

class CharacterSink;
class Jokes;
class Random;
class UserModel;

// The joke timer: once a minute while it runs, and every fifth tick, while
// the user's jokes switch is on, a joke. It runs from the host window's load
// to the end of the run, whatever the switch said at start-up; the switch
// keeps jokes from being told, and switching it on or off starts or stops
// the timer. A count of 4 with jokes off waits there, so the next tick after
// jokes are switched on tells one.
class JokeWatch {
public:
    static constexpr int TickMs = 60000;

    JokeWatch(const UserModel &model, Jokes &jokes, Random &random, CharacterSink &sink,
              Timers &timers = Timers::system());

    void start();
    void stop();
    // Counts its minutes on these timers from now on (not owned), running
    // if it ran.
    void setTimers(Timers &timers);
    bool running() const { return m_timer->isActive(); }
    // Milliseconds to the next tick; -1 while stopped.
    int remainingMs() const { return m_timer->remainingTime(); }

    // Ticks counted since the last joke (0 to 4).
    qint16 JokeTicks = 0;
    // One tick.
    void tick();

private:
    const UserModel &m_model;
    Jokes &m_jokes;
    Random &m_random;
    CharacterSink &m_sink;
    std::unique_ptr<Timer> m_timer;
};

} // namespace kestrova
