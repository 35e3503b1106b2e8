// The mail timer and the alarm's clock tick on the test's own timers: a day
// of timed checks, counted at the mail server double, and the seconds of a
// shown clock, counted at what reached the character, in no time at all.

#include "AlarmWatch.h"
#include "CharacterSink.h"
#include "Fakes.h"
#include "MailWatch.h"
#include "ManualTimers.h"

#include <QtTest>

#include <functional>
#include <vector>

using namespace kestrova;
using kestrova::test::FakePlatform;
using kestrova::test::ManualTimers;

namespace {

constexpr qint64 Minute = 60 * 1000;
constexpr qint64 Day = 24 * 60 * Minute;

class RecordingSink final : public CharacterSink {
public:
    void show() override
    {
        log << QStringLiteral("Show");
        visible = true;
    }
    void play(const QString &animation) override { log << QStringLiteral("Play ") + animation; }
    void say(const QString &text) override { log << QStringLiteral("Speak ") + text; }
    void think(const QString &text) override { log << QStringLiteral("Think ") + text; }
    bool shown() const override { return visible; }
    void notify(const QString &summary, const QString &body) override
    {
        notified << summary + QStringLiteral(" | ") + body;
    }
    QStringList log;
    bool visible = true;
    QStringList notified;
};

// A dial-up state that answers only when the test says so, and counts the
// questions it was asked.
class HeldDialUp final : public DialUp {
public:
    std::optional<bool> firstConnectionUp() override
    {
        ++blockingQuestions;
        return false;
    }
    void askFirstConnectionUp(QObject *, std::function<void(std::optional<bool>)> done) override
    {
        pending.push_back(std::move(done));
    }
    void answer(std::optional<bool> up)
    {
        auto waiting = std::move(pending);
        pending.clear();
        for (auto &done : waiting)
            done(up);
    }
    std::vector<std::function<void(std::optional<bool>)>> pending;
    int blockingQuestions = 0;
};

// One watch, its mailbox double, and the timers it counts minutes on. A
// due check starts a real check on the watch's worker.
struct MailRun {
    explicit MailRun(DialUp *dialUp = nullptr)
    {
        services = platform.services();
        if (dialUp)
            services.dialUp = dialUp;
        watch = std::make_unique<MailWatch>(services, sink, timers);
        watch->timedCheck = [this] { watch->start({QStringLiteral("pop.example.org"), {}, {}}, false); };
    }
    // Moves the time on minute by minute, letting each check end before the
    // next minute.
    bool pass(qint64 ms)
    {
        for (qint64 done = 0; done < ms; done += Minute) {
            timers.advance(qMin(Minute, ms - done));
            if (!QTest::qWaitFor([this] { return !watch->checking(); }, 5000))
                return false;
        }
        return true;
    }
    int checks() { return platform.mailboxes.script.calls().filter(QStringLiteral("OpenMailbox")).size(); }

    FakePlatform platform;
    PlatformServices services;
    RecordingSink sink;
    ManualTimers timers;
    std::unique_ptr<MailWatch> watch;
};

} // namespace

