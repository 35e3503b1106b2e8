#include "Listening.h"

#include "DesktopCharacter.h"
#include "DesktopCharacterLog.h"
#include "ListeningPrompt.h"
#include "Performer.h"
#include "SpeechText.h"

#include <algorithm>

namespace kestrova::character {

namespace {

// The listening animations loop until told to stop. They play their first
// pass (the frames up to the first branch), at most this long, and then
// take their exit back to rest, so a character that listens for a while
// costs nothing meanwhile.
constexpr int ListeningPassMaxMs = 3000;

int firstPassMs(const Animation &animation)
{
    int ms = 0;
    for (const Frame &frame : animation.frames) {
        ms += frame.durationMs;
        if (!frame.branches.isEmpty())
            break;
    }
    return std::min(ms, ListeningPassMaxMs);
}

// The answers to a question, listened for beside the commands under names
// no command can have (a command's name is what the user sees).
const QString AnswerYes = QStringLiteral("\x1fyes");
const QString AnswerNo = QStringLiteral("\x1fno");
const QString AnswerNumber = QStringLiteral("\x1f%1");
const char *const NumberWords[] = {"one", "two", "three"};

QString forLog(const QString &text)
{
    const QString s = cleanOutsideText(text).simplified();
    return s.size() > 240 ? s.left(237) + QStringLiteral("...") : s;
}

} // namespace

Listening::Listening(DesktopCharacter &character, Performer &performer, Timers &timers)
    : m_character(character), m_performer(performer),
      m_timeoutMs(ListeningPrompt::IdleTimeoutMs), m_hold(timers.timer([this] {
          if (!m_character.isBusy() && m_animation && m_performer.animation() == m_animation)
              m_performer.exit();
      })),
      m_answerTime(timers.timer([this] {
          if (!m_guesses.isEmpty())
              end(QStringLiteral("no answer"));
      }))
{
    // The answer is listened for once the question has been said: the
    // microphone would otherwise hear the character's own voice.
    connect(&m_character, &Character::requestComplete, this, [this](const Request &request) {
        if (m_question.isNull() || request != m_question)
            return;
        m_question = Request();
        // The question stays in the balloon while the answer is awaited,
        // whether or not the balloon showed as it was said.
        if (!m_guesses.isEmpty())
            m_character.showNotice(Question.arg(captionOf(m_guesses.first())));
        listenForAnswer();
    });
}

Listening::~Listening()
{
    delete m_prompt.data();
}

void Listening::setTimeoutMs(int ms)
{
    m_timeoutMs = std::max(1000, ms);
    if (m_prompt)
        m_prompt->setIdleTimeout(m_timeoutMs);
}

void Listening::updateMatcher()
{
    QString key;
    for (const Command &c : m_character.commands().all())
        key += c.name + u'\x1f' + c.voice + u'\x1e';
    if (key == m_matcherKey)
        return;
    m_matcherKey = key;
    m_matcher.clear();
    for (const Command &c : m_character.commands().all()) {
        if (c.voice.trimmed().isEmpty())
            continue; // nothing to say for it: a menu command only
        QString error;
        if (m_matcher.add(c.name, c.voice, &error))
            continue;
        const QString bad = c.name + u'\x1f' + c.voice;
        if (!m_badGrammars.contains(bad)) {
            m_badGrammars.insert(bad);
            qCWarning(lcCharacter).noquote()
                << QStringLiteral("Command \"%1\": its voice grammar \"%2\" does not parse (%3); it is offered in menus only")
                       .arg(c.name, c.voice, error);
        }
    }
}

void Listening::listen(bool on)
{
    if (!on) {
        end(QStringLiteral("Listen(false)"));
        return;
    }
    if (!m_character.visible()) {
        qCDebug(lcCharacter) << "Listen ignored: the character is hidden";
        return;
    }
    Q_EMIT activity();
    updateMatcher();
    if (!m_prompt) {
        m_prompt = new ListeningPrompt;
        m_prompt->setWindowTitle(m_character.name());
        m_prompt->setIdleTimeout(m_timeoutMs);
        connect(m_prompt, &ListeningPrompt::submitted, this, &Listening::hear);
        connect(m_prompt, &ListeningPrompt::cancelled, this, [this] { end(QStringLiteral("Escape")); });
        connect(m_prompt, &ListeningPrompt::timedOut, this, [this] { end(QStringLiteral("timed out")); });
        connect(m_prompt, &ListeningPrompt::typingStarted, this, [this] { playState(QStringLiteral("hearing")); });
        connect(m_prompt, &ListeningPrompt::chosen, this, [this](int guess) {
            if (guess >= 0 && guess < m_guesses.size())
                choose(guess, captionOf(m_guesses[guess]));
        });
    }
    const bool already = m_listening;
    m_listening = true;
    dropQuestion();
    qCDebug(lcCharacter).noquote() << (already ? QStringLiteral("Listening again") : QStringLiteral("Listening"));
    m_prompt->open(m_character.window()->geometry());
    if (!already)
        playState(QStringLiteral("listening"));
    if (m_speech) {
        m_speech->setCommands(voiceCommands());
        m_voiceListening = m_speech->start();
        if (!m_voiceListening) {
            qCWarning(lcCharacter).noquote() << "Listening by typing only:" << m_speech->errorString();
            if (!m_toldNoMicrophone) {
                m_toldNoMicrophone = true;
                m_character.showNotice(DesktopCharacter::NoMicrophoneNotice);
            }
        }
    }
}

void Listening::playState(const QString &state)
{
    // Only an idle character shows that it listens; a request playing keeps
    // its own animation.
    if (m_character.isBusy() || m_character.queuedCount() > 0 || !m_character.visible())
        return;
    const Animation *animation = m_character.model().stateAnimation(state);
    if (!animation)
        return;
    m_animation = animation;
    m_performer.play(animation, [this, animation] {
        if (!m_character.isBusy())
            m_performer.returnToRest(animation, {});
    });
    m_hold->start(firstPassMs(*animation));
}

void Listening::end(const QString &why)
{
    if (!m_listening)
        return;
    m_listening = false;
    dropQuestion();
    if (m_prompt)
        m_prompt->hide();
    if (m_voiceListening && m_speech)
        m_speech->stop();
    m_voiceListening = false;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Listening ends (%1)").arg(why);
    Q_EMIT ended();
    m_hold->stop();
    if (!m_character.isBusy() && m_animation && m_performer.animation() == m_animation)
        m_performer.exit();
}

void Listening::hear(const QString &phrase)
{
    if (!m_listening)
        return;
    updateMatcher();
    QStringList enabled;
    for (const Command &c : m_character.commands().all())
        if (c.enabled)
            enabled << c.name;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Heard \"%1\"").arg(forLog(phrase));
    if (!m_guesses.isEmpty()) {
        // The question answered by typing.
        const QString typed = normalisePhrase(phrase);
        if (typed == u"yes" || typed == u"1") {
            choose(0, phrase);
            return;
        }
        if (typed == u"no") {
            end(QStringLiteral("no"));
            return;
        }
    }
    const CommandMatcher::Match match = m_matcher.match(phrase, enabled);
    raise(match.name, match.confidence, phrase);
}

