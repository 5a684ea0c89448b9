// A measuring program, not a test: paces frames with the saver's own pacing (frameDeadline and
// WaitUntilTick) on the Windows tick and event wait, without drawing, and prints the frame rate
// that a user would see for each rate asked for, with the smallest step of the tick. With
// "coarse" the tick is cut down to the 15.625 ms steps of GetTickCount on Windows, which shows
// what pacing by that counter costs; with "full" each wait runs for the whole timeout instead of
// ending at the deadline's own timer interrupt. Asserts nothing.
//
//   loopster_frame_rate_probe.exe [SECONDS [coarse] [full]]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/saver/render_loop.h"
#include "hosts/win32/win32_clock.h"
#include "hosts/win32/win32_config_dialog.h"
#include "hosts/win32/win32_process.h"
#include "hosts/win32/windows_api.h"

namespace {

using namespace loopster;

double nowMs() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The saver's tick as Windows' GetTickCount would give it: in whole 64 Hz timer interrupts.
class CoarseClock final : public Clock {
  public:
    explicit CoarseClock(Clock& fine) : m_fine(fine) {}
    std::uint32_t GetTickCount() override {
        const std::uint32_t ms = m_fine.GetTickCount();
        const std::uint64_t interrupts = std::uint64_t{ms} * 64 / 1000;
        return static_cast<std::uint32_t>(interrupts * 1000 / 64);
    }
    float secondsSinceMidnight() override { return m_fine.secondsSinceMidnight(); }

  private:
    Clock& m_fine;
};

// The event wait as it was before it aimed at the deadline's own timer interrupt: for the whole
// timeout.
class FullWait final : public EventLoop {
  public:
    explicit FullWait(EventLoop& events) : m_events(events) {}
    void pumpEvents() override { m_events.pumpEvents(); }
    void waitForEvents(std::int32_t timeoutMs) override {
        m_events.waitForEvents(timeoutMs > 0 ? timeoutMs + 1 : timeoutMs);
    }

  private:
    EventLoop& m_events;
};

// The smallest change of the tick seen over 100 changes, in milliseconds.
std::int32_t smallestStep(Clock& clock) {
    std::int32_t smallest = 0;
    std::uint32_t last = clock.GetTickCount();
    for (int changes = 0; changes < 100;) {
        const std::uint32_t tick = clock.GetTickCount();
        const std::int32_t step = ticksUntil(tick, last);
        if (step != 0) {
            smallest = smallest == 0 || step < smallest ? step : smallest;
            last = tick;
            ++changes;
        }
    }
    return smallest;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    bool coarse = false;
    bool full = false;
    for (int i = 2; i < argc; ++i) {
        coarse = coarse || std::strcmp(argv[i], "coarse") == 0;
        full = full || std::strcmp(argv[i], "full") == 0;
    }
    Win32Process process;
    Win32ConfigView noDialog(process, "");
    Win32EventLoop win32Events(noDialog);
    FullWait fullWait(win32Events);
    EventLoop& events = full ? static_cast<EventLoop&>(fullWait) : win32Events;
    Win32Clock fine;
    CoarseClock cut(fine);
    Clock& clock = coarse ? static_cast<Clock&>(cut) : fine;

    std::printf("tick: %s, smallest step %d ms; wait: %s\n",
                coarse ? "cut to 15.625 ms" : "timeGetTime", smallestStep(clock),
                full ? "the whole timeout" : "to the deadline's interrupt");
    for (const std::int16_t rate : {std::int16_t{30}, std::int16_t{100}}) {
        const double start = nowMs();
        double last = start;
        double longest = 0;
        int frames = 0;
        while (last - start < seconds * 1000.0) {
            WaitUntilTick(frameDeadline(clock.GetTickCount(), rate), clock, events);
            const double now = nowMs();
            longest = now - last > longest ? now - last : longest;
            last = now;
            ++frames;
        }
        std::printf("set %3d fps: %6.2f fps over %d frames, longest frame %.2f ms\n", rate,
                    frames * 1000.0 / (last - start), frames, longest);
    }
    return 0;
}
