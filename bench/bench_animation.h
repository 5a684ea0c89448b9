// The animation the benchmarks run: 80 frames over the widest ranges the parameter sheet takes,
// with the gears given.
#pragma once

#include <cstdint>

#include "pattern/genbox.h"
#include "pattern/pattern_globals.h"

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

}  // namespace loopster
