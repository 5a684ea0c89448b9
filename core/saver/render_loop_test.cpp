// The render loop against fakes: the order of the drawing calls, pen lifetimes over many frames,
// the mapping to pixels, the pacing and where the run ends.
#include "core/saver/render_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/saver/screeen.h"
#include "seam/fake/fake_clock.h"
#include "seam/fake/fake_gdi.h"
#include "seam/fake/fake_process.h"
#include "seam/fake/fake_random.h"
#include "seam/fake/fake_saver_window.h"

namespace loopster {
namespace {

// Every random draw is 0.5, so the gears never change and each new pen target is 200. With the
// sheet's pen target set to "200" every pattern then runs from 200 to 200: one frame each.
struct Rig {
    CallLog log;
    FakeClock clock{1000};
    FakeEventLoop events{clock, &log};
    FakeGdi gdi{log};
    FakeSaverWindow window{log};
    FakeRandom random{std::vector<float>{0.5f}};
    FakeProcess process{"/s", &log};
    Screeen screeen{window, process};
    std::unique_ptr<SaverState> state = std::make_unique<SaverState>();
    SaverServices services{window, gdi, clock, events, random};

    explicit Rig(std::uint32_t start = 1000) : clock(start) {
        window.setEventHandler(&screeen);
        state->genbox.Text2 = "200";
    }

    void pressKeyAt(std::uint32_t tick) {
        events.at(tick, [this] { window.handler()->onKeyDown(16); });
    }

    // Runs until a window event ends the process; returns the exit code.
    int run() {
        const std::optional<int> code = exitCodeOf([this] { RunSaver(services, *state); });
        if (!code) {
            ADD_FAILURE() << "RunSaver returned";
        }
        return code.value_or(-1);
    }