class TestWatches : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every quarter of an hour for a day, then off, then hourly: each check
    // reaches the server, none while off, and a changed interval takes over
    // from the count as it stands.
    void aDayOfTimedChecks()
    {
        MailRun run;
        run.platform.dialUp.state = true;
        run.watch->loadInterval(15);
        QVERIFY(run.watch->timerOn());
        QVERIFY(run.pass(Day));
        QCOMPARE(run.checks(), 24 * 4);

        // "Never": the timer stops, a day passes without a check.
        run.watch->loadInterval(0);
        QVERIFY(!run.watch->timerOn());
        QCOMPARE(run.timers.armedCount(), 0);
        QVERIFY(run.pass(Day));
        QCOMPARE(run.checks(), 96);

        // Hourly from here: 24 more in a day.
        run.watch->loadInterval(60);
        QVERIFY(run.pass(Day));
        QCOMPARE(run.checks(), 96 + 24);

        // Changed mid-count: 20 minutes counted, then every 30 minutes, so
        // the next check is 10 minutes on.
        QVERIFY(run.pass(20 * Minute));
        QCOMPARE(run.checks(), 120);
        run.watch->loadInterval(30);
        QVERIFY(run.pass(9 * Minute));
        QCOMPARE(run.checks(), 120);
        QVERIFY(run.pass(Minute));
        QCOMPARE(run.checks(), 121);
    }

    // With the line down when a check is due, nothing reaches the server,
    // and the next minute asks again; the program ending stops the minutes.
    void lineDownHoldsTheCheck()
    {
        MailRun run;
        run.platform.dialUp.state = false;
        run.watch->loadInterval(5);
        QVERIFY(run.pass(Day));
        QCOMPARE(run.checks(), 0);
        run.platform.dialUp.state = true;
        QVERIFY(run.pass(Minute));
        QCOMPARE(run.checks(), 1);
        // A failed listing counts as down.
        run.platform.dialUp.state.reset();
        QVERIFY(run.pass(5 * Minute));
        QCOMPARE(run.checks(), 1);
        QVERIFY(!run.platform.messageBox.shown.isEmpty());
        run.watch->stopForQuit();
        QVERIFY(!run.watch->timerOn());
        run.platform.dialUp.state = true;
        QVERIFY(run.pass(Day));
        QCOMPARE(run.checks(), 1);
        // Started again once ending: still nothing.
        run.watch->startTimer();
        QVERIFY(!run.watch->timerOn());
    }

    // The question whether the line is up is asked without waiting; ticks
    // while it is open ask nothing more and check nothing, and one answer
    // makes one check.
    void oneQuestionAtATime()
    {
        HeldDialUp dialUp;
        MailRun run(&dialUp);
        run.watch->loadInterval(2);
        QVERIFY(run.pass(2 * Minute));
        QCOMPARE(dialUp.pending.size(), size_t(1));
        QVERIFY(run.watch->askingOnline());
        QVERIFY(run.pass(10 * Minute));
        QCOMPARE(dialUp.pending.size(), size_t(1));
        QCOMPARE(run.checks(), 0);

        dialUp.answer(true);
        QTRY_COMPARE(run.checks(), 1);
        QVERIFY(QTest::qWaitFor([&] { return !run.watch->checking(); }, 5000));
        QVERIFY(!run.watch->askingOnline());
        // The count starts again from the answer: the next question comes
        // two minutes on.
        QVERIFY(run.pass(Minute));
        QCOMPARE(dialUp.pending.size(), size_t(0));
        QVERIFY(run.pass(Minute));
        QCOMPARE(dialUp.pending.size(), size_t(1));
        // Down: no check, and the next minute asks again.
        dialUp.answer(false);
        QCOMPARE(run.checks(), 1);
        QVERIFY(run.pass(Minute));
        QCOMPARE(dialUp.pending.size(), size_t(1));
        // Switched off while asked: the late answer starts nothing.
        run.watch->loadInterval(0);
        dialUp.answer(true);
        QTest::qWait(20);
        QCOMPARE(run.checks(), 1);
        QCOMPARE(dialUp.blockingQuestions, 0);
    }

    // While a clock is shown the alarm ticks once a second: each second
    // reaches the label, the alarm rings once at its second (the tick and
    // the wake-up together), and with the clock gone nothing ticks.
    void clockTicksWhileShown()
    {
        FakePlatform platform;
        platform.clock.time = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0));
        RecordingSink sink;
        ManualTimers timers;
        AlarmWatch alarm(platform.clock, sink);
        alarm.setTimers(timers);
        alarm.AlarmEvent = QStringLiteral("stretch");
        alarm.arm(QTime(10, 0, 5));
        alarm.watch();
        QCOMPARE(timers.armedCount(), 1);

        QStringList shown;
        connect(&alarm, &AlarmWatch::clockShown, this, [&](const QString &text) { shown << text; });
        const auto pass = [&](int seconds) {
            for (int s = 0; s < seconds; ++s) {
                const qint64 step = 1000;
                platform.clock.time = platform.clock.time.addMSecs(step);
                timers.advance(step);
            }
        };
        alarm.setClockShown(true);
        QVERIFY(alarm.ticking());
        QCOMPARE(shown.size(), 1);
        pass(10);
        QCOMPARE(shown.size(), 11);
        QCOMPARE(shown.last(), QLocale::system().toString(QTime(10, 0, 10), QLocale::LongFormat));
        // Rung once, by the tick or the wake-up, whichever came first.
        QVERIFY(alarm.announcement().contains(QStringLiteral("stretch")));
        QCOMPARE(sink.log, (QStringList{"Show", "Play Announce", QStringLiteral("Speak ") + alarm.announcement()}));
        // The character was on the desktop: no notification.
        QCOMPARE(sink.notified, QStringList());

        // Two clocks: one gone leaves the tick on; both gone, it stops.
        alarm.setClockShown(true);
        alarm.setClockShown(false);
        QVERIFY(alarm.ticking());
        alarm.setClockShown(false);
        QVERIFY(!alarm.ticking());
        pass(60);
        QCOMPARE(shown.size(), 11);
        // Only the wake-up (midnight, when it may ring again) stays armed.
        QCOMPARE(timers.armedCount(), 1);

        // The end of the run: a clock shown later does not tick.
        alarm.stop();
        alarm.setClockShown(true);
        QVERIFY(!alarm.ticking());
        QCOMPARE(timers.armedCount(), 0);
        alarm.setTimers(Timers::system());
    }

    // The alarm keeps the wall clock's time while the clock moves apart
    // from the timers, as a suspend or a change of the time moves it: it
    // rings at once on a resume or a jump past its time, rings again after
    // the clock was set back before it, and none of this needs a tick.
    void alarmKeepsWallClockTime()
    {
        FakePlatform platform;
        test::FakeClock &clock = platform.clock;
        const QDate day(2026, 12, 8);
        clock.time = QDateTime(day, QTime(9, 0));
        RecordingSink sink;
        ManualTimers timers;
        AlarmWatch alarm(clock, sink);
        alarm.setTimers(timers);
        alarm.AlarmEvent = QStringLiteral("stretch");
        alarm.arm(QTime(10, 2));
        alarm.watch();
        const auto rings = [&] { return int(sink.log.count(QStringLiteral("Play Announce"))); };
        // Both move on together for half an hour: nothing yet.
        clock.time = clock.time.addSecs(30 * 60);
        timers.advance(30 * Minute);
        QCOMPARE(rings(), 0);

        // Suspended at 9:30 for two hours; the timers counted none of it.
        // The character was hidden: the desktop shows the alarm too, and
        // the character is shown for it.
        sink.visible = false;
        clock.suspend(2 * 60 * Minute);
        QCOMPARE(rings(), 1);
        QCOMPARE(sink.notified, QStringList{"Alarm | stretch"});
        QVERIFY(alarm.AlarmRung);
        QVERIFY(!alarm.ticking());
        // Rung: the next look is at midnight.
        QCOMPARE(alarm.wakesAt(), QDateTime(day.addDays(1), QTime(0, 0)));

        // The clock set back to 9:45: before the alarm time again, so it
        // rings again at 10:02, counted by the timers.
        clock.set(QDateTime(day, QTime(9, 45)));
        QVERIFY(!alarm.AlarmRung);
        QCOMPARE(alarm.wakesAt(), QDateTime(day, QTime(10, 2)));
        clock.time = clock.time.addSecs(17 * 60 + 1);
        timers.advance(17 * Minute + 1000);
        QCOMPARE(rings(), 2);

        // Set forward within the day: rung already, nothing.
        clock.set(QDateTime(day, QTime(15, 0)));
        QCOMPARE(rings(), 2);
        // Asleep over midnight to the next morning past the alarm time:
        // that day's alarm rings on the resume.
        clock.suspend(20 * 60 * Minute);
        QCOMPARE(clock.time, QDateTime(day.addDays(1), QTime(11, 0)));
        QCOMPARE(rings(), 3);
        // A forward jump to before the alarm time of the day after: it
        // waits for its time.
        clock.set(QDateTime(day.addDays(2), QTime(8, 0)));
        QCOMPARE(rings(), 3);
        QCOMPARE(alarm.wakesAt(), QDateTime(day.addDays(2), QTime(10, 2)));

        // Disarmed: no wall wake-up stays armed; and none after the end.
        alarm.disarm();
        QCOMPARE(clock.wallsArmed(), 0);
        alarm.arm(QTime(7, 0));
        QCOMPARE(clock.wallsArmed(), 1);
        alarm.stop();
        QCOMPARE(clock.wallsArmed(), 0);
        clock.suspend(Day);
        QCOMPARE(rings(), 3);
        QCOMPARE(sink.notified.size(), 1);
    }

    // The kernel's wake-up on the wall clock fires at its moment, at once
    // for a moment already past, and never once stopped.
    void kernelWallTimer()
    {
        QList<bool> woken;
        std::unique_ptr<WallTimer> wall = systemWallTimer([&](bool clockSet) { woken << clockSet; });
        QVERIFY(wall);
        wall->start(QDateTime::currentDateTime().addMSecs(150));
        QVERIFY(wall->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(woken, QList<bool>{false}, 5000);
        QVERIFY(!wall->isActive());
        wall->start(QDateTime::currentDateTime().addSecs(-60));
        QTRY_COMPARE_WITH_TIMEOUT(woken, (QList<bool>{false, false}), 5000);
        wall->start(QDateTime::currentDateTime().addMSecs(100));
        wall->stop();
        QTest::qWait(300);
        QCOMPARE(woken.size(), 2);
    }
};

QTEST_MAIN(TestWatches)
#include "test_watches.moc"
