#pragma once

#include "MailCheck.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QThread;

namespace kestrova {

class CharacterSink;
struct PlatformServices;

// The mail timer and its counters, and the check running off the
// user-interface thread. The program holds one for the whole run, so the
// counters keep their values while the options window is closed and made
// again; the start-up and the mail page switch the timer.
class MailWatch : public QObject {
    Q_OBJECT
public:
    MailWatch(const PlatformServices &platform, CharacterSink &sink);
    ~MailWatch() override;

    // Ticks once a minute while timed checks are on.
    QTimer TmrMail;
    // Minutes between timed checks, and ticks counted since the last one.
    qint16 MailInterval = 0;
    qint16 MailTicks = 0;
    // Takes the stored interval: 0 switches timed checks off (the interval
    // is left as it was), anything else on with that interval. The counters
    // go on from where they stand.
    void loadInterval(qint16 minutes);
    // The tick: counts, and when a check is due and the line is up, asks for
    // a timed check. No tick makes a window.
    void TmrMail_Timer();
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
    const PlatformServices &m_platform;
    CharacterSink &m_sink;
    QPointer<QThread> m_worker;
    // The running check's mailbox, to call it off; the worker holds it.
    std::weak_ptr<Mailbox> m_box;
    bool m_checking = false;
    bool m_ending = false;
    MailCheckResult m_last;
    bool m_lastAsked = false;
};

} // namespace kestrova
