#include "DesktopCharacter.h"

#include "CommandMenu.h"
#include "CommandsWindow.h"
#include "DesktopCharacterLog.h"
#include "ListeningPrompt.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSoundEffect>
#include <QUrl>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <atomic>
#include <utility>
#include <cmath>

namespace kestrova::character {

namespace {

// Handles are unique across every character of the program.
std::atomic<quint64> nextRequestId{1};

// How long the blend back to the rest pose takes when an animation leaves
// the character elsewhere and has no return animation.
constexpr int ToRestMs = 200;

// Glide speed of MoveTo, and the bounds of its time.
constexpr double GlidePixelsPerSecond = 600;
constexpr int GlideMinMs = 250;
constexpr int GlideMaxMs = 1500;

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

QString shortText(const QString &text)
{
    // Whole, so a run can be followed sentence by sentence; only very long
    // texts are cut.
    const QString s = text.simplified();
    return s.size() > 240 ? s.left(237) + QStringLiteral("...") : s;
}

} // namespace

DesktopCharacter::DesktopCharacter(CharacterModel model, std::unique_ptr<Voice> voice, QObject *parent)
    : Character(parent), m_model(std::move(model)), m_renderer(m_model), m_voice(std::move(voice))
{
    Frame toRest;
    toRest.pose = m_model.restPose;
    toRest.durationMs = ToRestMs;
    toRest.tween = true;
    m_toRest.name = QStringLiteral("(back to rest)");
    m_toRest.frames = {toRest};

    m_window = new CharacterWindow;
    m_window->setWindowTitle(m_model.name);
    m_window->resize(m_model.size);
    m_balloon = new Balloon;
    m_balloon->setWindowTitle(m_model.name);

    connect(m_window, &CharacterWindow::clicked, this, [this](int button, int shift, QPoint at) {
        userActive();
        Q_EMIT click(button, shift, at.x(), at.y());
        // The program answers the click first (it plays its alert), then the
        // menu opens where the pointer is.
        if (button == RightButton && !m_closed && visible())
            popupCommandMenu(at);
    });
    connect(m_window, &CharacterWindow::doubleClicked, this,
            [this](int button, int shift, QPoint at) { Q_EMIT dblClick(button, shift, at.x(), at.y()); });
    connect(m_window, &CharacterWindow::dragStarted, this, [this] {
        userActive();
        m_placed = true;
        // The user took the character elsewhere; a glide has nowhere to go.
        if (m_current && m_current->kind == Kind::MoveTo)
            finish(QStringLiteral("dragged away"));
    });
    connect(m_window, &CharacterWindow::moved, this, [this] {
        followBalloon();
        if (m_prompt && m_prompt->isVisible())
            m_prompt->follow(m_window->geometry());
    });

    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &DesktopCharacter::playIdle);
    m_sinceActive.start();

    m_listeningHold.setSingleShot(true);
    connect(&m_listeningHold, &QTimer::timeout, this, [this] {
        if (!m_current && m_listeningAnimation && m_player.animation() == m_listeningAnimation)
            m_player.exit();
    });

    m_pump.setSingleShot(true);
    m_pump.setInterval(0);
    connect(&m_pump, &QTimer::timeout, this, &DesktopCharacter::pump);

    m_readingTimer.setSingleShot(true);
    // A coarse timer may fire up to 5% early; the reading time is a promise.
    m_readingTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_readingTimer, &QTimer::timeout, this, [this] {
        if (m_current && (m_current->kind == Kind::Speak || m_current->kind == Kind::Think))
            finish(m_utterance ? QStringLiteral("reading time, the voice did not finish")
                               : QStringLiteral("reading time"));
    });

    m_noticeTimer.setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] {
        const bool speaking = m_current && (m_current->kind == Kind::Speak || m_current->kind == Kind::Think);
        if (m_balloon && !speaking && m_balloon->text() == m_notice)
            m_balloon->hide();
    });

    m_mouthTimer.setSingleShot(true);
    connect(&m_mouthTimer, &QTimer::timeout, this, &DesktopCharacter::nextMouthStep);

    m_glide.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_glide, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        if (m_window)
            m_window->place(value.toPoint());
    });
    connect(&m_glide, &QVariantAnimation::finished, this, [this] {
        if (m_current && m_current->kind == Kind::MoveTo)
            finish(QStringLiteral("arrived"));
    });

    connect(&m_player, &AnimationPlayer::poseChanged, this, &DesktopCharacter::render);
    connect(&m_player, &AnimationPlayer::finished, this, [this](const Animation *animation) {
        m_lastAnimation = animation;
        auto then = std::move(m_afterAnimation);
        m_afterAnimation = {};
        if (then)
            then();
        // The pose it ended in stays: drawn exact.
        if (!m_player.isPlaying())
            render();
    });

    connect(&m_player, &AnimationPlayer::frameEntered, this, &DesktopCharacter::playFrameSound);
    m_rate = m_model.voice.rate;
    connectVoice();

    m_player.setPose(m_model.restPose);
}

