#include "JokeWatch.h"

#include "CharacterSink.h"
#include "Jokes.h"
#include "UserModel.h"

namespace kestrova {

JokeWatch::JokeWatch(const UserModel &model, Jokes &jokes, Random &random, CharacterSink &sink, Timers &timers)
    : m_model(model), m_jokes(jokes), m_random(random), m_sink(sink)
{
    setTimers(timers);
}

void JokeWatch::setTimers(Timers &timers)
{
    const bool wasRunning = m_timer && m_timer->isActive();
    m_timer = timers.timer([this] {
        // Armed again first: a tick that speaks still keeps the minute.
        m_timer->start(TickMs);
        tick();
    });
    if (wasRunning)
        m_timer->start(TickMs);
}

void JokeWatch::start()
{
    if (!m_timer->isActive())
        m_timer->start(TickMs);
}

void JokeWatch::stop()
{
    m_timer->stop();
}

void JokeWatch::tick()
{
    if (JokeTicks == 4 && m_model.jokesOn()) {
        // The lead-in as it stands now, edited or stored.
        m_jokes.JokeSay = m_model.jokeLeadIn();
        m_jokes.TellJoke(m_sink, m_random);
        JokeTicks = 0;
    } else if (JokeTicks < 4) {
        ++JokeTicks;
    }
}

} // namespace kestrova
