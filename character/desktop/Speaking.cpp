#include "Speaking.h"

#include "Character.h"
#include "Performer.h"

#include <QTimer>
#include <algorithm>

namespace kestrova::character {

Speaking::Speaking(std::unique_ptr<Voice> voice, double rate, Performer &performer, Timers &timers,
                   BalloonAccess balloon)
    : m_voice(std::move(voice)), m_rate(rate), m_performer(performer), m_timers(timers), m_balloon(std::move(balloon))
{
    // A coarse timer may fire up to 5% early; the reading time is a promise.
    m_readingTimer = timers.timer(
        [this] {
            if (m_active)
                Q_EMIT done(m_utterance ? QStringLiteral("reading time, the voice did not finish")
                                        : QStringLiteral("reading time"));
        },
        true);
    connectVoice();
}

Speaking::~Speaking() = default;

void Speaking::connectVoice()
{
    if (!m_voice)
        return;
    connect(m_voice.get(), &Voice::finished, this, [this](int utterance) {
        if (m_utterance && utterance == m_utterance) {
            m_utterance = 0;
            Q_EMIT done(QStringLiteral("spoken"));
        }
    });
    connect(m_voice.get(), &Voice::timed, this, [this](int utterance, const SpeechTiming &timing) {
        if (m_utterance && utterance == m_utterance)
            followTiming(timing);
    });
    connect(m_voice.get(), &Voice::started, this, [this](int utterance) {
        if (!m_utterance || utterance != m_utterance)
            return;
        // The reading time runs from the moment the voice begins.
        if (m_readingTimer->isActive())
            m_readingTimer->start(std::max(m_reading, m_timedMs));
        // A voice that took a while to start: the mouth starts over with it.
        if (!m_timedMouth && m_performer.isMouthMoving() && m_timers.elapsedMs() - m_utteranceAt > 150) {
            const int left = m_readingTimer->remainingTime();
            m_performer.startMouth(m_spoken, std::min(speakingTimeMs(m_spoken, m_rate), left < 0 ? 0 : left));
        }
    });
    connect(m_voice.get(), &Voice::failed, this, [this](int utterance) {
        if (m_utterance && utterance == m_utterance) {
            // Not heard after all: the words are read in the time left of
            // the reading time, not after a wait for the voice.
            const qint64 since = m_timers.elapsedMs() - m_utteranceAt;
            if (m_readingTimer->isActive())
                m_readingTimer->start(int(std::max<qint64>(0, m_reading - since)));
            showUnheard();
        }
    });
    // The engine starts in its own thread once the event loop runs.
    QTimer::singleShot(0, m_voice.get(), &Voice::prepare);
}

void Speaking::setVoice(std::unique_ptr<Voice> voice, double rate)
{
    m_rate = std::clamp(rate, -1.0, 1.0);
    if (m_voice) {
        m_voice->disconnect(this);
        if (m_utterance)
            m_voice->stop();
    }
    // What the old voice was saying is only shown now; the request ends at
    // its reading time.
    if (m_utterance)
        showUnheard();
    m_voice = std::move(voice);
    connectVoice();
}

void Speaking::showUnheard()
{
    m_utterance = 0;
    m_performer.stopMouth();
    Balloon *balloon = m_balloon.balloon();
    if (balloon && !balloon->isVisible() && !m_shown.isEmpty())
        m_balloon.show(m_shown, Balloon::Style::Speech);
}

void Speaking::followTiming(const SpeechTiming &timing)
{
    m_timedMouth = true;
    m_timedMs = timing.totalMs + 1000;
    m_performer.followMouth(timing);
    // The Speak lasts as long as the voice says it does, and a little more.
    if (m_readingTimer->isActive() && m_readingTimer->remainingTime() < timing.totalMs + 1000)
        m_readingTimer->start(timing.totalMs + 1000);
    // The balloon's words as they are said, when it shows what is said.
    Balloon *balloon = m_balloon.balloon();
    if (balloon && balloon->isVisible() && m_shown == m_spoken) {
        QList<int> starts;
        for (const SpokenWord &w : timing.words)
            starts << w.startMs;
        balloon->revealAt(starts);
    }
}

bool Speaking::start(const QString &text, bool thought, const PickIndex &pick, int balloonStyle,
                     const Animation *animation)
{
    const SpeechText parsed = parseSpeech(text, pick);
    const QString spoken = parsed.spoken.trimmed();
    const QString shown = parsed.shown.trimmed();
    if (shown.isEmpty() && (thought || spoken.isEmpty()))
        return false;
    m_active = true;
    const double rate = m_rate;
    const int reading = readingTimeMs(thought || shown.size() >= spoken.size() ? shown : spoken, rate);
    m_readingTimer->start(reading);
    m_performer.play(animation);
    if (thought) {
        m_balloon.show(shown, Balloon::Style::Thought);
        return true;
    }
    m_shown = shown;
    m_spoken = spoken;
    const bool voiced = m_output && m_voice && m_voice->isAvailable() && !spoken.isEmpty();
    const bool heard = voiced && m_voice->isWorking();
    // A voice expected to be heard gets a while to begin (started() then
    // sets the reading time going); one that never begins ends the Speak
    // that much later, with the words shown.
    m_reading = reading;
    if (heard)
        m_readingTimer->start(reading + VoiceStartWaitMs);
    const int speaking = std::min(speakingTimeMs(spoken, rate), reading);
    m_timedMouth = false;
    m_timedMs = 0;
    if (voiced) {
        m_utteranceAt = m_timers.elapsedMs();
        m_utterance = m_voice->say(spoken);
        if (heard)
            m_performer.startMouth(spoken, speaking);
    }
    if (!shown.isEmpty() && (!heard || (balloonStyle & Character::BalloonOn) || m_balloonWhileSpeaking)) {
        m_balloon.show(shown, Balloon::Style::Speech);
        if (heard && m_balloon.balloon())
            m_balloon.balloon()->revealOver(speaking);
    }
    return true;
}

void Speaking::end()
{
    m_active = false;
    m_readingTimer->stop();
    if (m_utterance && m_voice)
        m_voice->stop(); // still speaking (stopped, or out of time)
    m_utterance = 0;
    m_shown.clear();
    m_spoken.clear();
    m_performer.stopMouth();
}

} // namespace kestrova::character
