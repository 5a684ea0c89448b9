// Turns one frame's record into the closed roulette curve it shows, in integer model units.
#pragma once

#include <array>
#include <cstdint>

#include "common/curve_point.h"
#include "core/pattern/frame_table.h"

namespace loopster {

inline constexpr int kCurvePointsLast = 20000;

// The traced curve: points 0 to PointCount are valid, the last one closes the loop on the first;
// entries above PointCount are stale. The render loop maps them in place to pixels.
struct CurveBuffer {
    std::array<CurvePoint, kCurvePointsLast + 1> CurvePoints{};
    std::int16_t PointCount = 0;
};

// Traces FrameTable entry `index`. `piValue` is the program's PiValue.
void TraceCurve(std::int16_t index, const FrameTable& table, double piValue, CurveBuffer& curve);

}  // namespace loopster
