// The render loop and its pacing.
#include "core/saver/render_loop.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "common/numeric.h"
#include "core/geometry/pixel_mapping.h"
#include "core/pattern/randomiser.h"

namespace loopster {

std::uint32_t frameDeadline(std::uint32_t tick, std::int16_t frameRate) {
    const int rate = frameRate == 0 ? kLowestFrameRate : frameRate;
    // The sum is formed in double (1000 / 30 = 33.33...) and rounded half to even; going through
    // 64 bits and wrapping keeps a tick near the top of the range from overflowing. 2^32 is even,
    // so the wrap never changes which way a half rounds.
    const double deadline = static_cast<double>(tick) + 1000.0 / rate;
    const auto rounded = static_cast<std::int64_t>(roundHalfEven(deadline));
    return static_cast<std::uint32_t>(rounded);
}

std::int32_t ticksUntil(std::uint32_t deadline, std::uint32_t now) {
    return static_cast<std::int32_t>(deadline - now);
}

void WaitUntilTick(std::uint32_t deadline, Clock& clock, EventLoop& eventLoop) {
    eventLoop.pumpEvents();
    for (;;) {
        const std::int32_t remaining = ticksUntil(deadline, clock.GetTickCount());
        if (remaining <= 0) {
            return;
        }
        eventLoop.waitForEvents(remaining);
    }
}

void drawFramePolyline(Gdi& gdi, SaverWindow& window, Handle dc, Handle framePen, Handle neutralPen,
                       const CurvePoint* points, int count) {
    gdi.SelectObject(dc, framePen);
    window.cls();
    gdi.Polyline(dc, points, count);
    gdi.SelectObject(dc, neutralPen);
}

// A window as one pattern draws on it: its size and device context are read at the pattern's
// start, so a window resized by itself shows the change with the next pattern.
struct PatternTarget {
    SaverWindow* window;
    Handle dc;
    float w;
    float h;
};

struct PatternTargets {
    std::vector<PatternTarget> targets;
    // The tick at which the monitors were last read.
    std::uint32_t laidOut = 0;
    // The traced curve in model units, kept only while there is more than one window: the curve
    // buffer itself is mapped in place for each window in turn.
    std::vector<CurvePoint> model;
};

namespace {

// Draws frame `i` on every target and returns its deadline.
std::uint32_t drawFrame(std::int16_t i, SaverServices& services, SaverState& state,
                        PatternTargets& pattern, Handle neutralPen) {
    PatternGlobals& globals = state.globals;
    const std::uint32_t deadline = frameDeadline(services.clock.GetTickCount(), globals.FrameRate);
    BuildFrame(i, state.genbox, globals, state.frameTable);
    TraceCurve(i, state.frameTable, globals.PiValue, state.curve);

    Gdi& gdi = services.gdi;
    const Handle framePen =
        gdi.CreatePen(PS_SOLID, globals.LineWidth, frameAt(state.frameTable, i).PenColor);
    CurvePoint* const points = state.curve.CurvePoints.data();
    const int count = state.curve.PointCount + 1;
    if (pattern.targets.size() > 1) {
        pattern.model.assign(points, points + count);
    }
    for (std::size_t k = 0; k < pattern.targets.size(); ++k) {
        const PatternTarget& target = pattern.targets[k];
        if (k > 0) {
            std::copy(pattern.model.begin(), pattern.model.end(), points);
        }
        mapToPixels(state.curve, target.w, target.h, globals.FillRatio);
        drawFramePolyline(gdi, *target.window, target.dc, framePen, neutralPen, points, count);
    }
    gdi.DeleteObject(framePen);
    return deadline;
}

// Reads every window's size and device context, and makes sure it is black and shown.
void readTargets(SaverSurfaces& surfaces, PatternTargets& pattern) {
    pattern.targets.clear();
    for (std::size_t k = 0; k < surfaces.count(); ++k) {
        SaverWindow& window = surfaces.surface(k);
        // Single precision, as the mapping takes them.
        const auto h = static_cast<float>(window.scaleHeight());
        const auto w = static_cast<float>(window.scaleWidth());
        window.setBackColor(0);
        window.show();
        pattern.targets.push_back(PatternTarget{&window, window.hDC(), w, h});
    }
}

// A monitor plugged in or grown while a pattern runs is covered from the next frame, not only
// from the next pattern, which at 5 fps can be 16 s away. The monitors are read again at most
// every kLayoutCheckMs; a change reads the sizes anew, so a new or resized window draws the
// current pattern mapped to its own size. A window whose monitor did not change keeps its size,
// as read at the pattern's start.
void followMonitors(SaverServices& services, SaverSurfaces& surfaces, PatternTargets& pattern) {
    const std::uint32_t now = services.clock.GetTickCount();
    if (ticksUntil(pattern.laidOut + kLayoutCheckMs, now) > 0) {
        return;
    }
    pattern.laidOut = now;
    if (surfaces.layout()) {
        readTargets(surfaces, pattern);
    }
}

}  // namespace

FrameStepper::FrameStepper(SaverServices& services, SaverState& state)
    : m_services(services),
      m_state(state),
      m_single(services.window),
      m_surfaces(services.surfaces != nullptr ? *services.surfaces : m_single),
      m_pattern(std::make_unique<PatternTargets>()) {
    PatternGlobals& globals = m_state.globals;
    if (m_services.pin != nullptr) {
        m_services.random.seed(m_services.pin->seed);
    }
    globals.FrameCount = NewPattern(m_state.genbox, globals, m_services.random);
    m_neutralPen = m_services.gdi.CreatePen(PS_SOLID, 1, kNeutralPenColour);
    globals.StopFlag = 0;
}

FrameStepper::~FrameStepper() = default;

std::optional<std::uint32_t> FrameStepper::step() {
    PatternGlobals& globals = m_state.globals;
    // A pattern of no frames draws nothing: the next one follows at once.
    while (!m_laidOut || m_frame >= globals.FrameCount) {
        if (m_laidOut) {
            // A pinned pattern starts again (one without frames gives way, or nothing would
            // ever be drawn).
            if (m_services.pin == nullptr || globals.FrameCount <= 0) {
                globals.FrameCount = NewPattern(m_state.genbox, globals, m_services.random);
            }
            m_laidOut = false;
            if (globals.StopFlag != 0) {
                m_services.gdi.DeleteObject(m_neutralPen);
                return std::nullopt;
            }
        }
        // Monitors that came, went or changed are taken in here, with the window sizes.
        m_surfaces.layout();
        // A single window has no monitors to follow, and its pacing reads the clock only as
        // often as it always did.
        if (m_services.surfaces != nullptr) {
            m_pattern->laidOut = m_services.clock.GetTickCount();
        }
        readTargets(m_surfaces, *m_pattern);
        m_laidOut = true;
        m_frame = 0;
    }
    if (m_services.surfaces != nullptr && m_frame > 0) {
        followMonitors(m_services, m_surfaces, *m_pattern);
    }
    // A pinned pattern shows its one frame for as long as the pattern would last, and then
    // again, never moving on to another pattern.
    const FramePin* pin = m_services.pin;
    const std::int16_t frame = m_frame++;
    const auto shown = static_cast<std::int16_t>(
        pin != nullptr ? std::min<int>(pin->frame, std::max<int>(globals.FrameCount - 1, 0))
                       : frame);
    return drawFrame(shown, m_services, m_state, *m_pattern, m_neutralPen);
}

void RunSaver(SaverServices& services, SaverState& state) {
    FrameStepper stepper(services, state);
    while (const auto deadline = stepper.step()) {
        WaitUntilTick(*deadline, services.clock, services.eventLoop);
    }
}

}  // namespace loopster
