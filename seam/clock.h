// Time and waiting: the system's 32-bit millisecond tick and the blocking wait for events.
#pragma once

#include <cstdint>

namespace loopster {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since the system started, in 32 bits; wraps about every 49.7 days. Unsigned,
    // so that every sum and difference of ticks is modular and defined.
    virtual std::uint32_t GetTickCount() = 0;
    // Seconds since local midnight, with the fraction: the seed of the random sequence.
    virtual float secondsSinceMidnight() = 0;
};

class EventLoop {
  public:
    virtual ~EventLoop() = default;
    // Handles every pending window event and returns.
    virtual void pumpEvents() = 0;
    // Blocks until an event arrives or `timeoutMs` milliseconds pass (without spinning), then
    // handles the pending events. A timeout of 0 or less only pumps.
    virtual void waitForEvents(std::int32_t timeoutMs) = 0;
};

}  // namespace loopster
