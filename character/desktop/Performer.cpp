#include "Performer.h"

#include "CharacterRenderer.h"
#include "CharacterWindow.h"

#include <algorithm>
#include <cmath>

namespace kestrova::character {

namespace {

// How long the blend back to the rest pose takes when an animation leaves
// the character elsewhere and has no return animation.
constexpr int ToRestMs = 200;

// A glide moves the window this often.
constexpr int GlideStepMs = 16;

} // namespace

Performer::Performer(const CharacterModel &model, const CharacterRenderer &renderer, Timers &timers, QObject *parent)
    : QObject(parent), m_model(model), m_renderer(renderer), m_timers(timers), m_player(timers),
      m_mouthTimer(timers.timer([this] { nextMouthStep(); })), m_glideTimer(timers.timer([this] { glideStep(); }))
{
    Frame toRest;
    toRest.pose = m_model.restPose;
    toRest.durationMs = ToRestMs;
    toRest.tween = true;
    m_toRest.name = QStringLiteral("(back to rest)");
    m_toRest.frames = {toRest};

    connect(&m_player, &AnimationPlayer::poseChanged, this, &Performer::render);
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
    connect(&m_player, &AnimationPlayer::frameEntered, this, &Performer::frameEntered);
    m_player.setPose(m_model.restPose);
}

Performer::~Performer() = default;

bool Performer::visible() const
{
    return m_window && m_window->isVisible();
}

void Performer::play(const Animation *animation, std::function<void()> then)
{
    m_afterAnimation = std::move(then);
    m_player.play(animation);
}

bool Performer::atRest() const
{
    return samePose(m_player.pose(), m_model.restPose);
}

void Performer::returnToRest(const Animation *animation, std::function<void()> then)
{
    if (atRest()) {
        if (then)
            then();
        return;
    }
    const Animation *back = animation ? m_model.animation(animation->returnAnimation) : nullptr;
    if (back && back != animation) {
        play(back, [this, then] {
            if (atRest()) {
                if (then)
                    then();
            } else {
                play(&m_toRest, then);
            }
        });
        return;
    }
    play(&m_toRest, then);
}

void Performer::settle()
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

Pose Performer::currentPose() const
{
    Pose pose = m_player.pose();
    if (m_mouthStep >= 0 && m_mouthStep < m_mouth.size()) {
        const int shape = std::clamp(m_mouth.at(m_mouthStep).shape, 0, int(m_model.mouthShapes.size()) - 1);
        pose[QStringLiteral("mouth")].element = m_model.mouthShapes.at(shape);
    }
    return pose;
}

QString Performer::currentAnimation() const
{
    return m_player.animation() ? m_player.animation()->name : QString();
}

void Performer::render()
{
    if (!m_window || m_halted)
        return;
    // Held and repeated frames draw nothing new. Blending frames come 30
    // times a second and are drawn fast; a pose that stays is drawn exact
    // (again, if its last drawing was fast).
    const Pose pose = currentPose();
    const qreal dpr = m_window->devicePixelRatioF();
    const bool fast = m_player.isTweening() || m_gliding;
    if (m_rendered && dpr == m_renderedDpr && samePose(pose, *m_rendered) && (fast || !m_renderedFast))
        return;
    m_rendered = pose;
    m_renderedDpr = dpr;
    m_renderedFast = fast;
    m_window->setFrame(m_renderer.render(pose, dpr, fast ? CharacterRenderer::Quality::Fast
                                                        : CharacterRenderer::Quality::Exact));
}

void Performer::halt()
{
    m_halted = true;
    m_afterAnimation = {};
    m_player.halt();
    m_mouthTimer->stop();
    stopGlide();
}

// ---- The mouth -------------------------------------------------------------

void Performer::startMouth(const QString &spoken, int totalMs)
{
    m_mouthTimer->stop();
    m_mouth = mouthMotion(spoken, int(m_model.mouthShapes.size()), totalMs);
    m_mouthStep = -1;
    nextMouthStep();
}

void Performer::followMouth(const SpeechTiming &timing)
{
    // The engine said when each sound comes: the mouth follows its phones,
    // spread over the character's own shapes.
    m_mouthTimer->stop();
    m_mouth.clear();
    const int shapes = int(m_model.mouthShapes.size());
    if (shapes >= 2) {
        for (const MouthStep &step : timing.mouth)
            m_mouth.append({int(std::lround(step.shape * (shapes - 1) / 3.0)), step.ms});
    }
    m_mouthStep = -1;
    nextMouthStep();
}

void Performer::nextMouthStep()
{
    ++m_mouthStep;
    if (m_mouthStep >= m_mouth.size()) {
        stopMouth();
        return;
    }
    render();
    m_mouthTimer->start(m_mouth.at(m_mouthStep).ms);
}

void Performer::stopMouth()
{
    const bool moving = m_mouthStep >= 0;
    m_mouthTimer->stop();
    m_mouth.clear();
    m_mouthStep = -1;
    if (moving)
        render();
    Q_EMIT mouthStopped();
}

// ---- Gliding ---------------------------------------------------------------

void Performer::glide(QPoint from, QPoint to, int ms)
{
    m_glideFrom = from;
    m_glideTo = to;
    m_glideMs = std::max(1, ms);
    m_glideStart = m_timers.elapsedMs();
    m_gliding = true;
    glideStep();
}

void Performer::stopGlide()
{
    m_gliding = false;
    m_glideTimer->stop();
}

void Performer::glideStep()
{
    if (!m_gliding)
        return;
    const double t = std::clamp(double(m_timers.elapsedMs() - m_glideStart) / m_glideMs, 0.0, 1.0);
    const QPointF at = QPointF(m_glideFrom) + QPointF(m_glideTo - m_glideFrom) * m_glideCurve.valueForProgress(t);
    if (m_window)
        m_window->place(at.toPoint());
    if (t >= 1) {
        m_gliding = false;
        Q_EMIT arrived();
        return;
    }
    m_glideTimer->start(GlideStepMs);
}

} // namespace kestrova::character
