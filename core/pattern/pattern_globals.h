// The pattern globals: one instance for the run, owned by the start-up and passed by reference.
#pragma once

#include <cstdint>

namespace loopster {

struct PatternGlobals {
    // Frames of the running animation, 0 to 80.
    std::int16_t FrameCount = 0;
    // 100 at start, later a whole number from 35 to 120 (exact in a double); never limited to 16
    // bits.
    double FixedGearSize = 100.0;
    // 40 at start, later 10 to 70.
    std::int16_t RollingGearSize = 40;
    // Frames per second; taken from the settings dialog at start.
    std::int16_t FrameRate = 30;
    // The pen width in pixels: 1 light, 2 heavy.
    int LineWidth = 1;
    double FillRatio = 0.85;
    // The value used for every conversion between degrees and radians and for every angle step.
    // Deliberately this literal, not the full-precision constant: the curves depend on it.
    double PiValue = 3.141592654;
    std::int16_t StopFlag = 0;
};

}  // namespace loopster
