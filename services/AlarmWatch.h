#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QDate>
#include <QTime>

#include <memory>
#include <optional>

namespace kestrova {

class CharacterSink;
class Clock;
class Timer;
class Timers;
class WakeUp;

// The daily alarm: its time, words and mode, and the watch that rings it.
// It lives for the whole run, so closing or reopening the options window
// neither stops the watch nor disarms the alarm. The watch sleeps until its
// next due time (the alarm time, or midnight after it has rung, when it may
// ring again the next day) instead of looking at the clock every second; the
// once-a-second tick runs only while a clock label shows the time. It
// sleeps on the wall clock, so a suspend or a change of the time neither
// delays a ring nor keeps a rung alarm from ringing again.
class AlarmWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int TickMs = 1000;

    AlarmWatch(const Clock &clock, CharacterSink &sink, QObject *parent = nullptr);
    ~AlarmWatch() override;

    // Armed while it holds a time of day; disarmed while it is empty. The
    // text of the last entry that was refused (or the empty text) is kept
    // beside it.
    std::optional<QTime> AlarmTime;
    QString AlarmTimeText;
    QString AlarmSay;
    QString AlarmEvent;
    bool AlarmSilent = false;
    // Rung, and the clock has not been before the alarm time since.
    bool AlarmRung = false;

    bool armed() const { return AlarmTime.has_value(); }
    void arm(QTime time);
    void disarm(const QString &text = QString());
    // Arms the alarm kept from an earlier run. A time already passed today
    // counts as rung today: the program started after it does not ring it
    // late, it rings at that time tomorrow.
    void restore(QTime time);

    // Starts watching: from now on the watch wakes at its due times. It
    // sleeps, and the clock ticks, on the program's timers unless a test
    // gave its own (not owned).
    void watch();
    void setTimers(Timers &timers);
    // The moment the watch sleeps until; invalid while disarmed.
    QDateTime nextDue() const;
    // The moment its wake-up is scheduled for; invalid while none is.
    QDateTime wakesAt() const;
    // Rings when due, clears the rung state before the alarm time, and
    // sleeps until the next due time.
    void check();
    // A clock label shows the time: the once-a-second tick runs meanwhile.
    void setClockShown(bool shown);
    bool ticking() const;
    // The end of the run: nothing wakes or ticks again.
    void stop();
    bool watching() const { return m_watching; }

    // A time of day as the user may type it: what the user's locale reads as
    // a time, or the English forms "7:30 PM", "7:30pm", "19:30", "7:30",
    // "07:30:15". Nothing for any other text, a date among them.
    static std::optional<QTime> parseTime(const QString &text, const QLocale &locale = QLocale::system());

    // What the alarm says: the prefix and the event text joined by a blank;
    // when both are blank (nothing the voice could say), "Your alarm for"
    // and the time, so a ringing alarm never says nothing.
    QString announcement() const;
    static QString emptyAlarmText(std::optional<QTime> time);
    // The heading of the notification of a ring while the character is
    // hidden; its body is the announcement.
    static inline const QString AlarmSummary = QStringLiteral("Alarm");

    // The check, every second.
    void Timer1_Timer();
    // The present time in the long time format; also sent to the clock label.
    QString ShowClock();
    const QString &clockText() const { return m_clockText; }

Q_SIGNALS:
    void clockShown(const QString &text);

private:
    void ring();
    void clearRung();
    void reschedule();
    void setTickTimers(Timers &timers);
    const Clock &m_clock;
    CharacterSink &m_sink;
    QString m_clockText;
    std::unique_ptr<WakeUp> m_wakeUp;
    // Once a second while a clock label shows the time.
    std::unique_ptr<Timer> m_tick;
    // The day it last rang.
    QDate m_rungOn;
    bool m_watching = false;
    int m_clocksShown = 0;
    bool m_stopped = false;
};

} // namespace kestrova