void DesktopCharacter::connectVoice()
{
    if (!m_voice)
        return;
    connect(m_voice.get(), &Voice::finished, this, [this](int utterance) {
        if (m_utterance && utterance == m_utterance) {
            m_utterance = 0;
            finish(QStringLiteral("spoken"));
        }
    });
    connect(m_voice.get(), &Voice::timed, this, [this](int utterance, const SpeechTiming &timing) {
        if (m_utterance && utterance == m_utterance)
            followTiming(timing);
    });
    connect(m_voice.get(), &Voice::started, this, [this](int utterance) {
        // A voice that took a while to start: the mouth starts over with it.
        if (m_utterance && utterance == m_utterance && !m_timedMouth && !m_mouth.isEmpty()
            && m_utteranceClock.elapsed() > 150) {
            const int left = m_readingTimer.remainingTime();
            startMouth(m_spoken, std::min(speakingTimeMs(m_spoken, m_rate), left < 0 ? 0 : left));
        }
    });
    connect(m_voice.get(), &Voice::failed, this, [this](int utterance) {
        if (m_utterance && utterance == m_utterance)
            showUnheardSpeech();
    });
    // The engine starts in its own thread once the event loop runs.
    QTimer::singleShot(0, m_voice.get(), &Voice::prepare);
}

void DesktopCharacter::setVoice(std::unique_ptr<Voice> voice, double rate)
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
        showUnheardSpeech();
    m_voice = std::move(voice);
    connectVoice();
}

void DesktopCharacter::showUnheardSpeech()
{
    m_utterance = 0;
    stopMouth();
    if (m_balloon && !m_balloon->isVisible() && !m_shown.isEmpty())
        showBalloon(m_shown, Balloon::Style::Speech);
}

void DesktopCharacter::setBalloonFont(const QFont &font)
{
    if (m_balloon)
        m_balloon->setTextFont(font);
}

void DesktopCharacter::setListeningTimeoutMs(int ms)
{
    m_listeningTimeoutMs = std::max(1000, ms);
    if (m_prompt)
        m_prompt->setIdleTimeout(m_listeningTimeoutMs);
}

QString DesktopCharacter::soundFile(const QString &name) const
{
    return QDir(m_model.folder).filePath(QStringLiteral("sounds/%1.wav").arg(name));
}

void DesktopCharacter::playFrameSound(const Frame *frame)
{
    if (!frame || frame->sound.isEmpty() || !m_soundsOn || m_closed || !visible())
        return;
    const QString file = soundFile(frame->sound);
    if (!QFileInfo(file).isFile()) {
        if (!m_missingSounds.contains(frame->sound)) {
            m_missingSounds.insert(frame->sound);
            qCWarning(lcCharacter).noquote()
                << QStringLiteral("The sound \"%1\" of %2 is missing: there is no %3").arg(frame->sound, m_model.name, file);
        }
        return;
    }
    if (m_soundPlayer) {
        m_soundPlayer(file);
        return;
    }
    QSoundEffect *effect = m_soundEffects.value(file);
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(file));
        effect->setVolume(SoundVolume);
        m_soundEffects.insert(file, effect);
    }
    effect->play();
}

DesktopCharacter::~DesktopCharacter()
{
    delete m_prompt.data();
    delete m_menu.data();
    delete m_commandsWindow.data();
    delete m_window.data();
    delete m_balloon.data();
}

bool DesktopCharacter::isValid() const
{
    return m_renderer.isValid();
}

void DesktopCharacter::setPick(PickIndex pick)
{
    m_pick = pick;
    m_player.setPick(std::move(pick));
}

int DesktopCharacter::pickIndex(int count) const
{
    if (count <= 1)
        return 0;
    return m_pick ? std::clamp(m_pick(count), 0, count - 1) : int(QRandomGenerator::global()->bounded(count));
}

// ---- Idling ----------------------------------------------------------------

void DesktopCharacter::setIdleTiming(const IdleTiming &timing)
{
    m_idleTiming = timing;
    if (m_idleTimer.isActive())
        scheduleIdle();
}

int DesktopCharacter::idleLevel() const
{
    const qint64 alone = m_sinceActive.elapsed();
    return alone >= m_idleTiming.levelThreeAfterMs ? 3 : alone >= m_idleTiming.levelTwoAfterMs ? 2 : 1;
}

