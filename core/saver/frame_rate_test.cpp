// The frame rate that the render loop's pacing shows on tick counters and event waits that behave
// like the systems' own: Windows' GetTickCount, which moves only at the 64 Hz timer interrupt;
// timeGetTime under a 1 ms timer period; and a millisecond clock whose waits end a little late at
// no particular phase (Wine, Qt on Linux). Time runs in simulated microseconds, and the real
// RunSaver draws with fakes, so these show what the loop does with each clock, not what a busy
// machine does.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/saver/render_loop.h"
#include "core/saver/screeen.h"
#include "seam/fake/fake_gdi.h"
#include "seam/fake/fake_process.h"
#include "seam/fake/fake_random.h"
#include "seam/fake/fake_saver_window.h"

namespace loopster {
namespace {

// Windows' default timer interrupt: 64 a second.
constexpr std::int64_t kDefaultInterruptUs = 15625;

struct System {
    // Microseconds since the system started.
    std::int64_t now = 1'000'000'000;
    // How far apart the tick's steps are.
    std::int64_t tickStepUs = 1000;
    // A wait runs out at the first timer interrupt after its timeout; 1 is as good as none.
    std::int64_t interruptUs = 1;
    // How long after running out a wait returns to the program.
    std::int64_t lateUs = 0;
};

class SystemClock final : public Clock {
  public:
    explicit SystemClock(System& system) : m_system(system) {}
    std::uint32_t GetTickCount() override {
        const std::int64_t step = m_system.tickStepUs;
        const std::int64_t ms = m_system.now / step * step / 1000;
        return static_cast<std::uint32_t>(ms);
    }
    float secondsSinceMidnight() override { return 0.5f; }

  private:
    System& m_system;
};

class SystemWait final : public EventLoop {
  public:
    explicit SystemWait(System& system) : m_system(system) {}
    void pumpEvents() override {}
    void waitForEvents(std::int32_t timeoutMs) override {
        if (timeoutMs <= 0) {
            return;
        }
        const std::int64_t due = m_system.now + std::int64_t{timeoutMs} * 1000;
        const std::int64_t interrupt = m_system.interruptUs;
        m_system.now = (due + interrupt - 1) / interrupt * interrupt + m_system.lateUs;
    }

  private:
    System& m_system;
};

// Runs the saver for `frames` frames at `rate` on `system` and returns the frames per second
// between the first frame's drawing and the last one's. Each frame takes 2 ms to draw.
double measuredRate(System system, std::int16_t rate, int frames = 400) {
    CallLog log;
    SystemClock clock(system);
    SystemWait events(system);
    FakeGdi gdi(log);
    FakeSaverWindow window(log);
    FakeRandom random(std::vector<float>{0.5f});
    FakeProcess process("/s", &log);
    Screeen screeen(window, process);
    window.setEventHandler(&screeen);
    auto state = std::make_unique<SaverState>();
    state->globals.FrameRate = rate;
    SaverServices services{window, gdi, clock, events, random};

    std::vector<std::int64_t> drawn;
    gdi.onPolyline([&] {
        drawn.push_back(system.now);
        system.now += 2000;
        if (static_cast<int>(drawn.size()) == frames) {
            window.handler()->onKeyDown(16);
        }
    });
    exitCodeOf([&] { RunSaver(services, *state); });
    if (drawn.size() < 2) {
        ADD_FAILURE() << "the saver drew " << drawn.size() << " frame(s)";
        return 0;
    }
    return static_cast<double>(drawn.size() - 1) * 1e6 /
           static_cast<double>(drawn.back() - drawn.front());
}

// Either coarse part alone holds each frame until a later 64 Hz interrupt: 46.9 ms for the 33 ms
// of a set 30 (21.3 fps), 15.6 ms for the 10 ms of a set 100 (64 fps). Pacing by GetTickCount, or
// by a fine tick without a finer timer period, is what a Windows user saw.
TEST(FrameRate, ACoarseTickOrTimerShowsFewerFramesThanSet) {
    const System coarseTick{.tickStepUs = kDefaultInterruptUs, .interruptUs = 1000};
    const System coarseTimer{.tickStepUs = 1000, .interruptUs = kDefaultInterruptUs};
    const System windowsDefault{.tickStepUs = kDefaultInterruptUs,
                                .interruptUs = kDefaultInterruptUs};
    for (const System& system : {coarseTick, coarseTimer, windowsDefault}) {
        EXPECT_NEAR(measuredRate(system, 30), 21.33, 0.1) << system.tickStepUs;
        EXPECT_NEAR(measuredRate(system, 100), 64.0, 0.1) << system.tickStepUs;
    }
}

// With a 1 ms tick the set rate shows, whether the wait ends at the next 1 ms interrupt (Windows
// with a 1 ms timer period) or up to 0.9 ms late at any phase (Wine, Linux): 30 shows at least 29
// and 100 at least 90. Never more than the rate that the rounded interval allows: 1000 / 33 and
// 1000 / 10.
TEST(FrameRate, AMillisecondTickShowsTheSetRate) {
    const System fineTimer{.tickStepUs = 1000, .interruptUs = 1000, .lateUs = 50};
    const System lateWake{.tickStepUs = 1000, .interruptUs = 1, .lateUs = 900};
    const System promptWake{.tickStepUs = 1000, .interruptUs = 1, .lateUs = 100};
    for (const System& system : {fineTimer, lateWake, promptWake}) {
        const double thirty = measuredRate(system, 30);
        const double hundred = measuredRate(system, 100);
        EXPECT_GE(thirty, 29.0) << system.interruptUs << " " << system.lateUs;
        EXPECT_LE(thirty, 1000.0 / 33);
        EXPECT_GE(hundred, 90.0) << system.interruptUs << " " << system.lateUs;
        EXPECT_LE(hundred, 100.0);
    }
}

}  // namespace
}  // namespace loopster
