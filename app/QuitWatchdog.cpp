#include "QuitWatchdog.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include <semaphore.h>

namespace kestrova::QuitWatchdog {

namespace {

sem_t g_asked;
std::atomic<bool> g_started{false};
// When the program was first asked to end, in CLOCK_MONOTONIC nanoseconds;
// 0 until then.
std::atomic<long long> g_armedNs{0};
int g_limitMs = 0;

long long nowNs() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

} // namespace

void start(int limitMs)
{
    if (g_started.load() || sem_init(&g_asked, 0, 0) != 0)
        return;
    g_limitMs = limitMs;
    // Detached: it ends with the process, which it may end itself.
    std::thread([] {
        while (sem_wait(&g_asked) != 0 && errno == EINTR) {
        }
        const long long until = g_armedNs.load() + g_limitMs * 1000000LL;
        const timespec at{time_t(until / 1000000000LL), long(until % 1000000000LL)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
        std::fprintf(stderr, "Kestrova: still not ended %d ms after the quit; it ends now.\n", g_limitMs);
        std::_Exit(0);
    }).detach();
    g_started.store(true);
}

void arm() noexcept
{
    // Lock-free atomics and sem_post are safe in a signal handler; before
    // start() there is nothing to wake.
    if (!g_started.load())
        return;
    long long unset = 0;
    if (g_armedNs.compare_exchange_strong(unset, nowNs()))
        sem_post(&g_asked);
}

int sinceArmedMs() noexcept
{
    const long long armed = g_armedNs.load();
    return armed == 0 ? 0 : int((nowNs() - armed) / 1000000LL);
}

} // namespace kestrova::QuitWatchdog