    std::vector<std::string> callsFrom(std::size_t first) const {
        return {log.calls().begin() + static_cast<std::ptrdiff_t>(first), log.calls().end()};
    }
};

TEST(RenderLoop, FirstFrameTalksToWindowAndPensInOrder) {
    Rig rig;
    rig.state->globals.StopFlag = 1;
    rig.pressKeyAt(1000);
    EXPECT_EQ(rig.run(), 0);

    const std::int32_t colour = frameAt(rig.state->frameTable, 0).PenColor;
    const int points = rig.state->curve.PointCount + 1;
    const std::vector<std::string> expected = {
        "CreatePen 0 1 16777215",
        "scaleHeight",
        "scaleWidth",
        "setBackColor 0",
        "show",
        "hDC",
        "CreatePen 0 1 " + std::to_string(colour),
        "SelectObject 7 101",
        "cls",
        "Polyline 7 " + std::to_string(points),
        "SelectObject 7 100",
        "DeleteObject 101",
        "pump",
        "close",
        "endProcess 0",
    };
    EXPECT_EQ(rig.log.calls(), expected);
    EXPECT_GT(points, 2);
    EXPECT_EQ(rig.state->globals.StopFlag, 0);
}

TEST(RenderLoop, OnePenPerFrameAndNoHandleGrowthOverThousandsOfFrames) {
    Rig rig;
    rig.state->globals.LineWidth = 2;
    constexpr int kFrames = 3000;
    // Each frame holds 33 ms on the fake clock; the key comes during the last frame's wait.
    rig.pressKeyAt(1000 + kFrames * 33 - 10);
    EXPECT_EQ(rig.run(), 0);

    EXPECT_EQ(rig.gdi.polylines(), std::size_t{kFrames});
    EXPECT_EQ(rig.log.count("DeleteObject 100"), 0u);
    EXPECT_EQ(rig.gdi.peakLivePens(), 2u);
    EXPECT_EQ(rig.gdi.livePens(), 1u);
    EXPECT_EQ(rig.gdi.selected(FakeSaverWindow::kDc), 100u);
    EXPECT_EQ(rig.gdi.lastPen().width, 2);
    std::size_t created = 0;
    std::size_t deleted = 0;
    for (const auto& call : rig.log.calls()) {
        created += call.starts_with("CreatePen 0 2 ") ? 1u : 0u;
        deleted += call.starts_with("DeleteObject ") ? 1u : 0u;
    }
    EXPECT_EQ(created, std::size_t{kFrames});
    EXPECT_EQ(deleted, std::size_t{kFrames});
}

TEST(RenderLoop, PointsAreMappedWithTheSizeReadAtThePatternStart) {
    Rig rig;
    rig.window.setSize(1023, 767);
    // Resized during the first frame: that frame still uses 1023 x 767.
    rig.gdi.onPolyline([&rig] { rig.window.setSize(640, 480); });
    rig.pressKeyAt(1000);
    rig.run();

    CurveBuffer model;
    TraceCurve(0, rig.state->frameTable, rig.state->globals.PiValue, model);
    const std::vector<CurvePoint>& drawn = rig.gdi.lastPoints();
    const auto count = static_cast<std::size_t>(model.PointCount) + 1;
    ASSERT_EQ(drawn.size(), count);
    for (std::size_t j = 0; j < drawn.size(); ++j) {
        const double x = model.CurvePoints[j].x;
        const double y = model.CurvePoints[j].y;
        EXPECT_EQ(drawn[j].x, std::nearbyint(511.5 + (x * 1023.0 / 4000.0) / 0.85)) << j;
        EXPECT_EQ(drawn[j].y, std::nearbyint(383.5 + (y * 1023.0 / 4000.0) / 0.85)) << j;
    }
    EXPECT_EQ(drawn.front().x, drawn.back().x);
    EXPECT_EQ(drawn.front().y, drawn.back().y);
}

TEST(RenderLoop, FramesWaitForTheirDeadline) {
    Rig rig;
    rig.state->globals.FrameRate = 16;
    rig.clock.advance(1);
    rig.pressKeyAt(1136);
    rig.run();
    // 1001 + 62.5 rounds to the even 1064, 1064 + 62.5 to 1126, and 1126 + 62.5 to 1188; the key
    // at 1136 ends the third wait early.
    std::vector<std::string> waits;
    for (const auto& call : rig.log.calls()) {
        if (call.starts_with("wait")) {
            waits.push_back(call);
        }
    }
    EXPECT_EQ(waits, (std::vector<std::string>{"wait 63", "wait 62", "wait 62"}));
    EXPECT_EQ(rig.gdi.polylines(), 3u);

    Rig thirty;
    thirty.pressKeyAt(1000 + 33 * 5 - 1);
    thirty.run();
    EXPECT_EQ(thirty.log.count("wait 33"), 5u);
    EXPECT_EQ(thirty.clock.now(), 1000u + 33 * 5 - 1);
}

TEST(RenderLoop, FrameRateZeroAndNegativeNeitherStallNorDivideByZero) {
    Rig zero;
    zero.state->globals.FrameRate = 0;
    zero.pressKeyAt(1000 + 200 * 3 - 1);
    zero.run();
    EXPECT_EQ(zero.log.count("wait 200"), 3u);

    Rig negative;
    negative.state->globals.FrameRate = -1;
    negative.gdi.onPolyline([&negative] { negative.clock.advance(1); });
    negative.pressKeyAt(1000 + 4);
    negative.run();
    EXPECT_EQ(negative.events.waits(), 0u);
    EXPECT_EQ(negative.events.pumps(), 4u);
    EXPECT_EQ(negative.gdi.polylines(), 4u);
}

// After 24.8 and 49.7 days of uptime the tick passes 2^31 ms, where a signed tick would overflow,
// and 2^32 ms, where it wraps, in the middle of a pattern while the monitors are followed.
TEST(RenderLoop, RunsOnAsTheTickPassesTwoToThe31And32) {
    for (const std::uint32_t start : {0x80000000u - 300, 0u - 300}) {
        Rig rig(start);
        OneSurface surfaces(rig.window);
        rig.services.surfaces = &surfaces;
        // The first pattern runs from 100 to 200 at step 5: 20 frames, 660 ms.
        rig.state->genbox.Text2 = "100";
        rig.pressKeyAt(start + 33 * 20 - 1);
        EXPECT_EQ(rig.run(), 0);
        EXPECT_EQ(rig.log.count("wait 33"), 20u) << start;
        EXPECT_EQ(rig.gdi.polylines(), 20u) << start;
    }
}

TEST(RenderLoop, PatternsOfZeroAndOneFrame) {
    Rig rig;
    // The first pattern runs from 201 to 200 at step 5: 0.2 frames, so none. The next ones run
    // from 200 to 200, which counts as one frame.
    rig.state->genbox.Text2 = "201";
    rig.pressKeyAt(1000 + 33 + 1);
    rig.run();

    const std::vector<std::string> patternStart = {"scaleHeight", "scaleWidth", "setBackColor 0",
                                                   "show", "hDC"};
    std::vector<std::string> expected = {"CreatePen 0 1 16777215"};
    expected.insert(expected.end(), patternStart.begin(), patternStart.end());
    expected.insert(expected.end(), patternStart.begin(), patternStart.end());
    const auto& calls = rig.log.calls();
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(
                  calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);

    // One frame, its wait, and straight on to the next pattern.
    const std::size_t wait = rig.log.indexOf("wait");
    ASSERT_LT(wait + 1, calls.size());
    EXPECT_EQ(calls[wait + 1], "scaleHeight");
    EXPECT_EQ(rig.gdi.polylines(), 2u);
}

TEST(RenderLoop, ExitDuringALongFrameEndsTheRunAtTheNextWait) {
    Rig rig;
    // The frame takes 100 ms, far past its 33 ms deadline; the key arrives halfway through.
    rig.gdi.onPolyline([&rig] { rig.clock.advance(100); });
    rig.pressKeyAt(1050);
    rig.run();

    EXPECT_EQ(rig.gdi.polylines(), 1u);
    const std::vector<std::string> tail = {
        "Polyline 7 " + std::to_string(rig.gdi.lastPoints().size()),
        "SelectObject 7 100",
        "DeleteObject 101",
        "pump",
        "close",
        "endProcess 0"};
    EXPECT_EQ(rig.callsFrom(rig.log.calls().size() - tail.size()), tail);
    EXPECT_EQ(rig.events.waits(), 0u);
}

// A host driven by its own frame callback steps the loop: each step draws one frame and hands back
// its deadline without pumping or waiting, and the frames go on across the patterns.
TEST(RenderLoop, AFrameStepDrawsOneFrameAndLeavesTheWaitToTheHost) {
    Rig rig;
    FrameStepper stepper(rig.services, *rig.state);
    for (std::size_t frame = 1; frame <= 4; ++frame) {
        const std::uint32_t now = rig.clock.now();
        EXPECT_EQ(stepper.step(), frameDeadline(now, 30));
        EXPECT_EQ(rig.gdi.polylines(), frame);
        rig.clock.advance(40);
    }
    EXPECT_EQ(rig.events.pumps() + rig.events.waits(), 0u);
    EXPECT_EQ(rig.log.count("show"), 4u);
}

TEST(FrameDeadline, RoundsHalfToEvenAndWrapsInThirtyTwoBits) {
    EXPECT_EQ(frameDeadline(1000, 30), 1033u);
    EXPECT_EQ(frameDeadline(1000, 16), 1062u);
    EXPECT_EQ(frameDeadline(1001, 16), 1064u);
    EXPECT_EQ(frameDeadline(0xFFFFFFFBu, 16), 58u);
    EXPECT_EQ(frameDeadline(1000, 100), 1010u);
    EXPECT_EQ(frameDeadline(1000, 0), 1200u);
    EXPECT_EQ(frameDeadline(1000, -1), 0u);

    constexpr std::uint32_t kSignedTop = 0x7FFFFFFFu;
    EXPECT_EQ(frameDeadline(kSignedTop - 10, 30), kSignedTop + 23);
    EXPECT_EQ(ticksUntil(frameDeadline(kSignedTop - 10, 30), kSignedTop - 10), 33);
    EXPECT_EQ(frameDeadline(0xFFFFFFECu, 30), 13u);
    EXPECT_EQ(ticksUntil(kSignedTop + 23, kSignedTop), 23);
    EXPECT_EQ(ticksUntil(kSignedTop, kSignedTop + 23), -23);
}

TEST(WaitUntilTick, PumpsAtLeastOnceAndBlocksUntilTheDeadline) {
    CallLog log;
    FakeClock clock{500};
    FakeEventLoop events{clock, &log};

    WaitUntilTick(400, clock, events);
    EXPECT_EQ(log.calls(), std::vector<std::string>{"pump"});

    log.clear();
    WaitUntilTick(500, clock, events);
    EXPECT_EQ(log.calls(), std::vector<std::string>{"pump"});

    // An event halfway wakes the wait, which then blocks again for the rest.
    log.clear();
    bool delivered = false;
    events.at(510, [&delivered] { delivered = true; });
    WaitUntilTick(533, clock, events);
    EXPECT_TRUE(delivered);
    EXPECT_EQ(log.calls(), (std::vector<std::string>{"pump", "wait 33", "wait 23"}));
    EXPECT_EQ(clock.now(), 533u);
}

TEST(WaitUntilTick, EndsOnTimeAcrossTheCounterWrap) {
    CallLog log;
    FakeClock clock{0x7FFFFFFFu - 10};
    FakeEventLoop events{clock, &log};
    const std::uint32_t deadline = frameDeadline(clock.now(), 30);
    WaitUntilTick(deadline, clock, events);
    EXPECT_EQ(log.calls(), (std::vector<std::string>{"pump", "wait 33"}));
    EXPECT_EQ(clock.now(), deadline);

    // The unsigned wrap, from 0xFFFFFFF0 to 0x00000011.
    log.clear();
    FakeClock low{0xFFFFFFF0u};
    FakeEventLoop lowEvents{low, &log};
    WaitUntilTick(frameDeadline(low.now(), 30), low, lowEvents);
    EXPECT_EQ(log.calls(), (std::vector<std::string>{"pump", "wait 33"}));
    EXPECT_EQ(low.now(), 17u);
}

// The test switch takes SEED:FRAME and nothing else: anything else is one line and no pin, so a
// mistyped switch never holds a saver still.
TEST(FramePin, TakesSeedColonFrameAndRefusesTheRestInOneLine) {
    std::string problem;
    EXPECT_FALSE(parseFramePin(nullptr, problem));
    EXPECT_FALSE(parseFramePin("", problem));
    EXPECT_TRUE(problem.empty());
    const auto pin = parseFramePin("977.5:25", problem);
    ASSERT_TRUE(pin);
    EXPECT_EQ(pin->seed, 977.5f);
    EXPECT_EQ(pin->frame, 25);
    EXPECT_TRUE(problem.empty());
    for (const char* bad : {"977.5", "x:1", "1:", "1:-2", "1:40000", "1:2x", "nan:1", ":3"}) {
        problem.clear();
        EXPECT_FALSE(parseFramePin(bad, problem)) << bad;
        EXPECT_NE(problem.find("not SEED:FRAME"), std::string::npos) << bad;
    }
}

}  // namespace
}  // namespace loopster
