#pragma once

#include <QLocale>
#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>

#include <optional>

namespace kestrova {

class Host;

// The daily alarm: its time, words and mode, and the once-a-second check
// that rings it. It lives for the whole run, so closing or reopening the
// options window neither stops the watch nor disarms the alarm; the options
// window's clock label follows the time it shows.
class AlarmWatch : public QObject {
    Q_OBJECT
public:
    explicit AlarmWatch(Host &host, QObject *parent = nullptr);

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
    void arm(QTime time) { AlarmTime = time; AlarmTimeText.clear(); }
    void disarm(const QString &text = QString()) { AlarmTime.reset(); AlarmTimeText = text; }

    // A time of day as the user may type it: what the user's locale reads as
    // a time, or the English forms "7:30 PM", "7:30pm", "19:30", "7:30",
    // "07:30:15". Nothing for any other text, a date among them.
    static std::optional<QTime> parseTime(const QString &text, const QLocale &locale = QLocale::system());

    // The check, every second.
    void Timer1_Timer();
    // The present time in the long time format; also sent to the clock label.
    QString ShowClock();
    const QString &clockText() const { return m_clockText; }

    // Runs from the start of the program to its end.
    QTimer Timer1;

Q_SIGNALS:
    void clockShown(const QString &text);

private:
    Host &m_host;
    QString m_clockText;
};

} // namespace kestrova
