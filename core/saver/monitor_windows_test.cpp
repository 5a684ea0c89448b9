// The render loop on one window per monitor: every monitor shows the same frame mapped to its own
// size, the exit rules count the moves of all windows together, and a change of the monitors shows
// with the next pattern or, during a long one, within a few frames. With one monitor the loop talks
// to the window exactly as to a single one.
#include "core/saver/monitor_windows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/saver/render_loop.h"
#include "core/saver/screeen.h"
#include "seam/fake/fake_clock.h"
#include "seam/fake/fake_gdi.h"
#include "seam/fake/fake_monitors.h"
#include "seam/fake/fake_process.h"
#include "seam/fake/fake_random.h"
#include "seam/fake/fake_saver_window.h"

namespace loopster {
namespace {

// Every random draw is 0.5 and the sheet's pen target "200", so each pattern is one frame of the
// same curve, 33 ms long (as in the render loop's own tests).
struct Rig {
    explicit Rig(std::vector<MonitorRect> layout) : monitors(log, std::move(layout)) {
        windows.setEventHandler(&screeen);
        state->genbox.Text2 = "200";
    }

    int run() {
        const std::optional<int> code = exitCodeOf([this] { RunSaver(services, *state); });
        if (!code) {
            ADD_FAILURE() << "RunSaver returned";
        }
        return code.value_or(-1);
    }

    FakeSaverWindow& window(std::size_t index) {
        return static_cast<FakeSaverWindow&>(windows.surface(index));
    }

    // The frame's curve in model units, traced again.
    std::vector<CurvePoint> model() const {
        CurveBuffer curve;
        TraceCurve(0, state->frameTable, state->globals.PiValue, curve);
        return {curve.CurvePoints.begin(), curve.CurvePoints.begin() + curve.PointCount + 1};
    }

    CallLog log;
    FakeClock clock{1000};
    FakeEventLoop events{clock, &log};
    FakeGdi gdi{log};
    FakeMonitors monitors;
    MonitorWindows windows{monitors};
    FakeRandom random{std::vector<float>{0.5f}};
    FakeProcess process{"/s", &log};
    Screeen screeen{windows, process};
    std::unique_ptr<SaverState> state = std::make_unique<SaverState>();
    SaverServices services{windows, gdi, clock, events, random, &windows};
};

// The mapping written out for a window of w x h pixels.
void expectMappedTo(const std::vector<CurvePoint>& drawn, const std::vector<CurvePoint>& model,
                    double w, double h) {
    ASSERT_EQ(drawn.size(), model.size());
    for (std::size_t j = 0; j < drawn.size(); ++j) {
        EXPECT_EQ(drawn[j].x, std::nearbyint(w / 2 + (model[j].x * w / 4000.0) / 0.85)) << j;
        EXPECT_EQ(drawn[j].y, std::nearbyint(h / 2 + (model[j].y * w / 4000.0) / 0.85)) << j;
    }
}

TEST(MonitorWindows, OneMonitorIsDrawnOnExactlyAsTheSingleWindow) {
    CallLog singleLog;
    FakeClock clock{1000};
    FakeEventLoop events{clock, &singleLog};
    FakeGdi gdi{singleLog};
    FakeSaverWindow window{singleLog};
    FakeRandom random{std::vector<float>{0.5f}};
    FakeProcess process{"/s", &singleLog};
    Screeen screeen{window, process};
    window.setEventHandler(&screeen);
    auto state = std::make_unique<SaverState>();
    state->genbox.Text2 = "200";
    SaverServices services{window, gdi, clock, events, random};
    events.at(1000 + 33 * 3 - 1, [&window] { window.handler()->onKeyDown(65); });
    EXPECT_THROW(RunSaver(services, *state), ProcessEnded);

    Rig rig({MonitorRect{0, 0, 1024, 768}});
    rig.events.at(1000 + 33 * 3 - 1, [&rig] { rig.window(0).handler()->onKeyDown(65); });
    EXPECT_EQ(rig.run(), 0);
    // Less the set's own questions to the desktop, the calls are the same, frame for frame.
    std::vector<std::string> calls;
    for (const std::string& call : rig.log.calls()) {
        if (call != "monitors" && !call.starts_with("createWindow ")) {
            calls.push_back(call);
        }
    }
    EXPECT_EQ(calls, singleLog.calls());
    EXPECT_EQ(rig.log.count("monitors"), 3u);
    EXPECT_EQ(rig.log.count("createWindow 0,0 1024x768"), 1u);
    ASSERT_EQ(rig.gdi.lastPoints().size(), gdi.lastPoints().size());
    for (std::size_t j = 0; j < gdi.lastPoints().size(); ++j) {
        EXPECT_EQ(rig.gdi.lastPoints()[j].x, gdi.lastPoints()[j].x) << j;
        EXPECT_EQ(rig.gdi.lastPoints()[j].y, gdi.lastPoints()[j].y) << j;
    }
}

TEST(MonitorWindows, EachMonitorShowsTheSameFrameMappedToItsOwnSize) {
    // The second monitor lies left of and above the primary one.
    Rig rig({MonitorRect{0, 0, 1280, 800}, MonitorRect{-1024, -100, 1024, 768}});
    rig.events.at(1000, [&rig] { rig.window(1).handler()->onKeyDown(65); });
    EXPECT_EQ(rig.run(), 0);

    const std::vector<CurvePoint> model = rig.model();
    const std::int32_t colour = frameAt(rig.state->frameTable, 0).PenColor;
    const std::string points = std::to_string(model.size());
    // One pen for the frame, on both device contexts, deleted once neither holds it.
    const std::vector<std::string> frame = {
        "CreatePen 0 1 " + std::to_string(colour),
        "SelectObject 7 101",
        "cls",
        "Polyline 7 " + points,
        "SelectObject 7 100",
        "SelectObject 8 101",
        "cls",
        "Polyline 8 " + points,
        "SelectObject 8 100",
        "DeleteObject 101",
        "pump",
        "close",
        "endProcess 0",
    };
    const auto& calls = rig.log.calls();
    ASSERT_GE(calls.size(), frame.size());
    EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<std::ptrdiff_t>(frame.size()),
                                       calls.end()),
              frame);
    EXPECT_TRUE(rig.window(0).visible());
    EXPECT_TRUE(rig.window(1).visible());
    // Each from the model units, not from the other monitor's pixels.
    expectMappedTo(rig.gdi.lastPointsOn(7), model, 1280, 800);
    expectMappedTo(rig.gdi.lastPointsOn(8), model, 1024, 768);
    EXPECT_EQ(rig.gdi.livePens(), 1u);
}

