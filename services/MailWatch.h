#pragma once

#include "MailCheck.h"
#include "Timers.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QThread;

namespace kestrova {

class CharacterSink;
struct PlatformServices;

// The mail timer and its counters, and the check running off the
// user-interface thread. The program holds one for the whole run, so the
// counters keep their values while the options window is closed and made
// again; the start-up and the mail page switch the timer. The minute comes
// from the timers it is given, so a test runs a day of ticks at once.
class MailWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int TickMs = 60000;

    MailWatch(const PlatformServices &platform, CharacterSink &sink, Timers &timers = Timers::system());
    ~MailWatch() override;

    // The timer: ticks once a minute while timed checks are on. Starting it
    // while it runs starts the minute afresh.
    void startTimer();
    void stopTimer();
    bool timerOn() const { return m_timer->isActive(); }
    int tickMs() const { return TickMs; }
    // Minutes between timed checks, and ticks counted since the last one.
    qint16 MailInterval = 0;
    qint16 MailTicks = 0;
    // Takes the stored interval: 0 switches timed checks off (the interval
    // is left as it was), anything else on with that interval. The counters
    // go on from where they stand.
    void loadInterval(qint16 minutes);
    // The tick: counts, and when a check is due asks whether the line is up
    // without waiting for the answer; once it comes, up, a timed check runs
    // and the count starts again. Down, the count stays where it is, so the
    // next tick asks again. A tick while the question is open does nothing
    // more. No tick makes a window.
    void TmrMail_Timer();
    // The line's state is being asked for.
    bool askingOnline() const { return m_asking; }
    // Runs a timed check (the program's mail checker).
    std::function<void()> timedCheck;

    // Runs the mailbox work of one check on a worker thread; what the
    // character is to do comes back to this thread in order. Returns false,
    // and starts nothing, while a check is still running or once the
    // program is ending. `asked`: the user asked for it (not the timer).
    bool start(const MailAccount &account, bool asked = true);
    bool checking() const { return m_checking; }
    // The program is ending: the running check is called off at once (it
    // says nothing more and sends nothing more), and none starts again.
    void stopForQuit();
    // The last check's outcome, and whether the user had asked for it.
    const MailCheckResult &lastResult() const { return m_last; }
    bool lastAsked() const { return m_lastAsked; }

Q_SIGNALS:
    // A check has ended; `status` is the text for the status bar.
    void checkFinished(const QString &status);
    // A tick has been counted or has run a check.
    void ticked();

private:
    void answered(bool online);
    // What the user is told once a check has ended: why it failed (a timed
    // check only when it fails otherwise than the check `before`), and mail
    // read out while the character was hidden, as a notification too.
    void tellOutcome(const MailCheckResult &result, const MailCheckResult &before, bool asked);
    const PlatformServices &m_platform;
    CharacterSink &m_sink;
    std::unique_ptr<Timer> m_timer;
    bool m_asking = false;
    QPointer<QThread> m_worker;
    // The running check's mailbox, to call it off; the worker holds it.
    std::weak_ptr<Mailbox> m_box;
    bool m_checking = false;
    bool m_ending = false;
    // The running check showed the hidden character to read out mail.
    bool m_shownForMail = false;
    MailCheckResult m_last;
    bool m_lastAsked = false;
};

} // namespace kestrova
