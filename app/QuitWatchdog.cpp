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
} // namespace

void start(int limitMs)
{
    if (g_started.load() || sem_init(&g_asked, 0, 0) != 0)
        return;
    // Detached: it ends with the process, which it may end itself.
    std::thread([limitMs] {
        while (sem_wait(&g_asked) != 0 && errno == EINTR) {
        }
        timespec limit{limitMs / 1000, long(limitMs % 1000) * 1000000L};
        while (nanosleep(&limit, &limit) != 0 && errno == EINTR) {
        }
        std::fprintf(stderr, "Kestrova: still not ended %d ms after the quit; it ends now.\n", limitMs);
        std::_Exit(0);
    }).detach();
    g_started.store(true);
}

void arm() noexcept
{
    // sem_post is async-signal-safe; before start() there is nothing to wake.
    if (g_started.load())
        sem_post(&g_asked);
}

} // namespace kestrova::QuitWatchdog
