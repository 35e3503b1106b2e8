// The character's core on its own, without a display or widgets: the
// request queue's stop rules and idling, on the test's own timers.

#include "Idling.h"
#include "ManualTimers.h"
#include "RequestQueue.h"

#include <QTest>

using namespace kestrova::character;
using kestrova::test::ManualTimers;
using Kind = RequestQueue::Kind;

namespace {

// What the queue did, in order: "start #n", "end #n", "done #n", "drained".
struct QueueLog {
    explicit QueueLog(RequestQueue &queue)
    {
        QObject::connect(&queue, &RequestQueue::started, &queue,
                         [this](const RequestQueue::Job &j) { events << QStringLiteral("start #%1").arg(j.request.id()); });
        QObject::connect(&queue, &RequestQueue::ending, &queue,
                         [this](const RequestQueue::Job &j) { events << QStringLiteral("end #%1").arg(j.request.id()); });
        QObject::connect(&queue, &RequestQueue::completed, &queue,
                         [this](Request r) { events << QStringLiteral("done #%1").arg(r.id()); });
        QObject::connect(&queue, &RequestQueue::drained, &queue, [this] { events << QStringLiteral("drained"); });
    }
    QStringList take() { return std::exchange(events, {}); }
    QStringList events;
};

QString n(Request r, const char *what)
{
    return QStringLiteral("%1 #%2").arg(QLatin1String(what)).arg(r.id());
}

} // namespace

class TestRequestQueue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestsStartFromAWakeUpOneAfterAnother();
    void stopAndStopAllFollowTheirRules();
    void stopRequestsEndsThoseOnly();
    void idlingFollowsTheTimeLeftAlone();
};

void TestRequestQueue::requestsStartFromAWakeUpOneAfterAnother()
{
    ManualTimers timers;
    RequestQueue queue(timers);
    QueueLog log(queue);
    const Request a = queue.add(Kind::Speak, QStringLiteral("Hello"));
    const Request b = queue.add(Kind::Play, QStringLiteral("Wave"));
    QVERIFY(!a.isNull() && !b.isNull() && a != b);
    // Never inside the call that made it: only once the wake-up comes.
    QVERIFY(log.events.isEmpty());
    QCOMPARE(queue.queuedCount(), 2);
    timers.advance(0);
    QCOMPARE(log.take(), QStringList{n(a, "start")});
    QVERIFY(queue.isCurrent(a) && queue.isRunning(Kind::Speak));
    QCOMPARE(queue.queuedCount(), 1);

    // However long it plays, the next waits for its end.
    timers.advance(60 * 1000);
    QVERIFY(log.events.isEmpty());
    queue.finish(QStringLiteral("spoken"));
    QCOMPARE(log.take(), (QStringList{n(a, "end"), n(a, "done")}));
    QVERIFY(!queue.current());
    timers.advance(0);
    QCOMPARE(log.take(), QStringList{n(b, "start")});
    queue.finish();
    QCOMPARE(log.take(), (QStringList{n(b, "end"), n(b, "done"), QStringLiteral("drained")}));
    QVERIFY(queue.isIdle());
    // Nothing running: finishing ends nothing.
    queue.finish();
    QVERIFY(log.events.isEmpty());

    // Closed: nothing more is taken, nothing more reports.
    const Request c = queue.add(Kind::Show);
    queue.close();
    QVERIFY(queue.add(Kind::Hide).isNull());
    timers.advance(1000);
    QVERIFY(log.events.isEmpty());
    QVERIFY(!c.isNull());
}

void TestRequestQueue::stopAndStopAllFollowTheirRules()
{
    ManualTimers timers;
    RequestQueue queue(timers);
    QueueLog log(queue);
    const Request playing = queue.add(Kind::Play, QStringLiteral("Processing"));
    const Request next = queue.add(Kind::Speak, QStringLiteral("next"));
    timers.advance(0);
    log.take();

    // Stop ends the playing one only; the next starts on the next wake-up.
    queue.stop();
    QCOMPARE(log.take(), (QStringList{n(playing, "end"), n(playing, "done")}));
    timers.advance(0);
    QCOMPARE(log.take(), QStringList{n(next, "start")});

    // StopAll: the playing one, then each dropped one in the order made,
    // all at once; a request made while they report stays and starts next.
    const Request d1 = queue.add(Kind::Hide);
    const Request d2 = queue.add(Kind::Play, QStringLiteral("Greet"));
    Request meanwhile;
    connect(&queue, &RequestQueue::completed, this, [&](Request r) {
        if (r == d1)
            meanwhile = queue.add(Kind::Play, QStringLiteral("RestPose"));
    });
    queue.stopAll();
    QCOMPARE(log.take(), (QStringList{n(next, "end"), n(next, "done"), QStringLiteral("drained"), n(d1, "done"),
                                      n(d2, "done")}));
    QVERIFY(!meanwhile.isNull());
    QCOMPARE(queue.queuedCount(), 1);
    timers.advance(0);
    QCOMPARE(log.take(), QStringList{n(meanwhile, "start")});

    // StopAll with nothing waiting: the playing one ends and all is quiet.
    queue.stopAll();
    QCOMPARE(log.take(), (QStringList{n(meanwhile, "end"), n(meanwhile, "done"), QStringLiteral("drained"),
                                      QStringLiteral("drained")}));
    // A completion that lets the character go: nothing more reports.
    const Request x = queue.add(Kind::Speak, QStringLiteral("x"));
    const Request y = queue.add(Kind::Speak, QStringLiteral("y"));
    const Request z = queue.add(Kind::Speak, QStringLiteral("z"));
    timers.advance(0);
    log.take();
    connect(&queue, &RequestQueue::completed, this, [&](Request r) {
        if (r == y)
            queue.close();
    });
    queue.stopAll();
    QCOMPARE(log.take(), (QStringList{n(x, "end"), n(x, "done"), QStringLiteral("drained"), n(y, "done")}));
    timers.advance(1000);
    QVERIFY(log.events.isEmpty());
    Q_UNUSED(z);
}

