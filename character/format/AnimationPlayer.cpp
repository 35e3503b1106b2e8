#include "AnimationPlayer.h"

#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace kestrova::character {

AnimationPlayer::AnimationPlayer(QObject *parent) : AnimationPlayer(Timers::system(), parent)
{
}

AnimationPlayer::AnimationPlayer(Timers &timers, QObject *parent)
    : QObject(parent), m_timers(timers), m_timer(timers.timer(
                                             [this] {
                                                 if (m_tweening)
                                                     tweenTick();
                                                 else
                                                     frameDone();
                                             },
                                             true))
{
}

void AnimationPlayer::play(const Animation *animation)
{
    m_timer->stop();
    m_animation = animation && !animation->frames.isEmpty() ? animation : nullptr;
    m_exiting = false;
    m_frame = -1;
    if (!m_animation) {
        // Nothing to show: an empty animation has played.
        Q_EMIT finished(animation);
        return;
    }
    enterFrame(0);
}

void AnimationPlayer::exit()
{
    if (!m_animation)
        return;
    const Frame &frame = m_animation->frames.at(m_frame);
    const bool wasExiting = m_exiting;
    m_exiting = true;
    if (wasExiting)
        return; // already on its way out
    if (frame.exitTo >= 0 && frame.exitTo < m_animation->frames.size()) {
        m_timer->stop();
        enterFrame(frame.exitTo);
    } else {
        finish();
    }
}

void AnimationPlayer::halt()
{
    m_timer->stop();
    m_tweening = false;
    m_animation = nullptr;
    m_frame = -1;
    ++m_generation;
}

void AnimationPlayer::setPose(const Pose &pose)
{
    halt();
    m_pose = pose;
    Q_EMIT poseChanged();
}

void AnimationPlayer::enterFrame(int index)
{
    m_frame = index;
    const quint64 generation = ++m_generation;
    const Frame &frame = m_animation->frames.at(index);
    const int duration = std::max(0, frame.durationMs);
    m_from = m_pose;
    m_tweening = frame.tween && duration > 0;
    Q_EMIT frameEntered(&frame);
    // The signal's receiver may have started or stopped something.
    if (generation != m_generation)
        return;
    if (m_tweening) {
        m_tweenStart = m_timers.elapsedMs();
        m_timer->start(std::min(TweenTickMs, duration));
        return;
    }
    m_pose = frame.pose;
    Q_EMIT poseChanged();
    // The signal's receiver may have started or stopped something.
    if (generation == m_generation)
        m_timer->start(duration);
}

void AnimationPlayer::tweenTick()
{
    const Frame &frame = m_animation->frames.at(m_frame);
    const int duration = std::max(1, frame.durationMs);
    const qint64 elapsed = m_timers.elapsedMs() - m_tweenStart;
    const quint64 generation = m_generation;
    if (elapsed >= duration) {
        m_tweening = false;
        m_pose = frame.pose;
        // Arrived. What follows decides how the pose is reported: a held
        // frame reports its own pose at once, so this one would be drawn for
        // no time at all; another blend starts from it and reports it as
        // part of that blend (drawn fast, not exact for one tick); only at
        // the end is it reported as the pose that stays.
        frameDone();
        if (!isPlaying() || isTweening())
            Q_EMIT poseChanged();
        return;
    }
    m_pose = interpolatePose(m_from, frame.pose, double(elapsed) / duration);
    Q_EMIT poseChanged();
    if (generation == m_generation)
        m_timer->start(int(std::min<qint64>(TweenTickMs, duration - elapsed)));
}

void AnimationPlayer::frameDone()
{
    if (!m_animation)
        return;
    const Frame &frame = m_animation->frames.at(m_frame);
    int next = m_frame + 1;
    if (!m_exiting && !frame.branches.isEmpty()) {
        const int roll = m_pick ? m_pick(100) : int(QRandomGenerator::global()->bounded(100));
        int sum = 0;
        for (const Branch &branch : frame.branches) {
            sum += branch.probability;
            if (roll < sum) {
                next = branch.toFrame;
                break;
            }
        }
    }
    if (next < 0 || next >= m_animation->frames.size()) {
        finish();
        return;
    }
    enterFrame(next);
}

void AnimationPlayer::finish()
{
    const Animation *done = m_animation;
    halt();
    Q_EMIT finished(done);
}

bool samePose(const Pose &a, const Pose &b)
{
    static const PartPose asDrawn;
    auto close = [](double x, double y) { return std::abs(x - y) < 1e-3; };
    auto same = [&](const PartPose &p, const PartPose &q) {
        return close(p.dx, q.dx) && close(p.dy, q.dy) && close(p.rotation, q.rotation)
            && close(p.scaleX, q.scaleX) && close(p.scaleY, q.scaleY)
            && close(p.opacity, q.opacity) && p.element == q.element;
    };
    QSet<QString> parts;
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        parts.insert(it.key());
    for (auto it = b.cbegin(); it != b.cend(); ++it)
        parts.insert(it.key());
    for (const QString &part : parts) {
        const auto ia = a.constFind(part);
        const auto ib = b.constFind(part);
        if (!same(ia == a.cend() ? asDrawn : *ia, ib == b.cend() ? asDrawn : *ib))
            return false;
    }
    return true;
}

} // namespace kestrova::character
