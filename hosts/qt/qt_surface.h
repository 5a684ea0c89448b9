// What the Qt drawing calls draw on: an image that stands behind a device context, and a place to
// report what a call drew on it. The saver window is one; anything else that shows or
// saves frames drawn by the same calls (another kind of window, a file) can be another.
#pragma once

#include <QImage>
#include <cstdint>

#include "seam/gdi.h"

namespace loopster {

class QtSurface {
  public:
    virtual ~QtSurface() = default;
    // The device context that stands for this surface's image.
    virtual Handle hDC() = 0;
    // The image behind the device context.
    virtual QImage& backBuffer() = 0;
    // A polyline of `count` points (in pixels, possibly far outside the image) has just been drawn
    // on the image with a pen `penWidth` pixels wide; a DamageTracker turns that into the area it
    // inked.
    virtual void inked(const CurvePoint* points, int count, int penWidth) = 0;
};

// The surfaces behind several device contexts (one saver window per monitor), for drawing calls
// that serve them all.
class QtSurfaces {
  public:
    virtual ~QtSurfaces() = default;
    // The surface whose device context is `dc`, or null when there is none.
    virtual QtSurface* surface(Handle dc) = 0;
};

// The colour of the system's encoding (red + 256 * green + 65536 * blue) as Qt's 0xAARRGGBB; a
// part above 255 (only 16777216 has one) is held at 255, like the colour blocks of the gradient.
std::uint32_t toQRgb(std::int32_t colour);

}  // namespace loopster
