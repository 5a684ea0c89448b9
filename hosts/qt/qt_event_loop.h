// Waiting on Qt: the event wait that blocks in Qt's event loop until an event arrives or the
// timeout passes.
#pragma once

#include <QTimer>
#include <cstdint>
#include <memory>

#include "seam/clock.h"

namespace loopster {

class QtEventLoop final : public EventLoop {
  public:
    void pumpEvents() override;
    void waitForEvents(std::int32_t timeoutMs) override;

  private:
    // Wakes the blocked wait at the timeout; created at the first wait, after the application.
    std::unique_ptr<QTimer> m_timer;
};

}  // namespace loopster