void DesktopCharacter::userActive()
{
    m_sinceActive.restart();
    m_idleTimer.stop();
}

void DesktopCharacter::scheduleIdle()
{
    if (m_closed || !visible() || m_current || !m_queue.isEmpty() || m_listening) {
        m_idleTimer.stop();
        return;
    }
    const int level = idleLevel() - 1;
    const int low = std::max(1, m_idleTiming.minMs[level]);
    const int high = std::max(low, m_idleTiming.maxMs[level]);
    // In steps of a tenth of the range: the pick takes a count of choices.
    const int step = pickIndex(11);
    m_idleTimer.start(low + (high - low) * step / 10);
}

void DesktopCharacter::playIdle()
{
    if (m_closed || !visible() || m_current || !m_queue.isEmpty() || m_listening)
        return; // whatever runs schedules the next one when it ends
    if (m_player.isPlaying()) {
        // Still coming back to rest from something: a little later.
        m_idleTimer.start(1000);
        return;
    }
    // A level the character has no animation for takes the calmest it has
    // below it.
    const Animation *animation = nullptr;
    int level = idleLevel();
    for (; level >= 1 && !animation; --level) {
        const QString state = QStringLiteral("idle-%1").arg(level);
        animation = m_model.stateAnimation(state, pickIndex(m_model.stateChoices(state)));
    }
    if (!animation)
        return; // nothing to idle with: the timer stays off
    qCDebug(lcCharacter).noquote() << QStringLiteral("Idle %1: %2").arg(level + 1).arg(animation->name);
    playAnimation(animation, [this, animation] {
        if (!m_current)
            returnToRest(animation, [this] { scheduleIdle(); });
    });
}

// ---- Requests --------------------------------------------------------------

Request DesktopCharacter::speak(const QString &text) { return enqueue(Kind::Speak, text); }
Request DesktopCharacter::think(const QString &text) { return enqueue(Kind::Think, text); }
Request DesktopCharacter::play(const QString &animation) { return enqueue(Kind::Play, animation); }
Request DesktopCharacter::show() { return enqueue(Kind::Show); }
Request DesktopCharacter::hide() { return enqueue(Kind::Hide); }
Request DesktopCharacter::moveTo(int x, int y) { return enqueue(Kind::MoveTo, {}, QPoint(x, y)); }
Request DesktopCharacter::gestureAt(int x, int y) { return enqueue(Kind::GestureAt, {}, QPoint(x, y)); }

QString DesktopCharacter::describe(const Job &job)
{
    switch (job.kind) {
    case Kind::Speak: return QStringLiteral("Speak \"%1\"").arg(shortText(speechForLog(job.text)));
    case Kind::Think: return QStringLiteral("Think \"%1\"").arg(shortText(speechForLog(job.text)));
    case Kind::Play: return QStringLiteral("Play %1").arg(job.text);
    case Kind::Show: return QStringLiteral("Show");
    case Kind::Hide: return QStringLiteral("Hide");
    case Kind::MoveTo: return QStringLiteral("MoveTo %1 %2").arg(job.point.x()).arg(job.point.y());
    case Kind::GestureAt: return QStringLiteral("GestureAt %1 %2").arg(job.point.x()).arg(job.point.y());
    }
    return {};
}

Request DesktopCharacter::enqueue(Kind kind, const QString &text, QPoint point)
{
    if (m_closed)
        return {};
    const Job job{Request(nextRequestId++), kind, text, point};
    userActive();
    qCDebug(lcCharacter).noquote() << QStringLiteral("#%1 %2").arg(job.request.id()).arg(describe(job));
    m_queue.append(job);
    if (!m_current)
        m_pump.start();
    return job.request;
}

