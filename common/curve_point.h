// One point of a traced curve, the type the tracer fills and the drawing calls take. It lives at
// the bottom of the layers so that the geometry need not know the drawing interface.
#pragma once

#include <cstdint>

namespace loopster {

// One point of a polyline in the layout that the system's polyline call takes: x, then y.
struct CurvePoint {
    std::int32_t x;
    std::int32_t y;
};

}  // namespace loopster
