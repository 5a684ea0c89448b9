// Maps a traced curve from model units to the saver window's pixels, in place.
#pragma once

#include "core/geometry/curve_tracer.h"

namespace loopster {

// The window's width spans 4000 * fillRatio model units centred on the origin; the same scale,
// taken from the width, applies to the height, and model y grows downwards. w and h are the
// drawing area's width and height in pixels.
void mapToPixels(CurveBuffer& curve, float w, float h, double fillRatio);

}  // namespace loopster
