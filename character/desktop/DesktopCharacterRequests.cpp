// How each request plays once it reaches the front of the queue: showing,
// hiding, an animation, a glide to a place, a gesture toward one; speaking
// starts in the character's own file.

#include "DesktopCharacter.h"

#include "DesktopCharacterLog.h"

#include <algorithm>
#include <cmath>

namespace kestrova::character {

namespace {

// Glide speed of MoveTo, and the bounds of its time.
constexpr double GlidePixelsPerSecond = 600;
constexpr int GlideMinMs = 250;
constexpr int GlideMaxMs = 1500;

// The state named for the direction from the character to a point.
QString facing(QPoint d, const QString &prefix)
{
    if (std::abs(d.x()) >= std::abs(d.y()))
        return prefix + (d.x() < 0 ? QStringLiteral("left") : QStringLiteral("right"));
    return prefix + (d.y() < 0 ? QStringLiteral("up") : QStringLiteral("down"));
}

} // namespace

// ---- Requests --------------------------------------------------------------

Request DesktopCharacter::speak(const QString &text) { return enqueue(Kind::Speak, text); }
Request DesktopCharacter::think(const QString &text) { return enqueue(Kind::Think, text); }
Request DesktopCharacter::play(const QString &animation) { return enqueue(Kind::Play, animation); }
Request DesktopCharacter::show() { return enqueue(Kind::Show); }
Request DesktopCharacter::hide() { return enqueue(Kind::Hide); }
Request DesktopCharacter::moveTo(int x, int y) { return enqueue(Kind::MoveTo, {}, QPoint(x, y)); }
Request DesktopCharacter::gestureAt(int x, int y) { return enqueue(Kind::GestureAt, {}, QPoint(x, y)); }
void DesktopCharacter::stop() { m_queue.stop(); }
void DesktopCharacter::stopAll() { m_queue.stopAll(); }
void DesktopCharacter::stopRequests(const QList<Request> &requests) { m_queue.stopRequests(requests); }

Request DesktopCharacter::enqueue(Kind kind, const QString &text, QPoint point)
{
    if (m_queue.isClosed())
        return {};
    m_idling.userActive();
    return m_queue.add(kind, text, point);
}

bool DesktopCharacter::speaking() const
{
    return m_queue.isRunning(Kind::Speak) || m_queue.isRunning(Kind::Think);
}

void DesktopCharacter::start(const Job &job)
{
    if (job.kind == Kind::Show || job.kind == Kind::Hide || job.kind == Kind::MoveTo) {
        job.kind == Kind::Show ? startShow(job) : job.kind == Kind::Hide ? startHide(job) : startMove(job);
        return;
    }
    // Play, Speak, Think and GestureAt complete at once while hidden.
    if (!visible()) {
        m_queue.finish(QStringLiteral("hidden"));
        return;
    }
    if (job.kind == Kind::Speak || job.kind == Kind::Think) {
        startSpeak(job, job.kind == Kind::Think);
    } else if (job.kind == Kind::Play) {
        if (const Animation *animation = m_model.animation(job.text))
            startPlay(job, animation);
        else
            m_queue.finish(QStringLiteral("no animation of that name"));
    } else {
        const QString state = facing(job.point - m_window->geometry().center(), QStringLiteral("gesturing-"));
        if (const Animation *animation = m_model.stateAnimation(state))
            startPlay(job, animation);
        else
            m_queue.finish(QStringLiteral("no %1 animation").arg(state));
    }
}

void DesktopCharacter::ended(const Job &job)
{
    m_speaking->end();
    m_performer.stopGlide();
    if (m_balloon && (!m_balloonHeld || job.kind == Kind::Hide))
        m_balloon->hide();
    if (job.kind == Kind::Hide && m_window) {
        m_window->hide();
        m_listening->end(QStringLiteral("hidden"));
    }
    m_performer.settle();
}

void DesktopCharacter::startShow(const Job &job)
{
    if (visible()) {
        m_queue.finish(QStringLiteral("already shown"));
        return;
    }
    placeInitially();
    // Sent while hidden to a place on no screen, it shows on one (as the
    // window's show would put it): the line says where it appears.
    m_window->place(m_window->onScreens(m_window->pos()));
    qCDebug(lcCharacter).noquote() << QStringLiteral("Shown at %1 %2 size %3 %4")
                                          .arg(m_window->x())
                                          .arg(m_window->y())
                                          .arg(m_window->width())
                                          .arg(m_window->height());
    const Animation *showing = m_model.stateAnimation(QStringLiteral("showing"));
    if (!showing) {
        m_performer.render();
        m_window->show();
        m_queue.finish();
        return;
    }
    // Its first frame is drawn before the window appears, so the character
    // never flashes in its rest pose first.
    const Request request = job.request;
    m_performer.play(showing, [this, request] {
        if (m_queue.isCurrent(request))
            m_queue.finish();
    });
    if (m_queue.isCurrent(request))
        m_window->show();
}

void DesktopCharacter::startHide(const Job &job)
{
    if (!visible()) {
        m_queue.finish(QStringLiteral("already hidden"));
        return;
    }
    if (m_balloon)
        m_balloon->hide();
    // The window hides as the request ends, before its completion is reported.
    const Request request = job.request;
    m_performer.play(m_model.stateAnimation(QStringLiteral("hiding")), [this, request] {
        if (m_queue.isCurrent(request))
            m_queue.finish();
    });
}

void DesktopCharacter::startPlay(const Job &job, const Animation *animation)
{
    const Request request = job.request;
    m_performer.play(animation, [this, request, animation] {
        if (!m_queue.isCurrent(request))
            return;
        m_performer.returnToRest(animation, [this, request] {
            if (m_queue.isCurrent(request))
                m_queue.finish();
        });
    });
}

void DesktopCharacter::startMove(const Job &job)
{
    m_placed = true;
    const QPoint from = m_window->pos();
    if (!visible()) {
        // Showing brings a place on no screen back onto one.
        m_window->place(job.point);
        m_queue.finish(QStringLiteral("hidden, jumped there"));
        return;
    }
    // A place on no screen (a rest position kept from a monitor that is
    // gone, a target worked out past the edge) would leave the character
    // out of reach: it glides to the nearest place on the main screen.
    const QPoint to = m_window->onScreens(job.point);
    const QPoint d = to - from;
    const double distance = std::hypot(double(d.x()), double(d.y()));
    if (distance < 1) {
        m_queue.finish(QStringLiteral("already there"));
        return;
    }
    m_performer.play(m_model.stateAnimation(facing(d, QStringLiteral("moving-"))));
    m_performer.glide(from, to, std::clamp(int(distance / GlidePixelsPerSecond * 1000), GlideMinMs, GlideMaxMs));
}

} // namespace kestrova::character
