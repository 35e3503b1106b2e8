#include "AlarmWatch.h"

#include "CharacterRef.h"
#include "Clock.h"
#include "Host.h"
#include "SpeechText.h"

#include <QDateTime>

namespace kestrova {

AlarmWatch::AlarmWatch(Host &host, QObject *parent) : QObject(parent), m_host(host)
{
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &AlarmWatch::Timer1_Timer);
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
    m_clockText = QLocale::system().toString(m_host.context().platform.clock->now().time(), QLocale::LongFormat);
    Q_EMIT clockShown(m_clockText);
    return m_clockText;
}

void AlarmWatch::Timer1_Timer()
{
    const QTime now = m_host.context().platform.clock->now().time();
    // Nothing has changed since the second already handled.
    if (!m_clockText.isEmpty() && QLocale::system().toString(now, QLocale::LongFormat) == m_clockText)
        return;
    // Compared to the second, as the clock shows it.
    const QTime second(now.hour(), now.minute(), now.second());
    if (AlarmTime && second >= *AlarmTime && !AlarmRung) {
        m_host.AgentVisible();
        character::CharacterRef &agent = m_host.agent();
        const QString words = character::outsideText(AlarmSay) + u' ' + character::outsideText(AlarmEvent);
        if (AlarmSilent) {
            agent.Play(QStringLiteral("GetAttention"));
            agent.Think(words);
            agent.Play(QStringLiteral("GetAttentionReturn"));
        } else {
            agent.Play(QStringLiteral("Announce"));
            agent.Speak(words);
        }
        AlarmRung = true;
    } else if (!AlarmTime || second < *AlarmTime) {
        AlarmRung = false;
    }
    ShowClock();
}

} // namespace kestrova
