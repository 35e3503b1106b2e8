#include "ManualTimers.h"

#include <algorithm>
#include <limits>

namespace kestrova::test {

class ManualTimers::Wakeup final : public Timer {
public:
    Wakeup(ManualTimers *owner, std::function<void()> onTimeout) : owner(owner), onTimeout(std::move(onTimeout))
    {
        owner->m_wakeups.append(this);
    }
    ~Wakeup() override
    {
        if (owner)
            owner->m_wakeups.removeOne(this);
    }
    void start(int ms) override
    {
        due = owner ? owner->m_now + std::max(0, ms) : 0;
        armed = owner != nullptr;
        sequence = owner ? ++owner->m_sequence : 0;
    }
    void stop() override { armed = false; }
    bool isActive() const override { return armed; }
    int remainingTime() const override { return armed ? int(std::max<qint64>(0, due - owner->m_now)) : -1; }

    ManualTimers *owner;
    std::function<void()> onTimeout;
    bool armed = false;
    qint64 due = 0;
    quint64 sequence = 0;
};

ManualTimers::ManualTimers() = default;

ManualTimers::~ManualTimers()
{
    // Wake-ups that outlive their timers never fire again.
    for (Wakeup *w : std::as_const(m_wakeups))
        w->owner = nullptr, w->armed = false;
}

std::unique_ptr<Timer> ManualTimers::timer(std::function<void()> onTimeout, bool)
{
    return std::make_unique<Wakeup>(this, std::move(onTimeout));
}

ManualTimers::Wakeup *ManualTimers::nextDue(qint64 until) const
{
    Wakeup *next = nullptr;
    for (Wakeup *w : m_wakeups) {
        if (!w->armed || w->due > until)
            continue;
        if (!next || w->due < next->due || (w->due == next->due && w->sequence < next->sequence))
            next = w;
    }
    return next;
}

bool ManualTimers::fireNext(qint64 until)
{
    Wakeup *w = nextDue(until);
    if (!w)
        return false;
    m_now = std::max(m_now, w->due);
    w->armed = false;
    // The function may let its own timer go: a copy runs.
    const std::function<void()> f = w->onTimeout;
    f();
    return true;
}

void ManualTimers::advance(qint64 ms)
{
    const qint64 until = m_now + std::max<qint64>(0, ms);
    while (fireNext(until)) {
    }
    m_now = until;
}

bool ManualTimers::advanceUntil(const std::function<bool()> &done, qint64 limitMs)
{
    const qint64 until = m_now + std::max<qint64>(0, limitMs);
    while (!done()) {
        if (!fireNext(until)) {
            m_now = until;
            return done();
        }
    }
    return true;
}

int ManualTimers::armedCount() const
{
    return int(std::count_if(m_wakeups.begin(), m_wakeups.end(), [](const Wakeup *w) { return w->armed; }));
}

qint64 ManualTimers::nextDueMs() const
{
    const Wakeup *w = nextDue(std::numeric_limits<qint64>::max());
    return w ? w->due : -1;
}

} // namespace kestrova::test