void DesktopCharacter::pump()
{
    if (m_closed || m_current || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_currentClock.start();
    start(*m_current);
}

bool DesktopCharacter::isCurrent(Request request) const
{
    return m_current && m_current->request == request;
}

void DesktopCharacter::start(const Job &job)
{
    const bool shown = visible();
    switch (job.kind) {
    case Kind::Show:
        startShow(job);
        return;
    case Kind::Hide:
        startHide(job);
        return;
    case Kind::MoveTo:
        startMove(job);
        return;
    case Kind::Speak:
    case Kind::Think:
        if (!shown)
            finish(QStringLiteral("hidden"));
        else
            startSpeak(job, job.kind == Kind::Think);
        return;
    case Kind::Play: {
        if (!shown) {
            finish(QStringLiteral("hidden"));
            return;
        }
        const Animation *animation = m_model.animation(job.text);
        if (!animation)
            finish(QStringLiteral("no animation of that name"));
        else
            startPlay(job, animation);
        return;
    }
    case Kind::GestureAt: {
        if (!shown) {
            finish(QStringLiteral("hidden"));
            return;
        }
        const QPoint centre = m_window->geometry().center();
        const QPoint d = job.point - centre;
        const QString state = std::abs(d.x()) >= std::abs(d.y())
            ? (d.x() < 0 ? QStringLiteral("gesturing-left") : QStringLiteral("gesturing-right"))
            : (d.y() < 0 ? QStringLiteral("gesturing-up") : QStringLiteral("gesturing-down"));
        const Animation *animation = m_model.stateAnimation(state);
        if (!animation)
            finish(QStringLiteral("no %1 animation").arg(state));
        else
            startPlay(job, animation);
        return;
    }
    }
}

void DesktopCharacter::finish(const QString &how)
{
    if (!m_current)
        return;
    const Job job = *m_current;
    m_current.reset();

    m_readingTimer.stop();
    m_glide.stop();
    if (m_utterance && m_voice)
        m_voice->stop(); // still speaking (stopped, or out of time)
    m_utterance = 0;
    m_shown.clear();
    m_spoken.clear();
    stopMouth();
    if (m_balloon)
        m_balloon->hide();
    if (job.kind == Kind::Hide && m_window) {
        m_window->hide();
        endListening(QStringLiteral("hidden"));
    }
    settle();

    qCDebug(lcCharacter).noquote()
        << QStringLiteral("#%1 %2 complete after %3 ms%4")
               .arg(job.request.id())
               .arg(describe(job).section(u' ', 0, 0))
               .arg(m_currentClock.elapsed())
               .arg(how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how));
    Q_EMIT requestComplete(job.request);
    if (!m_current && !m_queue.isEmpty())
        m_pump.start();
    else if (!m_current)
        scheduleIdle();
}

void DesktopCharacter::stop()
{
    finish(QStringLiteral("stopped"));
}

void DesktopCharacter::stopAll()
{
    // Taken first, so requests made while these report stay.
    const QList<Job> dropped = std::exchange(m_queue, {});
    if (!dropped.isEmpty())
        qCDebug(lcCharacter).noquote() << QStringLiteral("StopAll drops %1 queued").arg(dropped.size());
    finish(QStringLiteral("stopped"));
    for (const Job &job : dropped) {
        // A completion may have the character let go: nothing more reports.
        if (m_closed)
            return;
        reportDropped(job);
    }
    if (!m_current && m_queue.isEmpty())
        scheduleIdle();
}

void DesktopCharacter::reportDropped(const Job &job)
{
    qCDebug(lcCharacter).noquote() << QStringLiteral("#%1 %2 complete (dropped by StopAll)")
                                          .arg(job.request.id())
                                          .arg(describe(job).section(u' ', 0, 0));
    Q_EMIT requestComplete(job.request);
}

// ---- Commands --------------------------------------------------------------

void DesktopCharacter::raiseCommand(const UserInput &input)
{
    qCDebug(lcCharacter).noquote() << QStringLiteral("Command \"%1\" confidence %2 from \"%3\"")
                                          .arg(cleanOutsideText(input.name))
                                          .arg(input.confidence)
                                          .arg(shortText(cleanOutsideText(input.voice)));
    Q_EMIT command(input);
}

void DesktopCharacter::popupCommandMenu(QPoint at)
{
    if (m_closed)
        return;
    if (!m_menu) {
        m_menu = new CommandMenu;
        // Raised from the event loop, once the menu is gone: the program may
        // answer with a menu of its own.
        connect(m_menu, &CommandMenu::commandChosen, this, [this](const QString &name, const QString &caption) {
            QTimer::singleShot(0, this, [this, name, caption] {
                if (!m_closed)
                    raiseCommand(UserInput{name, 100, caption});
            });
        });
        connect(m_menu, &CommandMenu::hideChosen, this, [this] { hide(); });
        connect(m_menu, &CommandMenu::commandsWindowChosen, this, &DesktopCharacter::showCommandsWindow);
        connect(m_menu, &CommandMenu::optionsChosen, this, &DesktopCharacter::optionsRequested);
    }
    m_menu->fill(m_commands);
    qCDebug(lcCharacter).noquote() << QStringLiteral("Command menu at %1 %2 with %3 entries")
                                          .arg(at.x())
                                          .arg(at.y())
                                          .arg(m_menu->actions().size());
    m_menu->popup(at);
}

