#include "platform/fault_injection.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace quilldex::platform {

namespace {

constexpr std::size_t kPoints = 5;

// Calls left before each point fails or pauses; 0 when nothing is armed
// there. Atomic, since the jobs of a run reach the points concurrently.
std::array<std::atomic<int>, kPoints> failCountdown{};
std::array<std::atomic<int>, kPoints> pauseCountdown{};

// Counts one call down; true for the call that reaches 0.
bool reached(std::atomic<int>& left)
{
    int value = left.load();
    while (value > 0) {
        if (left.compare_exchange_weak(value, value - 1))
            return value == 1;
    }
    return false;
}

}  // namespace

void injectFault(FaultPoint point, int nth)
{
    failCountdown[static_cast<std::size_t>(point)] = nth > 0 ? nth : 1;
}

void injectPause(FaultPoint point, int nth)
{
    pauseCountdown[static_cast<std::size_t>(point)] = nth > 0 ? nth : 1;
}

void clearInjectedFaults()
{
    for (auto& left : failCountdown)
        left = 0;
    for (auto& left : pauseCountdown)
        left = 0;
}

bool injectedFaultAt(FaultPoint point)
{
    const auto at = static_cast<std::size_t>(point);
    if (reached(pauseCountdown[at])) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    if (!reached(failCountdown[at]))
        return false;
    errno = EIO;
    return true;
}

}  // namespace quilldex::platform
