// Time and waiting on Qt: a 32-bit millisecond tick from the monotonic clock, and the event wait
// that blocks in Qt's event loop until an event arrives or the timeout passes.
#pragma once

#include <QTimer>
#include <cstdint>
#include <memory>

#include "seam/clock.h"

namespace loopster {

class QtClock final : public Clock {
  public:
    // Milliseconds of CLOCK_MONOTONIC, wrapped to 32 bits like the system tick it stands for.
    std::uint32_t GetTickCount() override;
    float secondsSinceMidnight() override;
};

class QtEventLoop final : public EventLoop {
  public:
    void pumpEvents() override;
    void waitForEvents(std::int32_t timeoutMs) override;

  private:
    // Wakes the blocked wait at the timeout; created at the first wait, after the application.
    std::unique_ptr<QTimer> m_timer;
};

}  // namespace loopster
