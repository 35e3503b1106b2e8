#pragma once

#include "AnimationPlayer.h"
#include "Balloon.h"
#include "Character.h"
#include "CharacterModel.h"
#include "CharacterRenderer.h"
#include "CharacterWindow.h"
#include "CommandMenu.h"
#include "CommandsWindow.h"
#include "ListeningPrompt.h"
#include "SpeechText.h"
#include "VoiceGrammar.h"
#include "Voice.h"
#include "SpeechListener.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QVariantAnimation>
#include <functional>

class QSoundEffect;
#include <memory>
#include <optional>

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
class DesktopCharacter : public Character {
    Q_OBJECT
public:
    DesktopCharacter(CharacterModel model, std::unique_ptr<Voice> voice, QObject *parent = nullptr);
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
    // Opens or closes the listening prompt; nothing happens while hidden.
    void listen(bool on) override;

    QString name() const override;
    bool visible() const override;
    int left() const override;
    int top() const override;
    int languageId() const override { return m_languageId; }
    void setLanguageId(int id) override { m_languageId = id; }
    int balloonStyle() const override { return m_balloonStyle; }
    void setBalloonStyle(int style) override { m_balloonStyle = style; }
    Commands &commands() override { return m_commands; }

    // Hides the windows at once and drops every request without reporting
    // them; the character does nothing more. The service does this before
    // it lets the character go.
    void close();

    // Random choices (speech alternatives, animation branches, idle
    // animations and their intervals) come from here; called with the
    // number of choices. Default: the global generator.
    void setPick(PickIndex pick);

    // When idle animations play: after levelTwoAfterMs / levelThreeAfterMs
    // without a request the level goes up; at each level the next idle
    // animation comes a random time between min and max after the last.
    // The defaults keep a character left alone near no processor time: a
    // short one-shot about once a minute at first, every few minutes later.
    struct IdleTiming {
        int levelTwoAfterMs = 3 * 60 * 1000;
        int levelThreeAfterMs = 10 * 60 * 1000;
        int minMs[3] = {25 * 1000, 60 * 1000, 120 * 1000};
        int maxMs[3] = {75 * 1000, 180 * 1000, 360 * 1000};
    };
    void setIdleTiming(const IdleTiming &timing);
    // 1..3: how calm the character is by now.
    int idleLevel() const;
    // Whether an idle animation is waiting to play, and when (ms from now).
    bool idleScheduled() const { return m_idleTimer.isActive(); }
    int idleDueInMs() const { return m_idleTimer.remainingTime(); }

    const CharacterModel &model() const { return m_model; }
    CharacterWindow *window() const { return m_window; }
    Balloon *balloon() const { return m_balloon; }
    Voice *voice() const { return m_voice.get(); }
    // The pose shown now, mouth included, and the animation playing it.
    Pose currentPose() const;
    QString currentAnimation() const;
    // Requests waiting behind the one playing.
    int queuedCount() const { return int(m_queue.size()); }
    bool isBusy() const { return m_current.has_value(); }

    // The command windows; null until first used.
    CommandMenu *commandMenu() const { return m_menu; }
    CommandsWindow *commandsWindow() const { return m_commandsWindow; }
    ListeningPrompt *listeningPrompt() const { return m_prompt; }
    bool isListening() const { return m_listening; }
    // Pops up the command menu at a screen position (a right click does).
    void popupCommandMenu(QPoint at);
    void showCommandsWindow();
    // What the prompt does on Enter: matches the phrase and raises command().
    void hear(const QString &phrase);

    // Spoken commands come from here while listening; null: typed only.
    // The listener is not owned and may be shared by characters.
    void setSpeechListener(SpeechListener *listener);
    SpeechListener *speechListener() const { return m_speech; }
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
    void setSpeechOutput(bool on) { m_speechOutput = on; }
    bool speechOutput() const { return m_speechOutput; }
    // The balloon shows while the voice is heard too, whatever the
    // program's balloon style asks.
    void setBalloonWhileSpeaking(bool on) { m_balloonWhileSpeaking = on; }
    bool balloonWhileSpeaking() const { return m_balloonWhileSpeaking; }
    // The font of the balloon, for speech and thoughts, from the next one on.
    void setBalloonFont(const QFont &font);
    // A new voice in place of the old one (which is stopped and let go),
    // speaking at rate (-1 .. 1; the reading time and mouth follow it).
    void setVoice(std::unique_ptr<Voice> voice, double rate);
    double speakingRate() const { return m_rate; }
    // How long the listening prompt waits for typing.
    void setListeningTimeoutMs(int ms);
    int listeningTimeoutMs() const { return m_listeningTimeoutMs; }

