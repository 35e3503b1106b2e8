#pragma once

#include "Balloon.h"
#include "Character.h"
#include "CharacterModel.h"
#include "CharacterRenderer.h"
#include "CharacterWindow.h"
#include "CommandMenu.h"
#include "CharacterSounds.h"
#include "CommandsWindow.h"
#include "Idling.h"
#include "Listening.h"
#include "ListeningPrompt.h"
#include "Performer.h"
#include "RequestQueue.h"
#include "Speaking.h"
#include "SpeechText.h"
#include "Timers.h"
#include "VoiceGrammar.h"
#include "Voice.h"
#include "SpeechListener.h"

#include <QPointer>
#include <functional>
#include <memory>

namespace kestrova::character {

// A character standing on the desktop in a window of its own, playing the
// animations of its model, speaking with a Voice and showing a word balloon.
//
// Requests queue up and play one after another; each reports
// requestComplete exactly once, when it ends on its own or is stopped:
//  - stop() ends the request playing now (it reports) and the next one
//    starts;
//  - stopAll() ends the playing request (it reports) and drops every queued
//    one; each dropped request reports too, in the order it was made, right
//    after the playing one, so whoever waits for one of them is told. A
//    request made while these report is not dropped. Nothing is left to
//    wait for, so the next request made starts right away.
// How a request ended is written to the log, not reported.
// A queued request starts from the event loop, never inside the call that
// made it, so its handle is always known before it can complete.
//
// Requests that reach the front while the character is hidden: Play, Speak,
// Think and GestureAt complete at once without showing it; MoveTo jumps
// there; Show shows it, Hide is done.
//
// After a request the character comes back to its rest pose by itself (the
// stopped animation's exit frames, its return animation, or a short blend);
// the next request cuts that short. At rest nothing runs but one timer for
// the next idle animation: now and then, at random intervals, the character
// plays a one-shot of its "idle-1" state, after a while left alone of
// "idle-2", later of "idle-3", ever calmer and rarer. Any request, click or
// listening starts the count again. Between them nothing is drawn.
//
// Commands: a right click pops up the command menu (after click() is
// raised), which offers the set's menu commands and the service's own
// entries. listen(true) opens the listening prompt beside the character;
// what is typed there is matched against the enabled commands' voice
// grammars and raised as command(). Listening ends with the phrase, with
// Escape, after ListeningPrompt::IdleTimeoutMs without typing, with
// listen(false), or when the character hides. With a speech listener the
// character also listens through the microphone while the prompt is open:
// it shows its "hearing" state while speech comes in, and what was heard
// is raised as command() with the words recognised, the end of the
// utterance ending the listening.
//
// The character is put together from its parts: the request queue (the
// stop rules), the performer (animation, mouth, gliding, the way back to
// rest), speaking, idling, listening and sounds. What each part takes its time from
// is given when the character is made: the event loop's timers, or a
// test's that stand still until it moves them on.
class DesktopCharacter : public Character {
    Q_OBJECT
public:
    DesktopCharacter(CharacterModel model, std::unique_ptr<Voice> voice, QObject *parent = nullptr);
    DesktopCharacter(CharacterModel model, std::unique_ptr<Voice> voice, Timers &timers, QObject *parent = nullptr);
    ~DesktopCharacter() override;

    // False when the character's art could not be read.
    bool isValid() const;

    Request speak(const QString &text) override;
    Request think(const QString &text) override;
    Request play(const QString &animation) override;
    Request show() override;
    Request hide() override;
    Request moveTo(int x, int y) override;
    Request gestureAt(int x, int y) override;

    void stop() override;
    void stopAll() override;
    void stopRequests(const QList<Request> &requests) override;
    // Opens or closes the listening prompt; nothing happens while hidden.
    void listen(bool on) override;
    void placeAt(int x, int y) override;
    bool busy() const override { return isBusy(); }

    QString name() const override;
    bool visible() const override;
    int left() const override;
    int top() const override;
    int languageId() const override { return m_languageId; }
    void setLanguageId(int id) override { m_languageId = id; }
    int balloonStyle() const override { return m_balloonStyle; }
    void setBalloonStyle(int style) override { m_balloonStyle = style; }
    Commands &commands() override { return m_commands; }
    void holdBalloon(bool held) override;
    bool balloonHeld() const override { return m_balloonHeld; }

    // Hides the windows at once and drops every request without reporting
    // them; the character does nothing more. The service does this before
    // it lets the character go.
    void close();

    // Random choices (speech alternatives, animation branches, idle
    // animations and their intervals) come from here; called with the
    // number of choices. Default: the global generator.
    void setPick(PickIndex pick);

    // When idle animations play (see Idling::Timing).
    using IdleTiming = Idling::Timing;
    void setIdleTiming(const IdleTiming &timing);
    // 1..3: how calm the character is by now.
    int idleLevel() const;
    // Whether an idle animation is waiting to play, and when (ms from now).
    bool idleScheduled() const { return m_idling.isScheduled(); }
    int idleDueInMs() const { return m_idling.dueInMs(); }

