// Time on POSIX.
#include "hosts/posix/posix_clock.h"

#include <ctime>

namespace loopster {

std::uint32_t PosixClock::GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

float PosixClock::secondsSinceMidnight() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    const long ms =
        (static_cast<long>(local.tm_hour) * 3600 + local.tm_min * 60 + local.tm_sec) * 1000L +
        now.tv_nsec / 1000000L;
    return static_cast<float>(ms) / 1000.0f;
}

}  // namespace loopster
