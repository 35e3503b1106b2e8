#pragma once

#include "Request.h"
#include "Timers.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <memory>
#include <optional>

namespace kestrova::character {

// The character's requests, waiting their turn and the one playing, with
// the rules for ending them. Knows nothing of how a request is played.
//
// Each request reports completed() exactly once, when it ends on its own
// (finish()) or is stopped:
//  - stop() ends the request playing now (it reports) and the next one
//    starts;
//  - stopAll() ends the playing request (it reports) and drops every queued
//    one; each dropped request reports too, in the order it was made, right
//    after the playing one, so whoever waits for one of them is told. A
//    request made while these report is not dropped. Nothing is left to
//    wait for, so the next request made starts right away.
// A queued request starts (started()) from a 0 ms wake-up, never inside
// the call that made it, so its handle is always known before it can
// complete. ending() comes before completed(), for whoever plays the
// request to put things back; drained() when nothing runs or waits any
// more. How a request ended is written to the log, not reported.
class RequestQueue : public QObject {
    Q_OBJECT
public:
    enum class Kind { Speak, Think, Play, Show, Hide, MoveTo, GestureAt };
    struct Job {
        Request request;
        Kind kind;
        QString text;
        QPoint point;
    };

    explicit RequestQueue(Timers &timers, QObject *parent = nullptr);
    ~RequestQueue() override;

    // A new request at the back; a null one once closed.
    Request add(Kind kind, const QString &text = {}, QPoint point = {});

    // Ends the playing request: how says why, for the log.
    void finish(const QString &how = {});
    void stop();
    void stopAll();
    // Ends the playing request when it is one of these and drops the queued
    // ones that are; each reports, in the order made. The others stay.
    void stopRequests(const QList<Request> &requests);
    // Drops everything without a report; nothing more is taken.
    void close();
    bool isClosed() const { return m_closed; }

    const std::optional<Job> &current() const { return m_current; }
    bool isCurrent(Request request) const { return m_current && m_current->request == request; }
    bool isRunning(Kind kind) const { return m_current && m_current->kind == kind; }
    int queuedCount() const { return int(m_queue.size()); }
    // Nothing playing and nothing waiting.
    bool isIdle() const { return !m_current && m_queue.isEmpty(); }

    static QString describe(const Job &job);

Q_SIGNALS:
    void started(const kestrova::character::RequestQueue::Job &job);
    void ending(const kestrova::character::RequestQueue::Job &job);
    void completed(kestrova::character::Request request);
    void drained();

private:
    void pump();
    void reportDropped(const Job &job, const QString &by);

    Timers &m_timers;
    std::unique_ptr<Timer> m_pump;
    QList<Job> m_queue;
    std::optional<Job> m_current;
    qint64 m_startedAt = 0;
    bool m_closed = false;
};

} // namespace kestrova::character