void DesktopCharacter::showCommandsWindow()
{
    if (m_closed)
        return;
    if (!m_commandsWindow) {
        m_commandsWindow = new CommandsWindow(m_commands, m_model.name);
        connect(m_commandsWindow, &CommandsWindow::commandChosen, this,
                [this](const QString &name, const QString &caption) { raiseCommand(UserInput{name, 100, caption}); });
    }
    m_commandsWindow->refresh();
    m_commandsWindow->show();
    m_commandsWindow->raise();
    m_commandsWindow->activateWindow();
    qCDebug(lcCharacter) << "Commands window shown";
}

void DesktopCharacter::updateMatcher()
{
    QString key;
    for (const Command &c : m_commands.all())
        key += c.name + u'\x1f' + c.voice + u'\x1e';
    if (key == m_matcherKey)
        return;
    m_matcherKey = key;
    m_matcher.clear();
    for (const Command &c : m_commands.all()) {
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

void DesktopCharacter::listen(bool on)
{
    if (m_closed)
        return;
    if (!on) {
        endListening(QStringLiteral("Listen(false)"));
        return;
    }
    if (!visible()) {
        qCDebug(lcCharacter) << "Listen ignored: the character is hidden";
        return;
    }
    userActive();
    updateMatcher();
    if (!m_prompt) {
        m_prompt = new ListeningPrompt;
        m_prompt->setWindowTitle(m_model.name);
        m_prompt->setIdleTimeout(m_listeningTimeoutMs);
        connect(m_prompt, &ListeningPrompt::submitted, this, &DesktopCharacter::hear);
        connect(m_prompt, &ListeningPrompt::cancelled, this, [this] { endListening(QStringLiteral("Escape")); });
        connect(m_prompt, &ListeningPrompt::timedOut, this, [this] { endListening(QStringLiteral("timed out")); });
        connect(m_prompt, &ListeningPrompt::typingStarted, this, [this] { playListening(QStringLiteral("hearing")); });
    }
    const bool already = m_listening;
    m_listening = true;
    qCDebug(lcCharacter).noquote() << (already ? QStringLiteral("Listening again") : QStringLiteral("Listening"));
    m_prompt->open(m_window->geometry());
    if (!already)
        playListening(QStringLiteral("listening"));
    if (m_speech) {
        m_speech->setCommands(voiceCommands());
        m_voiceListening = m_speech->start();
        if (!m_voiceListening) {
            qCWarning(lcCharacter).noquote() << "Listening by typing only:" << m_speech->errorString();
            if (!m_toldNoMicrophone) {
                m_toldNoMicrophone = true;
                showNotice(NoMicrophoneNotice);
            }
        }
    }
}

void DesktopCharacter::playListening(const QString &state)
{
    // Only an idle character shows that it listens; a request playing keeps
    // its own animation.
    if (m_current || !m_queue.isEmpty() || !visible())
        return;
    const Animation *animation = m_model.stateAnimation(state);
    if (!animation)
        return;
    m_listeningAnimation = animation;
    playAnimation(animation, [this, animation] {
        if (!m_current)
            returnToRest(animation, {});
    });
    m_listeningHold.start(firstPassMs(*animation));
}

void DesktopCharacter::endListening(const QString &why)
{
    if (!m_listening)
        return;
    m_listening = false;
    if (m_prompt)
        m_prompt->hide();
    if (m_voiceListening && m_speech)
        m_speech->stop();
    m_voiceListening = false;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Listening ends (%1)").arg(why);
    scheduleIdle();
    m_listeningHold.stop();
    if (!m_current && m_listeningAnimation && m_player.animation() == m_listeningAnimation)
        m_player.exit();
}

void DesktopCharacter::hear(const QString &phrase)
{
    if (!m_listening)
        return;
    updateMatcher();
    QStringList enabled;
    for (const Command &c : m_commands.all())
        if (c.enabled)
            enabled << c.name;
    const CommandMatcher::Match match = m_matcher.match(phrase, enabled);
    qCDebug(lcCharacter).noquote() << QStringLiteral("Heard \"%1\"").arg(shortText(cleanOutsideText(phrase)));
    raiseHeard(match.name, match.confidence, phrase);
}

void DesktopCharacter::hearVoice(const Recognition &heard)
{
    if (!m_listening || !m_voiceListening)
        return;
    m_voiceListening = false;
    // The recogniser knows only the commands it was given; one disabled
    // since counts as nothing heard.
    const Command *c = heard.command.isEmpty() ? nullptr : m_commands.item(heard.command);
    const bool usable = c && c->enabled;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Heard by voice \"%1\" (%2 ms of audio, %3 ms to decode)")
                                          .arg(shortText(cleanOutsideText(heard.words)))
                                          .arg(heard.audioMs)
                                          .arg(heard.finishMs);
    raiseHeard(usable ? heard.command : QString(), usable ? heard.confidence : -100, heard.words);
}

void DesktopCharacter::raiseHeard(const QString &name, int confidence, const QString &words)
{
    endListening(QStringLiteral("heard"));
    // A match this weak shows the command's own doubt, as a thought: the
    // program decides what to say.
    if (const Command *c = name.isEmpty() ? nullptr : m_commands.item(name)) {
        if (!c->confidenceText.isEmpty() && confidence <= c->confidence)
            think(c->confidenceText);
    }
    raiseCommand(UserInput{name, confidence, words});
}

std::vector<VoiceCommand> DesktopCharacter::voiceCommands()
{
    updateMatcher();
    std::vector<VoiceCommand> out;
    for (const Command &c : m_commands.all()) {
        if (!c.enabled || c.voice.trimmed().isEmpty())
            continue;
        const QString bad = c.name + u'\x1f' + c.voice;
        if (m_badGrammars.contains(bad))
            continue;
        out.push_back(VoiceCommand{c.name, c.voice});
    }
    return out;
}

void DesktopCharacter::setSpeechListener(SpeechListener *listener)
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
        // Someone speaking is not idle: the prompt waits for the end.
        if (m_prompt)
            m_prompt->keepOpen();
        playListening(QStringLiteral("hearing"));
    });
    connect(listener, &SpeechListener::heard, this, &DesktopCharacter::hearVoice);
    connect(listener, &SpeechListener::stopped, this, [this] { m_voiceListening = false; });
    connect(listener, &SpeechListener::failed, this, [this](const QString &why) {
        if (!m_voiceListening)
            return;
        m_voiceListening = false;
        qCWarning(lcCharacter).noquote() << "Listening by typing only:" << why;
    });
}