void Listening::hearVoice(const Recognition &recognition)
{
    if (!m_listening || !m_voiceListening)
        return;
    m_voiceListening = false;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Heard by voice \"%1\" (%2 ms of audio, %3 ms to decode)")
                                          .arg(forLog(recognition.words))
                                          .arg(recognition.audioMs)
                                          .arg(recognition.finishMs);
    if (!m_guesses.isEmpty()) {
        answer(recognition);
        return;
    }
    // The recogniser knows only the commands it was given; one disabled
    // since counts as nothing heard.
    const auto usable = [this](const QString &name) {
        const Command *c = name.isEmpty() ? nullptr : m_character.commands().item(name);
        return c && c->enabled;
    };
    QStringList guesses;
    for (const QString &g : recognition.guesses)
        if (usable(g) && !guesses.contains(g))
            guesses << g;
    if (hearingOf(recognition) == Hearing::Asked && !guesses.isEmpty()) {
        ask(guesses, recognition.words);
        return;
    }
    const bool act = usable(recognition.command);
    raise(act ? recognition.command : QString(), act ? recognition.confidence : -100, recognition.words);
}

QString Listening::captionOf(const QString &command)
{
    const Command *c = m_character.commands().item(command);
    return c && !c->caption.trimmed().isEmpty() ? c->caption : command;
}

void Listening::ask(const QStringList &guesses, const QString &words)
{
    m_guesses = guesses.mid(0, ListeningPrompt::MaxGuesses);
    QStringList captions;
    for (const QString &g : std::as_const(m_guesses))
        captions << captionOf(g);
    const QString question = Question.arg(captions.first());
    qCDebug(lcCharacter).noquote() << QStringLiteral("Asking \"%1\" about \"%2\" (guesses: %3)")
                                          .arg(forLog(question), forLog(words), forLog(m_guesses.join(QStringLiteral(", "))));
    if (m_prompt) {
        m_prompt->ask(question, captions);
        m_prompt->keepOpen();
    }
    m_question = m_character.speak(Question.arg(outsideText(captions.first())));
    if (m_question.isNull())
        listenForAnswer();
}

