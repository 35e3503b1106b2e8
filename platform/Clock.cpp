#include "Clock.h"

#include <QObject>
#include <QSocketNotifier>

#ifdef __linux__
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace kestrova {

namespace {

#ifdef __linux__
// The kernel's timer on the wall clock, at an absolute moment: it fires
// when the clock reaches the moment, a suspend counted, and it is cancelled
// (the read fails with ECANCELED) as soon as the clock is set.
class KernelWallTimer final : public WallTimer {
public:
    explicit KernelWallTimer(std::function<void(bool)> onWake) : m_onWake(std::move(onWake))
    {
        m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_fd < 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readable(); });
    }
    ~KernelWallTimer() override
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool valid() const { return m_fd >= 0; }

    void start(const QDateTime &when) override
    {
        const qint64 ms = qMax<qint64>(1, when.toMSecsSinceEpoch());
        itimerspec moment{};
        moment.it_value.tv_sec = time_t(ms / 1000);
        moment.it_value.tv_nsec = long(ms % 1000) * 1000000L;
        m_active = ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &moment, nullptr) == 0;
    }
    void stop() override
    {
        const itimerspec disarmed{};
        ::timerfd_settime(m_fd, 0, &disarmed, nullptr);
        m_active = false;
    }
    bool isActive() const override { return m_active; }

private:
    void readable()
    {
        std::uint64_t expirations = 0;
        const ssize_t got = ::read(m_fd, &expirations, sizeof expirations);
        if (got < 0 && errno != ECANCELED)
            return; // nothing to read after all
        const bool clockSet = got < 0;
        m_active = false;
        if (clockSet)
            stop();
        m_onWake(clockSet);
    }

    int m_fd = -1;
    bool m_active = false;
    std::function<void(bool)> m_onWake;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
#endif

} // namespace

std::unique_ptr<WallTimer> systemWallTimer(std::function<void(bool clockSet)> onWake)
{
#ifdef __linux__
    auto timer = std::make_unique<KernelWallTimer>(std::move(onWake));
    if (timer->valid())
        return timer;
#else
    Q_UNUSED(onWake);
#endif
    return nullptr;
}

WakeUp::WakeUp(const Clock &clock, Timers &timers, std::function<void()> due)
    : m_clock(clock), m_due(std::move(due)), m_timer(timers.timer([this] { woken(); }, true)),
      m_wall(clock.wallTimer([this](bool clockSet) { wallWoken(clockSet); }))
{
}

void WakeUp::woken()
{
    if (!m_when.isValid())
        return;
    if (m_clock.now() >= m_when) {
        m_when = QDateTime();
        m_timer->stop();
        if (m_wall)
            m_wall->stop();
        m_due();
    } else {
        sleep();
        if (m_wall && !m_wall->isActive())
            m_wall->start(m_when);
    }
}

void WakeUp::wallWoken(bool clockSet)
{
    if (!m_when.isValid())
        return;
    if (!clockSet) {
        woken();
        return;
    }
    // The clock was set: what was due, and when, is the owner's to say
    // again.
    m_when = QDateTime();
    m_timer->stop();
    m_due();
}

void WakeUp::schedule(const QDateTime &when)
{
    m_when = when;
    sleep();
    if (m_wall)
        m_wall->start(when);
}

void WakeUp::cancel()
{
    m_when = QDateTime();
    m_timer->stop();
    if (m_wall)
        m_wall->stop();
}

void WakeUp::sleep()
{
    constexpr qint64 Hour = 60 * 60 * 1000;
    const qint64 ms = qBound<qint64>(0, m_clock.now().msecsTo(m_when), Hour);
    // A few milliseconds late rather than early: the timer may wake a
    // little before its time, which would only cost another sleep.
    m_timer->start(int(ms) + (ms > 0 ? 5 : 0));
}

} // namespace kestrova
