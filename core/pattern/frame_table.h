// The per-frame parameters of the running animation, interpolated from the parameter sheet.
#pragma once

#include <array>
#include <cstdint>

#include "core/pattern/genbox.h"
#include "core/pattern/pattern_globals.h"

namespace loopster {

struct FrameRecord {
    double FixedRadius = 0.0;    // model units
    double RollingRadius = 0.0;  // model units
    double PenOffset = 0.0;      // model units
    double StartAngle = 0.0;     // radians
    std::int32_t PenColor = 0;
    std::int16_t GearPosition = 0;  // -100 to 100
};

inline constexpr int kFrameTableLast = 5000;
using FrameTable = std::array<FrameRecord, kFrameTableLast + 1>;

// The table entry at `index`; an index outside 0 to 5000 is the subscript error.
FrameRecord& frameAt(FrameTable& table, int index);
const FrameRecord& frameAt(const FrameTable& table, int index);

// The pen colour at fraction t of the way from Picture1 to Picture2. A channel that would exceed
// 255 (the end colour 16777216 splits into blue 256) is drawn as 255.
std::int32_t GradientColor(const GenBox& genbox, float t);

// Fills FrameTable entry `index` of the running animation (0 <= index < FrameCount).
void BuildFrame(std::int16_t index, const GenBox& genbox, const PatternGlobals& globals,
                FrameTable& table);

}  // namespace loopster