// Some requests stopped by their handles (a page of the tour left): the
// playing one and queued ones among them report in the order made; the
// others play on in their order.
void TestRequestQueue::stopRequestsEndsThoseOnly()
{
    ManualTimers timers;
    RequestQueue queue(timers);
    QueueLog log(queue);
    const Request a = queue.add(Kind::Speak, QStringLiteral("page one"));
    const Request b = queue.add(Kind::Speak, QStringLiteral("the alarm"));
    const Request c = queue.add(Kind::Play, QStringLiteral("RestPose"));
    const Request d = queue.add(Kind::Speak, QStringLiteral("the mail"));
    timers.advance(0);
    log.take();
    queue.stopRequests({c, a});
    QCOMPARE(log.take(), (QStringList{n(a, "end"), n(a, "done"), n(c, "done")}));
    QCOMPARE(queue.queuedCount(), 2);
    timers.advance(0);
    QCOMPARE(log.take(), QStringList{n(b, "start")});
    // Queued only: the playing one goes on.
    queue.stopRequests({d});
    QCOMPARE(log.take(), QStringList{n(d, "done")});
    QVERIFY(queue.isCurrent(b));
    // Requests already over, or none: nothing happens.
    queue.stopRequests({a, c, Request()});
    QVERIFY(log.events.isEmpty());
    queue.stopRequests({b});
    QCOMPARE(log.take(), (QStringList{n(b, "end"), n(b, "done"), QStringLiteral("drained")}));
    QVERIFY(queue.isIdle());
}

void TestRequestQueue::idlingFollowsTheTimeLeftAlone()
{
    ManualTimers timers;
    bool free = true;
    bool settling = false;
    bool hasAnimation = true;
    int step = 0;
    QList<int> played;
    Idling idling(timers, Idling::Hooks{[&] { return free; }, [&] { return settling; },
                                        [&](int level) {
                                            if (hasAnimation)
                                                played << level;
                                            return hasAnimation;
                                        },
                                        [&](int count) { return std::min(step, count - 1); }});
    Idling::Timing timing; // the defaults: minutes, passing here in no time
    QCOMPARE(idling.level(), 1);
    idling.schedule();
    QCOMPARE(idling.dueInMs(), timing.minMs[0]);
    timers.advance(timing.minMs[0]);
    QCOMPARE(played, QList<int>{1});
    QVERIFY(!idling.isScheduled()); // the next one is armed when it has played

    // Left alone longer, calmer and rarer; the pick spreads the interval.
    timers.advance(timing.levelTwoAfterMs);
    QCOMPARE(idling.level(), 2);
    step = 5;
    idling.schedule();
    QCOMPARE(idling.dueInMs(), (timing.minMs[1] + timing.maxMs[1]) / 2);
    timers.advance(timing.levelThreeAfterMs);
    QCOMPARE(played, (QList<int>{1, 2}));
    QCOMPARE(idling.level(), 3);
    step = 10;
    idling.schedule();
    QCOMPARE(idling.dueInMs(), timing.maxMs[2]);

    // Still on its way back to rest: a second later.
    settling = true;
    timers.advance(timing.maxMs[2]);
    QCOMPARE(played.size(), 2);
    QCOMPARE(idling.dueInMs(), 1000);
    settling = false;
    timers.advance(1000);
    QCOMPARE(played, (QList<int>{1, 2, 3}));

    // Busy when it comes: nothing plays and nothing is armed.
    idling.schedule();
    free = false;
    timers.advance(timing.maxMs[2]);
    QCOMPARE(played.size(), 3);
    QCOMPARE(timers.armedCount(), 0);
    idling.schedule();
    QVERIFY(!idling.isScheduled());

    // No animation to idle with: the wake-up stays off.
    free = true;
    hasAnimation = false;
    idling.schedule();
    timers.advance(timing.maxMs[2]);
    QVERIFY(!idling.isScheduled());

    // Something happens: lively again, the count starts over.
    idling.schedule();
    idling.userActive();
    QVERIFY(!idling.isScheduled());
    QCOMPARE(idling.level(), 1);
    timers.advance(timing.levelTwoAfterMs - 1);
    QCOMPARE(idling.level(), 1);
    timers.advance(1);
    QCOMPARE(idling.level(), 2);
}

QTEST_GUILESS_MAIN(TestRequestQueue)
#include "test_request_queue.moc"
