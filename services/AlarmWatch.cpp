#include "AlarmWatch.h"

#include "CharacterSink.h"
#include "Clock.h"
#include "SpeechText.h"
#include "Timers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace kestrova {

AlarmWatch::AlarmWatch(const Clock &clock, CharacterSink &sink, QObject *parent)
    : QObject(parent), m_clock(clock), m_sink(sink)
{
    setTickTimers(Timers::system());
}

AlarmWatch::~AlarmWatch() = default;

void AlarmWatch::setTickTimers(Timers &timers)
{
    const bool running = m_tick && m_tick->isActive();
    m_tick = timers.timer([this] {
        // Armed again first: a second that rings still keeps the pace.
        m_tick->start(TickMs);
        Timer1_Timer();
    });
    if (running)
        m_tick->start(TickMs);
}

void AlarmWatch::setTimers(Timers &timers)
{
    m_wakeUp = std::make_unique<WakeUp>(m_clock, timers, [this] { check(); });
    setTickTimers(timers);
    reschedule();
}

bool AlarmWatch::ticking() const
{
    return m_tick->isActive();
}

void AlarmWatch::stop()
{
    m_stopped = true;
    m_watching = false;
    if (m_wakeUp)
        m_wakeUp->cancel();
    m_tick->stop();
}

void AlarmWatch::watch()
{
    if (m_stopped)
        return;
    if (!m_wakeUp)
        setTimers(Timers::system());
    m_watching = true;
    reschedule();
}

void AlarmWatch::arm(QTime time)
{
    AlarmTime = time;
    AlarmTimeText.clear();
    clearRung();
    reschedule();
}

void AlarmWatch::restore(QTime time)
{
    const QDateTime now = m_clock.now();
    AlarmTime = time;
    AlarmTimeText.clear();
    const QTime second(now.time().hour(), now.time().minute(), now.time().second());
    AlarmRung = second >= time;
    m_rungOn = AlarmRung ? now.date() : QDate();
    reschedule();
}

void AlarmWatch::disarm(const QString &text)
{
    AlarmTime.reset();
    AlarmTimeText = text;
    clearRung();
    reschedule();
}

void AlarmWatch::clearRung()
{
    // What the next look at the clock would find at once: disarmed, or the
    // clock before the alarm time, is no longer rung. A later time set
    // after a ring thus rings the same day, an earlier one the next day.
    const QTime now = m_clock.now().time();
    const QTime second(now.hour(), now.minute(), now.second());
    if (!AlarmTime || second < *AlarmTime)
        AlarmRung = false;
}

QDateTime AlarmWatch::nextDue() const
{
    if (!AlarmTime)
        return QDateTime();
    const QDateTime now = m_clock.now();
    // Rung: nothing until the clock is before the alarm time again, which
    // is at midnight (or at once, when a later time was set meanwhile).
    const QTime second(now.time().hour(), now.time().minute(), now.time().second());
    if (AlarmRung && second >= *AlarmTime)
        return QDateTime(now.date().addDays(1), QTime(0, 0));
    const QDateTime today(now.date(), *AlarmTime);
    return today > now ? today : now;
}

QDateTime AlarmWatch::wakesAt() const
{
    return m_wakeUp ? m_wakeUp->when() : QDateTime();
}

void AlarmWatch::reschedule()
{
    if (!m_watching || !m_wakeUp)
        return;
    const QDateTime due = nextDue();
    if (due.isValid())
        m_wakeUp->schedule(due);
    else
        m_wakeUp->cancel();
}

void AlarmWatch::setClockShown(bool shown)
{
    m_clocksShown = qMax(0, m_clocksShown + (shown ? 1 : -1));
    if (m_stopped)
        return;
    if (m_clocksShown > 0 && !m_tick->isActive()) {
        ShowClock();
        m_tick->start(TickMs);
    } else if (m_clocksShown == 0) {
        m_tick->stop();
    }
}

std::optional<QTime> AlarmWatch::parseTime(const QString &input, const QLocale &locale)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QTime t = locale.toTime(text, type);
        if (t.isValid())
            return t;
    }
    static const char *const forms[] = {"h:mm AP", "h:mmAP", "h:mm:ss AP", "h:mm:ssAP", "h AP", "hAP",
                                        "H:mm", "H:mm:ss"};
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const char *form : forms) {
        const QTime t = english.toTime(text, QString::fromLatin1(form));
        if (t.isValid())
            return t;
    }
    return std::nullopt;
}

QString AlarmWatch::ShowClock()
{
    m_clockText = QLocale::system().toString(m_clock.now().time(), QLocale::LongFormat);
    Q_EMIT clockShown(m_clockText);
    return m_clockText;
}

void AlarmWatch::Timer1_Timer()
{
    const QTime now = m_clock.now().time();
    // Nothing has changed since the second already handled.
    if (!m_clockText.isEmpty() && QLocale::system().toString(now, QLocale::LongFormat) == m_clockText)
        return;
    check();
    ShowClock();
}

void AlarmWatch::check()
{
    const QDateTime moment = m_clock.now();
    const QTime now = moment.time();
    // A day later than the ring: the clock has been before the alarm time
    // since (at midnight), even when it jumped over that, asleep.
    if (AlarmRung && m_rungOn.isValid() && moment.date() > m_rungOn)
        AlarmRung = false;
    // Compared to the second, as the clock shows it.
    const QTime second(now.hour(), now.minute(), now.second());
    if (AlarmTime && second >= *AlarmTime && !AlarmRung) {
        ring();
        m_rungOn = moment.date();
    } else {
        clearRung();
    }
    reschedule();
}

QString AlarmWatch::emptyAlarmText(std::optional<QTime> time)
{
    if (!time)
        return QCoreApplication::translate("kestrova::AlarmWatch", "This is your alarm.");
    return QCoreApplication::translate("kestrova::AlarmWatch", "Your alarm for %1.").arg(QLocale().toString(*time, QLocale::ShortFormat));
}

QString AlarmWatch::announcement() const
{
    if (character::cleanOutsideText(AlarmSay).trimmed().isEmpty()
        && character::cleanOutsideText(AlarmEvent).trimmed().isEmpty())
        return emptyAlarmText(AlarmTime);
    return character::outsideText(AlarmSay) + u' ' + character::outsideText(AlarmEvent);
}

void AlarmWatch::ring()
{
    const QString words = announcement();
    // The user may be away from a hidden character: the desktop shows the
    // alarm too.
    if (!m_sink.shown())
        m_sink.notify(AlarmSummary, character::parseSpeechTags(words).shown.trimmed());
    m_sink.show();
    if (AlarmSilent) {
        m_sink.play(QStringLiteral("GetAttention"));
        m_sink.think(words);
        m_sink.play(QStringLiteral("GetAttentionReturn"));
    } else {
        m_sink.play(QStringLiteral("Announce"));
        m_sink.say(words);
    }
    AlarmRung = true;
}

} // namespace kestrova
