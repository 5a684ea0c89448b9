// A clock and an event loop for tests. The clock only moves when told to; waiting for events moves
// it to the next scripted event or to the end of the timeout, so pacing runs in no real time.
// Scripted events run inside the pump, as the window system's handlers do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "seam/clock.h"
#include "seam/fake/call_log.h"

namespace loopster {

class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::uint32_t tick = 1000) : m_tick(tick) {}

    std::uint32_t GetTickCount() override {
        ++m_reads;
        return now();
    }
    float secondsSinceMidnight() override { return m_secondsSinceMidnight; }

    // The tick without counting a read.
    std::uint32_t now() const { return m_tick; }
    // Moves the tick on, wrapping in 32 bits as the system's counter does.
    void advance(std::int32_t ms) { m_tick += static_cast<std::uint32_t>(ms); }
    void setSecondsSinceMidnight(float seconds) { m_secondsSinceMidnight = seconds; }
    std::size_t reads() const { return m_reads; }

  private:
    std::uint32_t m_tick;
    float m_secondsSinceMidnight = 43200.25f;
    std::size_t m_reads = 0;
};

class FakeEventLoop final : public EventLoop {
  public:
    explicit FakeEventLoop(FakeClock& clock, CallLog* log = nullptr) : m_clock(clock), m_log(log) {}

    // Runs `action` in the first pump at or after `tick` (modular comparison).
    void at(std::uint32_t tick, std::function<void()> action) {
        m_events.push_back({tick, std::move(action)});
    }

    void pumpEvents() override {
        ++m_pumps;
        record("pump");
        deliverDue();
    }

    void waitForEvents(std::int32_t timeoutMs) override {
        ++m_waits;
        record("wait " + std::to_string(timeoutMs));
        if (timeoutMs > 0) {
            std::int32_t step = timeoutMs;
            for (const auto& event : m_events) {
                const std::int32_t until = ticksFromNow(event.tick);
                if (until < step) {
                    step = until < 0 ? 0 : until;
                }
            }
            m_clock.advance(step);
        }
        deliverDue();
    }

    std::size_t pumps() const { return m_pumps; }
    std::size_t waits() const { return m_waits; }

  private:
    struct Scripted {
        std::uint32_t tick;
        std::function<void()> action;
    };

    std::int32_t ticksFromNow(std::uint32_t tick) const {
        return static_cast<std::int32_t>(tick - m_clock.now());
    }

    void deliverDue() {
        for (std::size_t i = 0; i < m_events.size();) {
            if (ticksFromNow(m_events[i].tick) <= 0) {
                auto action = std::move(m_events[i].action);
                m_events.erase(m_events.begin() + static_cast<std::ptrdiff_t>(i));
                action();
            } else {
                ++i;
            }
        }
    }

    void record(const std::string& call) {
        if (m_log != nullptr) {
            m_log->add(call);
        }
    }

    FakeClock& m_clock;
    CallLog* m_log;
    std::vector<Scripted> m_events;
    std::size_t m_pumps = 0;
    std::size_t m_waits = 0;
};

}  // namespace loopster
