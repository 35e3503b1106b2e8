#include "Timers.h"

#include <QElapsedTimer>
#include <QTimer>

namespace kestrova {

namespace {

class EventLoopTimer final : public Timer {
public:
    EventLoopTimer(std::function<void()> onTimeout, bool precise)
    {
        m_timer.setSingleShot(true);
        if (precise)
            m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [f = std::move(onTimeout)] { f(); });
    }
    void start(int ms) override { m_timer.start(std::max(0, ms)); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    int remainingTime() const override { return m_timer.remainingTime(); }

private:
    QTimer m_timer;
};

class EventLoopTimers final : public Timers {
public:
    EventLoopTimers() { m_clock.start(); }
    qint64 elapsedMs() const override { return m_clock.elapsed(); }
    std::unique_ptr<Timer> timer(std::function<void()> onTimeout, bool precise) override
    {
        return std::make_unique<EventLoopTimer>(std::move(onTimeout), precise);
    }

private:
    QElapsedTimer m_clock;
};

} // namespace

Timers &Timers::system()
{
    static EventLoopTimers timers;
    return timers;
}

} // namespace kestrova