void DesktopCharacter::showNotice(const QString &text)
{
    if (!m_balloon || !m_window || !visible())
        return;
    // A running Speak or Think owns the balloon.
    if (m_current && (m_current->kind == Kind::Speak || m_current->kind == Kind::Think))
        return;
    qCDebug(lcCharacter).noquote() << QStringLiteral("Notice \"%1\"").arg(text);
    m_notice = text;
    showBalloon(text, Balloon::Style::Speech);
    // The note is about listening: the prompt stays open, but not over it.
    if (m_prompt && m_prompt->isVisible())
        m_prompt->avoid(m_balloon->geometry());
    m_noticeTimer.start(readingTimeMs(text, 0));
}

void DesktopCharacter::close()
{
    endListening(QStringLiteral("closed"));
    m_closed = true;
    m_queue.clear();
    m_current.reset();
    m_pump.stop();
    m_readingTimer.stop();
    m_glide.stop();
    m_mouthTimer.stop();
    m_noticeTimer.stop();
    m_afterAnimation = {};
    m_player.halt();
    if (m_utterance && m_voice)
        m_voice->stop();
    m_utterance = 0;
    // Deleted from the event loop: close() may be called from one of the
    // window's own mouse signals.
    if (m_balloon) {
        m_balloon->hide();
        m_balloon->deleteLater();
    }
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
    }
    for (QWidget *w : {static_cast<QWidget *>(m_prompt.data()), static_cast<QWidget *>(m_menu.data()),
                       static_cast<QWidget *>(m_commandsWindow.data())}) {
        if (w) {
            w->hide();
            w->deleteLater();
        }
    }
}

// ---- The kinds of requests -------------------------------------------------

void DesktopCharacter::startShow(const Job &job)
{
    if (visible()) {
        finish(QStringLiteral("already shown"));
        return;
    }
    placeInitially();
    qCDebug(lcCharacter).noquote() << QStringLiteral("Shown at %1 %2 size %3 %4")
                                          .arg(m_window->x())
                                          .arg(m_window->y())
                                          .arg(m_window->width())
                                          .arg(m_window->height());
    const Animation *showing = m_model.stateAnimation(QStringLiteral("showing"));
    if (!showing) {
        render();
        m_window->show();
        finish();
        return;
    }
    // Its first frame is drawn before the window appears, so the character
    // never flashes in its rest pose first.
    const Request request = job.request;
    playAnimation(showing, [this, request] {
        if (isCurrent(request))
            finish();
    });
    if (isCurrent(request))
        m_window->show();
}