void Listening::listenForAnswer()
{
    if (!m_listening || m_guesses.isEmpty())
        return;
    m_answerTime->start(AnswerTimeoutMs);
    if (!m_speech)
        return;
    std::vector<VoiceCommand> commands = voiceCommands();
    commands.push_back({AnswerYes, QStringLiteral("(yes|yeah|yep)[please]"), false});
    commands.push_back({AnswerNo, QStringLiteral("(no|nope)[thanks|thank you]"), false});
    for (qsizetype k = 0; k < m_guesses.size(); ++k)
        commands.push_back({AnswerNumber.arg(k + 1),
                            QStringLiteral("[number]%1").arg(QLatin1String(NumberWords[k])), false});
    m_speech->setCommands(commands);
    m_voiceListening = m_speech->start();
}

void Listening::answer(const Recognition &recognition)
{
    const QString &heard = recognition.command;
    if (hearingOf(recognition) == Hearing::Acted) {
        if (heard == AnswerYes) {
            choose(0, recognition.words);
            return;
        }
        if (heard == AnswerNo) {
            end(QStringLiteral("no"));
            return;
        }
        for (qsizetype k = 0; k < m_guesses.size(); ++k)
            if (heard == AnswerNumber.arg(k + 1)) {
                choose(int(k), recognition.words);
                return;
            }
        // A command said surely: acted on as said.
        const Command *c = m_character.commands().item(heard);
        if (c && c->enabled) {
            raise(heard, recognition.confidence, recognition.words);
            return;
        }
    } else if (!recognition.guesses.isEmpty()) {
        // A guess said again, still unsurely: that is the answer, but not
        // for a command that starts a program or quits.
        const qsizetype k = m_guesses.indexOf(recognition.guesses.first());
        const Command *c = k < 0 ? nullptr : m_character.commands().item(m_guesses[k]);
        if (c && c->enabled && !c->strict) {
            choose(int(k), recognition.words);
            return;
        }
    }
    // No answer: the question stands, for a while.
    qCDebug(lcCharacter) << "No answer to the question: listening on";
    listenForAnswer();
}

void Listening::choose(int guess, const QString &words)
{
    if (guess < 0 || guess >= m_guesses.size())
        return;
    const QString name = m_guesses[guess];
    qCDebug(lcCharacter).noquote() << QStringLiteral("Answered: %1").arg(forLog(name));
    // The user's own choice, as sure as one from the menu.
    raise(name, 100, words);
}

void Listening::dropQuestion()
{
    m_answerTime->stop();
    m_question = Request();
    if (m_guesses.isEmpty())
        return;
    m_guesses.clear();
    if (m_prompt)
        m_prompt->ask({}, {});
}

void Listening::raise(const QString &name, int confidence, const QString &words)
{
    end(QStringLiteral("heard"));
    // A match this weak shows the command's own doubt, as a thought: the
    // program decides what to say.
    if (const Command *c = name.isEmpty() ? nullptr : m_character.commands().item(name)) {
        if (!c->confidenceText.isEmpty() && confidence <= c->confidence)
            m_character.think(c->confidenceText);
    }
    Q_EMIT heard(UserInput{name, confidence, words});
}

std::vector<VoiceCommand> Listening::voiceCommands()
{
    updateMatcher();
    std::vector<VoiceCommand> out;
    for (const Command &c : m_character.commands().all()) {
        if (!c.enabled || c.voice.trimmed().isEmpty())
            continue;
        const QString bad = c.name + u'\x1f' + c.voice;
        if (m_badGrammars.contains(bad))
            continue;
        out.push_back(VoiceCommand{c.name, c.voice, c.strict});
    }
    return out;
}

void Listening::setSpeechListener(SpeechListener *listener)
{
    if (m_speech == listener)
        return;
    if (m_speech) {
        if (m_voiceListening)
            m_speech->stop();
        m_speech->disconnect(this);
    }
    m_voiceListening = false;
    m_speech = listener;
    if (!listener)
        return;
    connect(listener, &SpeechListener::hearingStarted, this, [this] {
        if (!m_listening || !m_voiceListening)
            return;
        qCDebug(lcCharacter) << "Hearing speech";
        // Someone speaking is not idle: the prompt, and a question, wait
        // for the end.
        m_answerTime->stop();
        if (m_prompt)
            m_prompt->keepOpen();
        playState(QStringLiteral("hearing"));
    });
    connect(listener, &SpeechListener::heard, this, &Listening::hearVoice);
    connect(listener, &SpeechListener::stopped, this, [this] { m_voiceListening = false; });
    connect(listener, &SpeechListener::failed, this, [this](const QString &why) {
        if (!m_voiceListening)
            return;
        m_voiceListening = false;
        qCWarning(lcCharacter).noquote() << "Listening by typing only:" << why;
        // Why spoken commands do not work (the recogniser's module missing,
        // say), told once a run like a missing microphone.
        if (!m_toldNoRecognizer) {
            m_toldNoRecognizer = true;
            m_character.showNotice(why);
        }
    });
}

void Listening::close()
{
    end(QStringLiteral("closed"));
    m_hold->stop();
    if (m_prompt) {
        m_prompt->hide();
        m_prompt->deleteLater();
    }
}

} // namespace kestrova::character
