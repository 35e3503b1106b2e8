#pragma once

#include "Balloon.h"
#include "SpeechText.h"
#include "Timers.h"
#include "Voice.h"

#include <QObject>
#include <functional>
#include <memory>

namespace kestrova::character {

class Performer;
struct Animation;

// What the character says or thinks while a Speak or Think plays: the text
// to the voice, the mouth moving with it, the words in the balloon, and the
// reading time that ends the request if the voice does not end it first.
// Without a voice that works the balloon is the only trace of what was
// said, and shows it all at once; with one, the words come as they are said.
class Speaking : public QObject {
    Q_OBJECT
public:
    // Where the balloon is, and how it is shown beside the character.
    struct BalloonAccess {
        std::function<Balloon *()> balloon;
        std::function<void(const QString &text, Balloon::Style style)> show;
    };
    Speaking(std::unique_ptr<Voice> voice, double rate, Performer &performer, Timers &timers, BalloonAccess balloon);
    ~Speaking() override;

    // Starts saying (or thinking) text while animation plays; false when
    // there is nothing to say.
    bool start(const QString &text, bool thought, const PickIndex &pick, int balloonStyle, const Animation *animation);
    // The request has ended: a voice still speaking is silenced.
    void end();
    bool isActive() const { return m_active; }

    Voice *voice() const { return m_voice.get(); }
    void setVoice(std::unique_ptr<Voice> voice, double rate);
    double rate() const { return m_rate; }
    void setOutput(bool on) { m_output = on; }
    bool output() const { return m_output; }
    void setBalloonWhileSpeaking(bool on) { m_balloonWhileSpeaking = on; }
    bool balloonWhileSpeaking() const { return m_balloonWhileSpeaking; }

Q_SIGNALS:
    // Said to the end, or the reading time is up: how, for the log.
    void done(const QString &how);

private:
    void connectVoice();
    // The utterance will not be heard: the mouth stops and the balloon shows
    // what was to be said, until the reading time is up.
    void showUnheard();
    void followTiming(const SpeechTiming &timing);

    std::unique_ptr<Voice> m_voice;
    double m_rate = 0;
    Performer &m_performer;
    Timers &m_timers;
    BalloonAccess m_balloon;
    std::unique_ptr<Timer> m_readingTimer;
    bool m_active = false;
    bool m_output = true;
    bool m_balloonWhileSpeaking = false;
    int m_utterance = 0;       // the voice's utterance for the running Speak
    qint64 m_utteranceAt = 0;  // when it was given to the voice
    QString m_spoken;          // what the running Speak says
    QString m_shown;           // and shows
    bool m_timedMouth = false; // the voice's own timing drives the mouth
    int m_reading = 0;         // the running Speak's reading time
    int m_timedMs = 0;         // and how long its voice says it takes, and a little more

public:
    // How long a working voice may take to begin a text (an engine still
    // starting: speech-dispatcher takes seconds) before the Speak stops
    // waiting for it; the reading time runs from the moment it begins.
    static constexpr int VoiceStartWaitMs = 5000;
};

} // namespace kestrova::character
