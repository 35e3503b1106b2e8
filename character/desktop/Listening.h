#pragma once

#include "Character.h"
#include "SpeechListener.h"
#include "Timers.h"
#include "VoiceGrammar.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <memory>
#include <vector>

namespace kestrova::character {

class DesktopCharacter;
class ListeningPrompt;
class Performer;
struct Animation;

// The character listening for a command: listen(true) opens the listening
// prompt beside the character; what is typed there is matched against the
// enabled commands' voice grammars and raised as heard(). Listening ends
// with the phrase, with Escape, after the prompt's time without typing, with
// listen(false), or when the character hides. With a speech listener the
// character also listens through the microphone while the prompt is open:
// it shows its "hearing" state while speech comes in, and what was heard is
// raised with the words recognised, the end of the utterance ending the
// listening. A match weaker than its command's confidence thinks the
// command's own doubt first.
//
// A spoken command heard too unsurely to act on, but plausibly, is asked
// about: the character says "Did you mean Help?" and the prompt shows the
// guesses as buttons. The answer comes by voice ("yes", "no", the guess's
// number or the command again), a click or a key; "no", Escape and
// AnswerTimeoutMs without speech drop the question. A command that starts
// a program or quits is run on a guess only after a yes (or its button,
// key or number): said again, it is still only a guess.
class Listening : public QObject {
    Q_OBJECT
public:
    Listening(DesktopCharacter &character, Performer &performer, Timers &timers);
    ~Listening() override;

    void listen(bool on);
    void end(const QString &why);
    bool isListening() const { return m_listening; }
    ListeningPrompt *prompt() const { return m_prompt; }
    // What the prompt does on Enter.
    void hear(const QString &phrase);

    void setSpeechListener(SpeechListener *listener);
    SpeechListener *speechListener() const { return m_speech; }
    std::vector<VoiceCommand> voiceCommands();
    void setTimeoutMs(int ms);
    int timeoutMs() const { return m_timeoutMs; }
    // The prompt and the listener let go; nothing more is heard.
    void close();

    // The commands asked about, best first; empty when nothing is asked.
    QStringList guesses() const { return m_guesses; }
    static constexpr int AnswerTimeoutMs = 8000;
    static inline const QString Question = QStringLiteral("Did you mean %1?");

Q_SIGNALS:
    // The user is doing something: the character is not idle.
    void activity();
    void ended();
    void heard(const kestrova::character::UserInput &input);

private:
    void updateMatcher();
    void playState(const QString &state);
    void hearVoice(const Recognition &recognition);
    void raise(const QString &name, int confidence, const QString &words);
    void ask(const QStringList &guesses, const QString &words);
    void listenForAnswer();
    void answer(const Recognition &recognition);
    void choose(int guess, const QString &words);
    // The question forgotten, its buttons gone.
    void dropQuestion();
    QString captionOf(const QString &command);

    DesktopCharacter &m_character;
    Performer &m_performer;
    QPointer<ListeningPrompt> m_prompt;
    bool m_listening = false;
    int m_timeoutMs;
    CommandMatcher m_matcher;
    QString m_matcherKey;          // the names and grammars it was built from
    QSet<QString> m_badGrammars;   // warned about already
    const Animation *m_animation = nullptr;
    std::unique_ptr<Timer> m_hold; // the listening animation's first pass
    QPointer<SpeechListener> m_speech;
    bool m_voiceListening = false;    // the listener runs for this character
    bool m_toldNoMicrophone = false;  // said once a run
    bool m_toldNoRecognizer = false;
    QStringList m_guesses;           // asked about, best first
    Request m_question;              // the question being said
    std::unique_ptr<Timer> m_answerTime; // silence after the question
};

} // namespace kestrova::character
