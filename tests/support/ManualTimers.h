#pragma once

#include "Timers.h"

#include <QList>
#include <functional>

namespace kestrova::test {

// Timers that stand still until the test moves them on. advance() fires
// every wake-up that falls due within the span, earliest first (those due
// together in the order they were armed), with the time set to each one's
// due moment as it fires; wake-ups armed meanwhile that fall within the span
// fire too. A wake-up armed for 0 ms fires on the next advance, even
// advance(0): never inside the call that armed it.
class ManualTimers final : public Timers {
public:
    ManualTimers();
    ~ManualTimers() override;

    qint64 elapsedMs() const override { return m_now; }
    std::unique_ptr<Timer> timer(std::function<void()> onTimeout, bool precise = false) override;

    void advance(qint64 ms);
    // Moves on from one due wake-up to the next until done() holds, at most
    // limitMs; true when it held. Nothing due: the time jumps to the limit.
    bool advanceUntil(const std::function<bool()> &done, qint64 limitMs = 60 * 1000);
    // Armed wake-ups, and when the next one is due (-1: none).
    int armedCount() const;
    qint64 nextDueMs() const;

private:
    class Wakeup;
    friend class Wakeup;
    Wakeup *nextDue(qint64 until) const;
    bool fireNext(qint64 until);

    qint64 m_now = 0;
    quint64 m_sequence = 0;
    QList<Wakeup *> m_wakeups;
};

} // namespace kestrova::test
