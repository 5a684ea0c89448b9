// The animation the benchmarks run: 80 frames over the widest ranges the parameter sheet takes,
// with the gears given.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry/curve_tracer.h"
#include "core/geometry/pixel_mapping.h"
#include "core/pattern/frame_table.h"
#include "core/pattern/genbox.h"
#include "core/pattern/pattern_globals.h"

namespace loopster {

struct BenchAnimation {
    PatternGlobals globals;
    GenBox genbox;
};

// Gears 60 and 25 (ratio 12 : 5) give the densest curve, 481 points; the start gears 100 and 40
// (ratio 5 : 2) a typical one of 201.
inline BenchAnimation benchAnimation(double fixedGearSize, std::int16_t rollingGearSize) {
    BenchAnimation animation;
    animation.globals.FrameCount = 80;
    animation.globals.FixedGearSize = fixedGearSize;
    animation.globals.RollingGearSize = rollingGearSize;
    animation.genbox.Text1 = "0";
    animation.genbox.Text2 = "399";
    animation.genbox.Text4 = "0";
    animation.genbox.Text5 = "359";
    animation.genbox.Text7 = "-100";
    animation.genbox.Text8 = "99";
    return animation;
}

// Every frame of that animation, traced and mapped to pixels of a screen `width` by `height`.
inline std::vector<std::unique_ptr<CurveBuffer>> benchFrames(double fixedGearSize,
                                                             std::int16_t rollingGearSize,
                                                             float width, float height) {
    const auto [globals, genbox] = benchAnimation(fixedGearSize, rollingGearSize);
    auto table = std::make_unique<FrameTable>();
    std::vector<std::unique_ptr<CurveBuffer>> curves;
    for (std::int16_t i = 0; i < globals.FrameCount; ++i) {
        BuildFrame(i, genbox, globals, *table);
        curves.push_back(std::make_unique<CurveBuffer>());
        TraceCurve(i, *table, globals.PiValue, *curves.back());
        mapToPixels(*curves.back(), width, height, globals.FillRatio);
    }
    return curves;
}

}  // namespace loopster
