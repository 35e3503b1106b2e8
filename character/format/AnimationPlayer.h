#pragma once

#include "CharacterModel.h"
#include "SpeechText.h"
#include "Timers.h"

#include <QObject>
#include <memory>

namespace kestrova::character {

// Plays one animation of a character model frame by frame and reports each
// pose it reaches. A frame waits on a single-shot timer for its duration;
// only a tween frame ticks (about 30 times a second) to blend from the pose
// before it. Between animations nothing runs.
//
// After a frame its branches are tried with one random number 0..99: the
// first branch whose probability, added to those before it, exceeds the
// number is taken; none taken, the next frame follows. Past the last frame
// the animation has finished.
class AnimationPlayer : public QObject {
    Q_OBJECT
public:
    explicit AnimationPlayer(QObject *parent = nullptr);
    // Frames wait on wake-ups of these timers.
    explicit AnimationPlayer(Timers &timers, QObject *parent = nullptr);

    // The random source for branches; called with 100. Default: the global
    // generator.
    void setPick(PickIndex pick) { m_pick = std::move(pick); }

    // Starts an animation from the pose shown now (a tween first frame
    // blends from it). The animation must outlive its playing.
    void play(const Animation *animation);

    // Asks the playing animation to finish cleanly: it jumps to the current
    // frame's exitTo and plays on from there to its end, taking no more
    // branches. Without an exitTo it ends at once. finished() follows
    // either way (at once in the second case).
    void exit();

    // Stops dead, without finished().
    void halt();

    // Shows a pose directly (no animation; halts any).
    void setPose(const Pose &pose);

    bool isPlaying() const { return m_animation != nullptr; }
    const Animation *animation() const { return m_animation; }
    int frameIndex() const { return m_frame; }
    const Pose &pose() const { return m_pose; }
    // A tween frame is blending: the pose changes about 30 times a second.
    bool isTweening() const { return m_animation && m_tweening; }

    // The tween tick.
    static constexpr int TweenTickMs = 33;

Q_SIGNALS:
    void poseChanged();
    // A frame begins (its sound, if any, belongs to this moment).
    void frameEntered(const kestrova::character::Frame *frame);
    void finished(const kestrova::character::Animation *animation);

private:
    void enterFrame(int index);
    void frameDone();
    void tweenTick();
    void finish();

    PickIndex m_pick;
    const Animation *m_animation = nullptr;
    int m_frame = -1;
    bool m_exiting = false;
    bool m_tweening = false;
    quint64 m_generation = 0; // changes whenever a frame starts or playing stops
    Pose m_pose;
    Pose m_from;
    Timers &m_timers;
    std::unique_ptr<Timer> m_timer;
    qint64 m_tweenStart = 0;
};

// True when two poses look the same (every part's values within a hair;
// a part absent from a pose stands as drawn).
bool samePose(const Pose &a, const Pose &b);

} // namespace kestrova::character
