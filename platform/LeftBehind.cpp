#include "LeftBehind.h"

#include <atomic>

namespace kestrova::platform {

namespace {
std::atomic<int> g_leftBehind{0};
} // namespace

void noteLeftBehind() noexcept
{
    g_leftBehind.fetch_add(1);
}

int leftBehind() noexcept
{
    return g_leftBehind.load();
}

} // namespace kestrova::platform
