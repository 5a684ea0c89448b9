// The four drawing calls over surfaces that draw a polyline themselves: into a buffer of pixels
// (BufferInk) or as the pixels' coordinates sent to a window system. Pens are numbered handles;
// every surface gets the pen's width and its colour as a 0xFFRRGGBB pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "common/curve_point.h"
#include "seam/gdi.h"

namespace loopster {

// The colour of the system's encoding (red + 256 * green + 65536 * blue) as a 0xFFRRGGBB pixel; a
// part above 255 (only 16777216 has one) is held at 255, like the colour blocks of the gradient.
std::uint32_t toRgb32(std::int32_t colour);

// What stands behind a device context.
class RasterSurface {
  public:
    virtual ~RasterSurface() = default;
    virtual Handle hDC() = 0;
    // Joins `count` points (in pixels, possibly far outside the surface) with a solid pen
    // `penWidth` pixels wide in `colour`, with the pixels of drawPolyline.
    virtual void polyline(const CurvePoint* points, int count, int penWidth,
                          std::uint32_t colour) = 0;
};

// The surfaces behind several device contexts (one saver window per monitor).
class RasterSurfaces {
  public:
    virtual ~RasterSurfaces() = default;
    // The surface whose device context is `dc`, or null when there is none.
    virtual RasterSurface* surface(Handle dc) = 0;
};

class RasterGdi final : public Gdi {
  public:
    explicit RasterGdi(RasterSurface& surface) : m_single(&surface) {}
    explicit RasterGdi(RasterSurfaces& surfaces) : m_surfaces(&surfaces) {}

    Handle CreatePen(int style, int width, std::int32_t colour) override;
    Handle SelectObject(Handle dc, Handle pen) override;
    bool Polyline(Handle dc, const CurvePoint* points, int count) override;
    bool DeleteObject(Handle pen) override;

    std::size_t livePens() const { return m_pens.size(); }

  private:
    struct Pen {
        int width;
        std::uint32_t colour;
    };

    RasterSurface* surfaceFor(Handle dc);

    RasterSurface* m_single = nullptr;
    RasterSurfaces* m_surfaces = nullptr;
    std::map<Handle, Pen> m_pens;
    Handle m_nextPen = 0x1000;
    Handle m_selected = 0;
};

}  // namespace loopster
