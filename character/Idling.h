#pragma once

#include "SpeechText.h"
#include "Timers.h"

#include <functional>
#include <memory>

namespace kestrova::character {

// When a character left alone plays something of its own: now and then, at
// random intervals, a one-shot of its level's idle animation, level 1
// first, 2 after a while left alone, 3 later, ever calmer and rarer. Any
// request, click or listening (userActive()) starts the count again.
// Nothing runs in between but the one wake-up for the next idle animation.
//
// What "left alone" means and what is played is the character's: free()
// says nothing else goes on, settling() that it is still on its way back
// to rest (the idle animation waits a second more), play(level) plays an
// animation of that level or the calmest below it and returns false when
// there is none (then the wake-up stays off). The character calls
// schedule() whenever it comes to rest.
class Idling {
public:
    // After levelTwoAfterMs / levelThreeAfterMs without a request the level
    // goes up; at each level the next idle animation comes a random time
    // between min and max after the last. The defaults keep a character left
    // alone near no processor time: a short one-shot about once a minute at
    // first, every few minutes later.
    struct Timing {
        int levelTwoAfterMs = 3 * 60 * 1000;
        int levelThreeAfterMs = 10 * 60 * 1000;
        int minMs[3] = {25 * 1000, 60 * 1000, 120 * 1000};
        int maxMs[3] = {75 * 1000, 180 * 1000, 360 * 1000};
    };
    struct Hooks {
        std::function<bool()> free;
        std::function<bool()> settling;
        std::function<bool(int level)> play;
        PickIndex pick; // called with 11: the step of the interval's range
    };

    Idling(Timers &timers, Hooks hooks);

    void setTiming(const Timing &timing);
    const Timing &timing() const { return m_timing; }
    // 1..3: how calm the character is by now.
    int level() const;
    void userActive();
    // Arms the next idle animation when the character is free, else stops.
    void schedule();
    void stop();
    bool isScheduled() const { return m_timer->isActive(); }
    int dueInMs() const { return m_timer->remainingTime(); }

private:
    void fire();

    Timers &m_timers;
    Hooks m_hooks;
    Timing m_timing;
    std::unique_ptr<Timer> m_timer;
    qint64 m_activeAt = 0;
};

} // namespace kestrova::character