void DesktopCharacter::startHide(const Job &job)
{
    if (!visible()) {
        finish(QStringLiteral("already hidden"));
        return;
    }
    if (m_balloon)
        m_balloon->hide();
    // finish() hides the window, before the completion is reported.
    const Request request = job.request;
    playAnimation(m_model.stateAnimation(QStringLiteral("hiding")), [this, request] {
        if (isCurrent(request))
            finish();
    });
}

void DesktopCharacter::startPlay(const Job &job, const Animation *animation)
{
    const Request request = job.request;
    playAnimation(animation, [this, request, animation] {
        if (!isCurrent(request))
            return;
        returnToRest(animation, [this, request] {
            if (isCurrent(request))
                finish();
        });
    });
}

void DesktopCharacter::startMove(const Job &job)
{
    m_placed = true;
    const QPoint from = m_window->pos();
    const QPoint to = job.point;
    if (!visible()) {
        m_window->place(to);
        finish(QStringLiteral("hidden, jumped there"));
        return;
    }
    const QPoint d = to - from;
    const double distance = std::hypot(double(d.x()), double(d.y()));
    if (distance < 1) {
        finish(QStringLiteral("already there"));
        return;
    }
    const QString state = std::abs(d.x()) >= std::abs(d.y())
        ? (d.x() < 0 ? QStringLiteral("moving-left") : QStringLiteral("moving-right"))
        : (d.y() < 0 ? QStringLiteral("moving-up") : QStringLiteral("moving-down"));
    playAnimation(m_model.stateAnimation(state));
    m_glide.stop();
    m_glide.setStartValue(from);
    m_glide.setEndValue(to);
    m_glide.setDuration(std::clamp(int(distance / GlidePixelsPerSecond * 1000), GlideMinMs, GlideMaxMs));
    m_glide.start();
}

void DesktopCharacter::startSpeak(const Job &job, bool thought)
{
    const SpeechText text = parseSpeech(job.text, m_pick);
    const QString spoken = text.spoken.trimmed();
    const QString shown = text.shown.trimmed();
    if (shown.isEmpty() && (thought || spoken.isEmpty())) {
        finish(QStringLiteral("nothing to say"));
        return;
    }
    const double rate = m_rate;
    const int reading = readingTimeMs(thought || shown.size() >= spoken.size() ? shown : spoken, rate);
    m_readingTimer.start(reading);
    playAnimation(m_model.stateAnimation(thought ? QStringLiteral("thinking") : QStringLiteral("speaking")));
    if (thought) {
        showBalloon(shown, Balloon::Style::Thought);
        return;
    }
    m_shown = shown;
    m_spoken = spoken;
    const bool voiced = m_speechOutput && m_voice && m_voice->isAvailable() && !spoken.isEmpty();
    const bool heard = voiced && m_voice->isWorking();
    const int speaking = std::min(speakingTimeMs(spoken, rate), reading);
    m_timedMouth = false;
    if (voiced) {
        m_utteranceClock.start();
        m_utterance = m_voice->say(spoken);
        if (heard)
            startMouth(spoken, speaking);
    }
    // Without a voice that works the balloon is the only trace of what was
    // said, and shows it all at once; with one, the words come as they are
    // said.
    if (!shown.isEmpty() && (!heard || (m_balloonStyle & BalloonOn) || m_balloonWhileSpeaking)) {
        showBalloon(shown, Balloon::Style::Speech);
        if (heard && m_balloon)
            m_balloon->revealOver(speaking);
    }
}

// ---- Animation -------------------------------------------------------------

void DesktopCharacter::playAnimation(const Animation *animation, std::function<void()> then)
{
    m_afterAnimation = std::move(then);
    m_player.play(animation);
}

bool DesktopCharacter::atRest() const
{
    return samePose(m_player.pose(), m_model.restPose);
}

void DesktopCharacter::returnToRest(const Animation *animation, std::function<void()> then)
{
    if (atRest()) {
        if (then)
            then();
        return;
    }
    const Animation *back = animation ? m_model.animation(animation->returnAnimation) : nullptr;
    if (back && back != animation) {
        playAnimation(back, [this, then] {
            if (atRest()) {
                if (then)
                    then();
            } else {
                playAnimation(&m_toRest, then);
            }
        });
        return;
    }
    playAnimation(&m_toRest, then);
}

void DesktopCharacter::settle()
{
    if (!visible()) {
        m_afterAnimation = {};
        m_player.setPose(m_model.restPose);
        return;
    }
    if (m_player.isPlaying()) {
        const Animation *animation = m_player.animation();
        m_afterAnimation = [this, animation] { returnToRest(animation, {}); };
        m_player.exit();
        return;
    }
    returnToRest(m_lastAnimation, {});
}

