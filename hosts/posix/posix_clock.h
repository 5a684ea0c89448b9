// Time on POSIX: a 32-bit millisecond tick from the monotonic clock, and the local time of day
// that seeds the random sequence.
#pragma once

#include <cstdint>

#include "seam/clock.h"

namespace loopster {

class PosixClock final : public Clock {
  public:
    // Milliseconds of CLOCK_MONOTONIC, wrapped to 32 bits like the system tick it stands for.
    std::uint32_t GetTickCount() override;
    // Seconds since local midnight, to the millisecond.
    float secondsSinceMidnight() override;
};

}  // namespace loopster
