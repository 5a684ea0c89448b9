// Drawing on a device context: the four drawing calls of the render loop. Handles are full-width
// integers, as the system's own handles are; results are not checked by the caller.
#pragma once

#include <cstdint>

#include "common/curve_point.h"

namespace loopster {

using Handle = std::uintptr_t;

// The only pen style the saver uses.
inline constexpr int PS_SOLID = 0;

class Gdi {
  public:
    virtual ~Gdi() = default;
    // A pen of `width` pixels in `colour` (red + 256 * green + 65536 * blue).
    virtual Handle CreatePen(int style, int width, std::int32_t colour) = 0;
    // Selects the pen into the device context and returns the pen selected before.
    virtual Handle SelectObject(Handle dc, Handle pen) = 0;
    // Joins `count` points in order with the selected pen.
    virtual bool Polyline(Handle dc, const CurvePoint* points, int count) = 0;
    virtual bool DeleteObject(Handle pen) = 0;
};

}  // namespace loopster