TEST(MonitorWindows, PointerMovesOnEveryMonitorCountTogether) {
    const std::vector<MonitorRect> two = {MonitorRect{0, 0, 1280, 800},
                                          MonitorRect{1280, 0, 1024, 768}};
    Rig rig(two);
    rig.windows.layout();
    rig.window(0).handler()->onMouseMove(100.0f, 100.0f);
    rig.window(1).handler()->onMouseMove(10.0f, 10.0f);
    EXPECT_EQ(rig.screeen.MoveCount(), 2);
    EXPECT_TRUE(rig.log.indexOf("close") == rig.log.calls().size());
    // The third move, on the second monitor, closes the primary window, which ends the run.
    EXPECT_THROW(rig.window(1).handler()->onMouseMove(20.0f, 10.0f), ProcessEnded);
    EXPECT_EQ(rig.log.calls().back(), "endProcess 0");
    EXPECT_EQ(rig.log.calls()[rig.log.calls().size() - 2], "close");

    // A window made for a monitor that came later ends the run on a button like the others.
    Rig later({two[0]});
    later.windows.layout();
    later.monitors.setMonitors(two);
    later.windows.layout();
    ASSERT_EQ(later.windows.count(), 2u);
    EXPECT_THROW(later.window(1).handler()->onMouseDown(1), ProcessEnded);
    EXPECT_EQ(later.process.exitCode(), 0);
}

