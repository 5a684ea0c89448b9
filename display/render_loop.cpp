// The render loop and its pacing.
#include "display/render_loop.h"

#include "common/numeric.h"
#include "display/pixel_mapping.h"
#include "pattern/randomiser.h"

namespace loopster {

std::int32_t frameDeadline(std::int32_t tick, std::int16_t frameRate) {
    const int rate = frameRate == 0 ? kLowestFrameRate : frameRate;
    // The sum is formed in double (1000 / 30 = 33.33...) and rounded half to even, as a 32-bit
    // rounding of it would be; going through 64 bits and wrapping keeps a tick near the top of
    // the range from overflowing, while every deadline away from the wrap comes out the same.
    const double deadline = static_cast<double>(tick) + 1000.0 / rate;
    const auto rounded = static_cast<std::int64_t>(roundHalfEven(deadline));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(rounded));
}

std::int32_t ticksUntil(std::int32_t deadline, std::int32_t now) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(deadline) -
                                     static_cast<std::uint32_t>(now));
}

void WaitUntilTick(std::int32_t deadline, Clock& clock, EventLoop& eventLoop) {
    eventLoop.pumpEvents();
    for (;;) {
        const std::int32_t remaining = ticksUntil(deadline, clock.GetTickCount());
        if (remaining <= 0) {
            return;
        }
        eventLoop.waitForEvents(remaining);
    }
}

namespace {

void drawFrame(std::int16_t i, SaverServices& services, SaverState& state, Handle dc,
               Handle neutralPen, float w, float h) {
    PatternGlobals& globals = state.globals;
    const std::int32_t deadline = frameDeadline(services.clock.GetTickCount(), globals.FrameRate);
    BuildFrame(i, state.genbox, globals, state.frameTable);
    TraceCurve(i, state.frameTable, globals.PiValue, state.curve);

    Gdi& gdi = services.gdi;
    const Handle framePen =
        gdi.CreatePen(PS_SOLID, globals.LineWidth, frameAt(state.frameTable, i).PenColor);
    gdi.SelectObject(dc, framePen);
    mapToPixels(state.curve, w, h, globals.FillRatio);
    // Cleared only now, right before the drawing, so the back buffer is empty for the least time.
    services.window.cls();
    gdi.Polyline(dc, state.curve.CurvePoints.data(), state.curve.PointCount + 1);
    gdi.SelectObject(dc, neutralPen);
    gdi.DeleteObject(framePen);

    WaitUntilTick(deadline, services.clock, services.eventLoop);
}

}  // namespace

void RunSaver(SaverServices& services, SaverState& state) {
    PatternGlobals& globals = state.globals;
    SaverWindow& window = services.window;

    globals.FrameCount = NewPattern(state.genbox, globals, services.random);
    const Handle neutralPen = services.gdi.CreatePen(PS_SOLID, 1, kNeutralPenColour);
    globals.StopFlag = 0;
    while (globals.StopFlag == 0) {
        // Single precision, as the mapping takes them; a size change shows with the next pattern.
        const auto h = static_cast<float>(window.scaleHeight());
        const auto w = static_cast<float>(window.scaleWidth());
        window.setBackColor(0);
        window.show();
        const Handle dc = window.hDC();
        for (std::int16_t i = 0; i < globals.FrameCount; ++i) {
            drawFrame(i, services, state, dc, neutralPen, w, h);
        }
        globals.FrameCount = NewPattern(state.genbox, globals, services.random);
    }
    services.gdi.DeleteObject(neutralPen);
}

}  // namespace loopster
