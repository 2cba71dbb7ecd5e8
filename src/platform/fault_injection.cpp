#include "platform/fault_injection.h"

#include <array>
#include <cerrno>

namespace quilldex::platform {

namespace {

// Calls left before each point fails; 0 when nothing is armed there.
std::array<int, 5> countdown{};

}  // namespace

void injectFault(FaultPoint point, int nth)
{
    countdown[static_cast<std::size_t>(point)] = nth > 0 ? nth : 1;
}

void clearInjectedFaults()
{
    countdown.fill(0);
}

bool injectedFaultAt(FaultPoint point)
{
    int& left = countdown[static_cast<std::size_t>(point)];
    if (left == 0 || --left != 0)
        return false;
    errno = EIO;
    return true;
}

}  // namespace quilldex::platform
