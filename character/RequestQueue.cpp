#include "RequestQueue.h"

#include "DesktopCharacterLog.h"
#include "SpeechText.h"

#include <atomic>
#include <utility>

namespace kestrova::character {

namespace {

// Handles are unique across every character of the program.
std::atomic<quint64> nextRequestId{1};

QString shortText(const QString &text)
{
    // Whole, so a run can be followed sentence by sentence; only very long
    // texts are cut.
    const QString s = text.simplified();
    return s.size() > 240 ? s.left(237) + QStringLiteral("...") : s;
}

} // namespace

RequestQueue::RequestQueue(Timers &timers, QObject *parent)
    : QObject(parent), m_timers(timers), m_pump(timers.timer([this] { pump(); }))
{
}

RequestQueue::~RequestQueue() = default;

QString RequestQueue::describe(const Job &job)
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

Request RequestQueue::add(Kind kind, const QString &text, QPoint point)
{
    if (m_closed)
        return {};
    const Job job{Request(nextRequestId++), kind, text, point};
    qCDebug(lcCharacter).noquote() << QStringLiteral("#%1 %2").arg(job.request.id()).arg(describe(job));
    m_queue.append(job);
    if (!m_current)
        m_pump->start(0);
    return job.request;
}

void RequestQueue::pump()
{
    if (m_closed || m_current || m_queue.isEmpty())
        return;
    m_current = m_queue.takeFirst();
    m_startedAt = m_timers.elapsedMs();
    Q_EMIT started(*m_current);
}

void RequestQueue::finish(const QString &how)
{
    if (!m_current)
        return;
    const Job job = *m_current;
    m_current.reset();
    Q_EMIT ending(job);
    qCDebug(lcCharacter).noquote()
        << QStringLiteral("#%1 %2 complete after %3 ms%4")
               .arg(job.request.id())
               .arg(describe(job).section(u' ', 0, 0))
               .arg(m_timers.elapsedMs() - m_startedAt)
               .arg(how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how));
    Q_EMIT completed(job.request);
    if (!m_current && !m_queue.isEmpty())
        m_pump->start(0);
    else if (!m_current && !m_closed)
        Q_EMIT drained();
}

void RequestQueue::stop()
{
    finish(QStringLiteral("stopped"));
}

void RequestQueue::stopAll()
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
        reportDropped(job, QStringLiteral("StopAll"));
    }
    if (isIdle() && !m_closed)
        Q_EMIT drained();
}

void RequestQueue::stopRequests(const QList<Request> &requests)
{
    QList<Job> dropped;
    for (qsizetype i = 0; i < m_queue.size();) {
        if (requests.contains(m_queue.at(i).request))
            dropped << m_queue.takeAt(i);
        else
            ++i;
    }
    // The one playing was made before any queued one: it reports first (and
    // says when nothing is left).
    const bool playing = m_current && requests.contains(m_current->request);
    if (playing)
        finish(QStringLiteral("stopped"));
    for (const Job &job : dropped) {
        if (m_closed)
            return;
        reportDropped(job, QStringLiteral("a stop"));
    }
    if (!playing && !dropped.isEmpty() && isIdle() && !m_closed)
        Q_EMIT drained();
}

void RequestQueue::reportDropped(const Job &job, const QString &by)
{
    qCDebug(lcCharacter).noquote() << QStringLiteral("#%1 %2 complete (dropped by %3)")
                                          .arg(job.request.id())
                                          .arg(describe(job).section(u' ', 0, 0), by);
    Q_EMIT completed(job.request);
}

void RequestQueue::close()
{
    m_closed = true;
    m_queue.clear();
    m_current.reset();
    m_pump->stop();
}

} // namespace kestrova::character