Pose DesktopCharacter::currentPose() const
{
    Pose pose = m_player.pose();
    if (m_mouthStep >= 0 && m_mouthStep < m_mouth.size()) {
        const int shape = std::clamp(m_mouth.at(m_mouthStep).shape, 0, int(m_model.mouthShapes.size()) - 1);
        pose[QStringLiteral("mouth")].element = m_model.mouthShapes.at(shape);
    }
    return pose;
}

QString DesktopCharacter::currentAnimation() const
{
    return m_player.animation() ? m_player.animation()->name : QString();
}

void DesktopCharacter::render()
{
    if (!m_window || m_closed)
        return;
    // Held and repeated frames draw nothing new. Blending frames come 30
    // times a second and are drawn fast; a pose that stays is drawn exact
    // (again, if its last drawing was fast).
    const Pose pose = currentPose();
    const qreal dpr = m_window->devicePixelRatioF();
    const bool fast = m_player.isTweening() || m_glide.state() == QAbstractAnimation::Running;
    if (m_rendered && dpr == m_renderedDpr && samePose(pose, *m_rendered) && (fast || !m_renderedFast))
        return;
    m_rendered = pose;
    m_renderedDpr = dpr;
    m_renderedFast = fast;
    m_window->setFrame(m_renderer.render(pose, dpr, fast ? CharacterRenderer::Quality::Fast
                                                        : CharacterRenderer::Quality::Exact));
}

// ---- Speech ----------------------------------------------------------------

void DesktopCharacter::startMouth(const QString &spoken, int totalMs)
{
    m_mouthTimer.stop();
    m_mouth = mouthMotion(spoken, int(m_model.mouthShapes.size()), totalMs);
    m_mouthStep = -1;
    nextMouthStep();
}

void DesktopCharacter::nextMouthStep()
{
    ++m_mouthStep;
    if (m_mouthStep >= m_mouth.size()) {
        stopMouth();
        return;
    }
    render();
    m_mouthTimer.start(m_mouth.at(m_mouthStep).ms);
}

void DesktopCharacter::followTiming(const SpeechTiming &timing)
{
    // The engine said when each sound comes: the mouth follows its phones,
    // spread over the character's own shapes.
    m_timedMouth = true;
    m_mouthTimer.stop();
    m_mouth.clear();
    const int shapes = int(m_model.mouthShapes.size());
    if (shapes >= 2) {
        for (const MouthStep &step : timing.mouth)
            m_mouth.append({int(std::lround(step.shape * (shapes - 1) / 3.0)), step.ms});
    }
    m_mouthStep = -1;
    nextMouthStep();
    // The Speak lasts as long as the voice says it does, and a little more.
    if (m_readingTimer.isActive() && m_readingTimer.remainingTime() < timing.totalMs + 1000)
        m_readingTimer.start(timing.totalMs + 1000);
    // The balloon's words as they are said, when it shows what is said.
    if (m_balloon && m_balloon->isVisible() && m_shown == m_spoken) {
        QList<int> starts;
        for (const SpokenWord &w : timing.words)
            starts << w.startMs;
        m_balloon->revealAt(starts);
    }
}

void DesktopCharacter::stopMouth()
{
    const bool moving = m_mouthStep >= 0;
    m_mouthTimer.stop();
    m_mouth.clear();
    m_mouthStep = -1;
    if (moving)
        render();
    // Said: whatever the balloon still holds back shows.
    if (m_balloon)
        m_balloon->revealAll();
}

QPoint DesktopCharacter::balloonAnchor() const
{
    return m_window->pos() + m_model.balloonAnchor.toPoint();
}

void DesktopCharacter::showBalloon(const QString &text, Balloon::Style style)
{
    if (m_balloon && m_window)
        m_balloon->showText(text, style, balloonAnchor(), m_window->geometry());
}

void DesktopCharacter::followBalloon()
{
    if (m_balloon && m_window && m_balloon->isVisible())
        m_balloon->follow(balloonAnchor(), m_window->geometry());
}

// ---- Properties ------------------------------------------------------------

QString DesktopCharacter::name() const
{
    return m_model.name;
}

bool DesktopCharacter::visible() const
{
    return m_window && m_window->isVisible();
}

int DesktopCharacter::left() const
{
    return m_window ? m_window->x() : 0;
}

int DesktopCharacter::top() const
{
    return m_window ? m_window->y() : 0;
}

void DesktopCharacter::placeInitially()
{
    if (m_placed)
        return;
    m_placed = true;
    // Bottom right of the main screen, until the program moves it.
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    m_window->place(QPoint(area.right() - m_model.size.width() - 40, area.bottom() - m_model.size.height() - 40));
}

} // namespace kestrova::character