TEST(MonitorWindows, MonitorsThatComeGoOrGrowShowWithTheNextPattern) {
    const MonitorRect grown{0, 0, 1920, 1080};
    const MonitorRect second{1920, 0, 1280, 1024};
    const MonitorRect last{0, 0, 800, 600};
    Rig rig({MonitorRect{0, 0, 1024, 768}});
    // One frame per pattern; the desktop changes while a frame is drawn, so the next pattern is
    // the first to see it.
    std::size_t polylines = 0;
    rig.gdi.onPolyline([&] {
        ++polylines;
        if (polylines == 1) {
            rig.monitors.setMonitors({grown, second});
        } else if (polylines == 3) {
            rig.monitors.setMonitors({});
        } else if (polylines == 5) {
            rig.monitors.setMonitors({last});
        }
    });
    rig.events.at(1000 + 33 * 4 - 1, [&rig] { rig.window(0).handler()->onKeyDown(65); });
    EXPECT_EQ(rig.run(), 0);

    // Pattern 2 moves the first window and makes a second; pattern 3 keeps both, as no monitor
    // was reported; pattern 4 lets the second go and fits the first to what is left.
    const auto& calls = rig.log.calls();
    const std::size_t placed = rig.log.indexOf("place 0,0 1920x1080");
    const std::size_t created = rig.log.indexOf("createWindow 1920,0 1280x1024");
    const std::size_t shrunk = rig.log.indexOf("place 0,0 800x600");
    ASSERT_LT(shrunk, calls.size());
    EXPECT_LT(rig.log.indexOf("Polyline 7"), placed);
    EXPECT_LT(placed, created);
    EXPECT_LT(created, rig.log.indexOf("Polyline 8"));
    EXPECT_EQ(rig.log.count("monitors"), 4u);
    EXPECT_EQ(rig.gdi.polylines(), 6u);
    EXPECT_EQ(rig.windows.count(), 1u);
    EXPECT_EQ(rig.windows.monitors(), std::vector<MonitorRect>{last});
    for (std::size_t i = shrunk; i < calls.size(); ++i) {
        EXPECT_FALSE(calls[i].starts_with("Polyline 8")) << i;
    }
    const std::vector<CurvePoint> model = rig.model();
    expectMappedTo(rig.gdi.lastPointsOn(7), model, 800, 600);
    expectMappedTo(rig.gdi.lastPointsOn(8), model, 1280, 1024);
}

TEST(MonitorWindows, AMonitorPluggedInDuringALongPatternIsCoveredWithinAFewFrames) {
    const MonitorRect first{0, 0, 1024, 768};
    const MonitorRect second{1024, 0, 1280, 1024};
    // From pen target 0 to 200 at step 5: one pattern of 40 frames, 8 s at 5 fps.
    Rig rig({first});
    rig.state->genbox.Text2 = "0";
    rig.state->globals.FrameRate = 5;
    rig.gdi.onPolyline([&] {
        if (rig.gdi.polylines() == 3) {
            rig.monitors.setMonitors({MonitorRect{0, 0, 800, 600}, second});
        }
    });
    rig.events.at(1000 + 200 * 6 - 1, [&rig] { rig.window(0).handler()->onKeyDown(65); });
    EXPECT_EQ(rig.run(), 0);
    ASSERT_EQ(rig.state->globals.FrameCount, 40);

    // The monitors changed during the third frame (ending at tick 1600); the fourth draws on the
    // new window, mapped to its own size, and on the shrunk one at its new size.
    const std::size_t created = rig.log.indexOf("createWindow 1024,0 1280x1024");
    ASSERT_LT(created, rig.log.calls().size());
    EXPECT_EQ(rig.gdi.polylines(), 3u + 2 * 3);
    EXPECT_LT(created, rig.log.indexOf("Polyline 8"));
    EXPECT_TRUE(rig.window(1).visible());
    CurveBuffer curve;
    TraceCurve(5, rig.state->frameTable, rig.state->globals.PiValue, curve);
    const std::vector<CurvePoint> model(curve.CurvePoints.begin(),
                                        curve.CurvePoints.begin() + curve.PointCount + 1);
    expectMappedTo(rig.gdi.lastPointsOn(7), model, 800, 600);
    expectMappedTo(rig.gdi.lastPointsOn(8), model, 1280, 1024);

    // At 100 fps the desktop is still asked only every 200 ms: five times a second, not 100.
    Rig fast({first});
    fast.state->genbox.Text2 = "0";
    fast.state->globals.FrameRate = 100;
    fast.events.at(1000 + 10 * 40 - 1, [&fast] { fast.window(0).handler()->onKeyDown(65); });
    EXPECT_EQ(fast.run(), 0);
    EXPECT_EQ(fast.gdi.polylines(), 40u);
    EXPECT_EQ(fast.log.count("monitors"), 2u);
}

}  // namespace
}  // namespace loopster
