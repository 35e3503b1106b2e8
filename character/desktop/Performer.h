#pragma once

#include "AnimationPlayer.h"
#include "CharacterModel.h"
#include "Timers.h"
#include "Voice.h"

#include <QEasingCurve>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

namespace kestrova::character {

class CharacterRenderer;
class CharacterWindow;

// What the character looks like from moment to moment: it plays the
// model's animations, moves the mouth while speaking, glides the window to
// a place, and comes back to the rest pose by itself (the stopped
// animation's exit frames, its return animation, or a short blend). It
// draws into the character's window only when the pose changes.
class Performer : public QObject {
    Q_OBJECT
public:
    Performer(const CharacterModel &model, const CharacterRenderer &renderer, Timers &timers,
              QObject *parent = nullptr);
    ~Performer() override;

    void setWindow(CharacterWindow *window) { m_window = window; }
    void setPick(PickIndex pick) { m_player.setPick(std::move(pick)); }

    // Plays an animation and calls then when it has played.
    void play(const Animation *animation, std::function<void()> then = {});
    // Back to the rest pose after animation: its return animation if it
    // ended away from rest, then a short blend if still needed.
    void returnToRest(const Animation *animation, std::function<void()> then);
    // A request has ended: whatever plays takes its exit and the character
    // comes back to rest; hidden, it is at rest at once.
    void settle();
    bool atRest() const;
    bool isPlaying() const { return m_player.isPlaying(); }
    const Animation *animation() const { return m_player.animation(); }
    // The playing animation takes its exit frames.
    void exit() { m_player.exit(); }

    // The mouth over totalMs of spoken text, or as the voice timed it.
    void startMouth(const QString &spoken, int totalMs);
    void followMouth(const SpeechTiming &timing);
    void stopMouth();
    bool isMouthMoving() const { return m_mouthStep >= 0; }

    // The window glides from one place to another in ms; arrived() at the end.
    void glide(QPoint from, QPoint to, int ms);
    void stopGlide();

    // The pose shown now, mouth included, and the animation playing it.
    Pose currentPose() const;
    QString currentAnimation() const;
    // Draws the pose if it changed.
    void render();
    // Stops everything; nothing more is drawn.
    void halt();

Q_SIGNALS:
    // A frame begins (its sound, if any, belongs to this moment).
    void frameEntered(const kestrova::character::Frame *frame);
    void arrived();
    // The mouth is closed again: whatever the balloon holds back may show.
    void mouthStopped();

private:
    void nextMouthStep();
    void glideStep();
    bool visible() const;

    const CharacterModel &m_model;
    const CharacterRenderer &m_renderer;
    Timers &m_timers;
    QPointer<CharacterWindow> m_window;
    bool m_halted = false;

    AnimationPlayer m_player;
    std::function<void()> m_afterAnimation;
    const Animation *m_lastAnimation = nullptr;
    Animation m_toRest; // one blended frame to the rest pose

    std::optional<Pose> m_rendered; // the pose the window shows
    qreal m_renderedDpr = 1;
    bool m_renderedFast = false;

    QList<MouthStep> m_mouth;
    int m_mouthStep = -1;
    std::unique_ptr<Timer> m_mouthTimer;

    QPoint m_glideFrom, m_glideTo;
    int m_glideMs = 0;
    qint64 m_glideStart = 0;
    bool m_gliding = false;
    QEasingCurve m_glideCurve{QEasingCurve::InOutQuad};
    std::unique_ptr<Timer> m_glideTimer;
};

} // namespace kestrova::character
