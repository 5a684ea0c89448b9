// The saver mode's main loop and its pacing: pattern after pattern, each frame traced, mapped to
// the pixels of each window it is shown in, drawn there as one polyline and held until its
// deadline. Window events are pumped only while a frame waits for its deadline, so the saver ends
// there.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/saver/saver_state.h"
#include "core/saver/saver_surfaces.h"
#include "seam/clock.h"
#include "seam/gdi.h"
#include "seam/random.h"
#include "seam/saver_window.h"

namespace loopster {

// A pattern and a frame held still, for tests that compare a screenshot with a picture drawn
// elsewhere: the random sequence is seeded with `seed` instead of the time of day, and every frame
// of the first pattern shows its frame `frame` (the last one when the pattern has fewer), over and
// over. Nothing but the test switch below sets it.
struct FramePin {
    float seed = 0;
    std::int16_t frame = 0;
};

// The test switch LOOPSTER_TEST_PIN=SEED:FRAME (SEED a number, FRAME a whole number from 0):
// nothing when `value` is null or empty, and also nothing, with one line in `problem`, when it is
// not of that form.
std::optional<FramePin> parseFramePin(const char* value, std::string& problem);

// What the render loop draws with and waits on. Without `surfaces` it draws on `window` alone;
// with them (one window per monitor) on each of them, and `window` is not drawn on.
struct SaverServices {
    SaverWindow& window;
    Gdi& gdi;
    Clock& clock;
    EventLoop& eventLoop;
    Random& random;
    SaverSurfaces* surfaces = nullptr;
    // Set only by tests: the pattern and frame to hold still.
    const FramePin* pin = nullptr;
};

// The colour of the pen that stays selected between frames: white.
inline constexpr std::int32_t kNeutralPenColour = 16777215;

// A frame rate of 0 is paced as this rate, the lowest the settings dialog offers.
inline constexpr int kLowestFrameRate = 5;

// While a pattern runs, the monitors are read again when this many milliseconds have passed since
// they last were, so a monitor that comes or grows is covered well within a second at any rate.
inline constexpr std::uint32_t kLayoutCheckMs = 200;

// The tick at which a frame that starts at `tick` ends: tick + 1000 / frameRate ms rounded half to
// even, wrapped to 32 bits like the counter itself so that the wrap never stalls a frame. A
// negative rate puts the deadline in the past, which means no pause.
std::uint32_t frameDeadline(std::uint32_t tick, std::int16_t frameRate);

// Milliseconds from `now` to `deadline`, modulo 2^32 and read as signed: negative or 0 once the
// deadline is reached (ticks less than 2^31 ms, 24.8 days, apart).
std::int32_t ticksUntil(std::uint32_t deadline, std::uint32_t now);

// Pumps the window events at least once and returns when the tick reaches `deadline`, blocking in
// the event wait in between.
void WaitUntilTick(std::uint32_t deadline, Clock& clock, EventLoop& eventLoop);

// Draws one mapped polyline on a window as every frame of the saver is drawn: the frame's pen
// selected, the window cleared right before the drawing (so a back buffer is empty for the least
// time), the `count` points drawn, and the neutral pen selected again. The pens stay the caller's.
void drawFramePolyline(Gdi& gdi, SaverWindow& window, Handle dc, Handle framePen, Handle neutralPen,
                       const CurvePoint* points, int count);

struct PatternTargets;

// The render loop one frame at a time, for a host that is driven by its own frame callback (a
// browser's requestAnimationFrame) as much as for RunSaver's own loop: each step draws the next
// frame, starting a new pattern first when the last one is over, and returns that frame's deadline.
// The caller shows the frame and steps again once the tick reaches the deadline; RunSaver waits
// for it in WaitUntilTick.
class FrameStepper {
  public:
    // Draws the first pattern and makes the pen that stays selected between frames.
    FrameStepper(SaverServices& services, SaverState& state);
    // A process ends inside a frame's wait, so the neutral pen is let go only when StopFlag ends
    // the run.
    ~FrameStepper();
    FrameStepper(const FrameStepper&) = delete;
    FrameStepper& operator=(const FrameStepper&) = delete;

    // Draws the next frame and returns its deadline; nothing once StopFlag is set at the end of
    // a pattern, after which the stepper must not be stepped again.
    std::optional<std::uint32_t> step();

  private:
    SaverServices& m_services;
    SaverState& m_state;
    OneSurface m_single;
    SaverSurfaces& m_surfaces;
    std::unique_ptr<PatternTargets> m_pattern;
    Handle m_neutralPen = 0;
    // Whether the running pattern's windows have been read, and its next frame.
    bool m_laidOut = false;
    std::int16_t m_frame = 0;
};

// Plays patterns until the process ends in a window event handler. Each frame is traced once, in
// model units, and mapped to each window's own size, so every monitor shows the same curve centred
// on it and scaled to its width. A window's size is read at the pattern's start, and again
// when its monitor changes while the pattern runs. StopFlag is cleared at the
// start and nothing sets it, so in practice this never returns.
void RunSaver(SaverServices& services, SaverState& state);

}  // namespace loopster