    // Sound effects: a frame's sound, sounds/<name>.wav in the character's
    // folder, plays when the frame shows and sounds are on. A missing file
    // is written to the log once and otherwise ignored.
    void setSoundsOn(bool on) { m_soundsOn = on; }
    bool soundsOn() const { return m_soundsOn; }
    // What plays a sound file; by default a QSoundEffect per sound, made on
    // first use. Tests count the calls instead.
    using SoundPlayer = std::function<void(const QString &file)>;
    void setSoundPlayer(SoundPlayer player) { m_soundPlayer = std::move(player); }
    QString soundFile(const QString &name) const;
    static constexpr qreal SoundVolume = 0.5;

Q_SIGNALS:
    // The user chose the service's options from the popup menu.
    void optionsRequested();

private:
    enum class Kind { Speak, Think, Play, Show, Hide, MoveTo, GestureAt };
    struct Job {
        Request request;
        Kind kind;
        QString text;
        QPoint point;
    };

    Request enqueue(Kind kind, const QString &text = {}, QPoint point = {});
    static QString describe(const Job &job);
    void pump();
    void start(const Job &job);
    void finish(const QString &how = {});
    // Reports a request that never started.
    void reportDropped(const Job &job);
    bool isCurrent(Request request) const;

    void startSpeak(const Job &job, bool thought);
    void startPlay(const Job &job, const Animation *animation);
    void startShow(const Job &job);
    void startHide(const Job &job);
    void startMove(const Job &job);

    // Plays an animation and calls then when it has played.
    void playAnimation(const Animation *animation, std::function<void()> then = {});
    // Back to the rest pose after animation: its return animation if it
    // ended away from rest, then a short blend if still needed.
    void returnToRest(const Animation *animation, std::function<void()> then);
    void settle();
    bool atRest() const;

    void render();
    void showBalloon(const QString &text, Balloon::Style style);
    void followBalloon();
    QPoint balloonAnchor() const;
    void connectVoice();
    // The utterance will not be heard: the mouth stops and the balloon shows
    // what was to be said, until the reading time is up.
    void showUnheardSpeech();
    void playFrameSound(const Frame *frame);
    void startMouth(const QString &spoken, int totalMs);
    void followTiming(const SpeechTiming &timing);
    void stopMouth();
    void nextMouthStep();
    void placeInitially();

    void scheduleIdle();
    void playIdle();
    void userActive();
    int pickIndex(int count) const;

    void endListening(const QString &why);
    void updateMatcher();
    void playListening(const QString &state);
    void raiseCommand(const UserInput &input);
    void raiseHeard(const QString &name, int confidence, const QString &words);
    void hearVoice(const Recognition &heard);

    CharacterModel m_model;
    CharacterRenderer m_renderer;
    std::unique_ptr<Voice> m_voice;
    PickIndex m_pick;
    Commands m_commands;
    int m_languageId = 1033;
    int m_balloonStyle = BalloonOn;

    QPointer<CharacterWindow> m_window;
    QPointer<Balloon> m_balloon;
    bool m_placed = false;
    bool m_closed = false;

    AnimationPlayer m_player;
    std::function<void()> m_afterAnimation;
    const Animation *m_lastAnimation = nullptr;
    Animation m_toRest; // one blended frame to the rest pose

    QList<Job> m_queue;
    std::optional<Job> m_current;
    QElapsedTimer m_currentClock;
    QTimer m_pump;
    QTimer m_readingTimer;
    QVariantAnimation m_glide;

    int m_utterance = 0;       // the voice's utterance for the running Speak
    QElapsedTimer m_utteranceClock;
    QString m_spoken;          // what the running Speak says
    QString m_shown;           // and shows
    std::optional<Pose> m_rendered; // the pose the window shows
    qreal m_renderedDpr = 1;
    bool m_renderedFast = false;
    QList<MouthStep> m_mouth;
    int m_mouthStep = -1;
    QTimer m_mouthTimer;
    bool m_timedMouth = false; // the voice's own timing drives the mouth

    QPointer<CommandMenu> m_menu;
    QPointer<CommandsWindow> m_commandsWindow;
    QPointer<ListeningPrompt> m_prompt;
    bool m_listening = false;
    CommandMatcher m_matcher;
    QString m_matcherKey;          // the names and grammars it was built from
    QSet<QString> m_badGrammars;   // warned about already
    const Animation *m_listeningAnimation = nullptr;
    QTimer m_listeningHold;

    IdleTiming m_idleTiming;
    QTimer m_idleTimer;
    QElapsedTimer m_sinceActive;

    QPointer<SpeechListener> m_speech;
    bool m_voiceListening = false;    // the listener runs for this character
    bool m_toldNoMicrophone = false;  // said once a run
    QTimer m_noticeTimer;
    QString m_notice;

    bool m_speechOutput = true;
    bool m_balloonWhileSpeaking = false;
    double m_rate = 0;
    int m_listeningTimeoutMs = ListeningPrompt::IdleTimeoutMs;
    bool m_soundsOn = true;
    SoundPlayer m_soundPlayer;
    QSet<QString> m_missingSounds; // reported already
    QHash<QString, QSoundEffect *> m_soundEffects; // file -> its sound, kept for the next play
};

} // namespace kestrova::character