    const CharacterModel &model() const { return m_model; }
    CharacterWindow *window() const { return m_window; }
    Balloon *balloon() const { return m_balloon; }
    Voice *voice() const { return m_speaking->voice(); }
    // The pose shown now, mouth included, and the animation playing it.
    Pose currentPose() const;
    QString currentAnimation() const;
    // Requests waiting behind the one playing.
    int queuedCount() const { return m_queue.queuedCount(); }
    bool isBusy() const { return m_queue.current().has_value(); }

    // The command windows; null until first used.
    CommandMenu *commandMenu() const { return m_menu; }
    CommandsWindow *commandsWindow() const { return m_commandsWindow; }
    ListeningPrompt *listeningPrompt() const { return m_listening->prompt(); }
    bool isListening() const { return m_listening->isListening(); }
    // Pops up the command menu at a screen position (a right click does).
    void popupCommandMenu(QPoint at);
    void showCommandsWindow();
    // What the prompt does on Enter: matches the phrase and raises command().
    void hear(const QString &phrase);

    // Spoken commands come from here while listening; null: typed only.
    // The listener is not owned and may be shared by characters.
    void setSpeechListener(SpeechListener *listener);
    SpeechListener *speechListener() const { return m_listening->speechListener(); }
    // The enabled commands with something to say, as the recogniser takes them.
    std::vector<VoiceCommand> voiceCommands();
    // A short note of the service's own in the word balloon (shown even
    // with the balloon turned off), gone after the reading time; it never
    // covers a balloon a request is showing.
    void showNotice(const QString &text);
    static inline const QString NoMicrophoneNotice =
        QStringLiteral("I can't hear you: no microphone was found. Type your command instead.");

    // The character service's options, applied at once.
    // Speech output off: nothing is given to the voice, and everything said
    // shows in the balloon for its reading time.
    void setSpeechOutput(bool on) { m_speaking->setOutput(on); }
    bool speechOutput() const { return m_speaking->output(); }
    // The balloon shows while the voice is heard too, whatever the
    // program's balloon style asks.
    void setBalloonWhileSpeaking(bool on) { m_speaking->setBalloonWhileSpeaking(on); }
    bool balloonWhileSpeaking() const { return m_speaking->balloonWhileSpeaking(); }
    // The font of the balloon, for speech and thoughts, from the next one on.
    void setBalloonFont(const QFont &font);
    // A new voice in place of the old one (which is stopped and let go),
    // speaking at rate (-1 .. 1; the reading time and mouth follow it).
    void setVoice(std::unique_ptr<Voice> voice, double rate);
    double speakingRate() const { return m_speaking->rate(); }
    // How long the listening prompt waits for typing.
    void setListeningTimeoutMs(int ms);
    int listeningTimeoutMs() const { return m_listening->timeoutMs(); }

    // Sound effects: a frame's sound, sounds/<name>.wav in the character's
    // folder, plays when the frame shows and sounds are on. A missing file
    // is written to the log once and otherwise ignored.
    void setSoundsOn(bool on) { m_sounds.setOn(on); }
    bool soundsOn() const { return m_sounds.isOn(); }
    // What plays a sound file; by default the sound module (one sound per
    // file, made on first use). Tests count the calls instead.
    using SoundPlayer = CharacterSounds::Player;
    void setSoundPlayer(SoundPlayer player) { m_sounds.setPlayer(std::move(player)); }
    QString soundFile(const QString &name) const { return m_sounds.file(name); }
    static constexpr qreal SoundVolume = CharacterSounds::Volume;

Q_SIGNALS:
    // The user chose the service's options from the popup menu.
    void optionsRequested();

private:
    using Kind = RequestQueue::Kind;
    using Job = RequestQueue::Job;

    Request enqueue(Kind kind, const QString &text = {}, QPoint point = {});
    void start(const Job &job);
    // A request has ended: its traces go and the character comes to rest.
    void ended(const Job &job);
    bool speaking() const;

    void startSpeak(const Job &job, bool thought);
    void startPlay(const Job &job, const Animation *animation);
    void startShow(const Job &job);
    void startHide(const Job &job);
    void startMove(const Job &job);
    // Plays an idle animation of the level or the calmest below it.
    bool playIdle(int level);
    int pickIndex(int count) const;

    void showBalloon(const QString &text, Balloon::Style style);
    void followBalloon();
    QPoint balloonAnchor() const;
    void placeInitially();
    void raiseCommand(const UserInput &input);

    CharacterModel m_model;
    CharacterRenderer m_renderer;
    Timers &m_timers;
    PickIndex m_pick;
    Commands m_commands;
    int m_languageId = 1033;
    int m_balloonStyle = BalloonOn;
    bool m_balloonHeld = false;

    QPointer<CharacterWindow> m_window;
    QPointer<Balloon> m_balloon;
    bool m_placed = false;

    RequestQueue m_queue;
    Performer m_performer;
    Idling m_idling;
    CharacterSounds m_sounds;
    std::unique_ptr<Speaking> m_speaking;
    std::unique_ptr<Listening> m_listening;
    std::unique_ptr<Timer> m_noticeTimer;
    QString m_notice;

    QPointer<CommandMenu> m_menu;
    QPointer<CommandsWindow> m_commandsWindow;
};

} // namespace kestrova::character
