// The drawing calls on Qt: pens are numbered handles, and the one device context is a surface's
// image (the back buffer of a saver window), or one of several (a window per monitor). Lines are
// drawn by the core's pen rasteriser, with the pixels the Windows build's pens ink.
#pragma once

#include <QRgb>
#include <cstddef>
#include <map>

#include "core/raster/pen_raster.h"
#include "hosts/qt/qt_surface.h"
#include "seam/gdi.h"

namespace loopster {

// The rows of a 32-bit image, for drawing into it directly; none for an image of another depth.
PixelRows rowsOf(QImage& image);

class QtGdi final : public Gdi {
  public:
    explicit QtGdi(QtSurface& surface) : m_single(&surface) {}
    explicit QtGdi(QtSurfaces& surfaces) : m_surfaces(&surfaces) {}

    Handle CreatePen(int style, int width, std::int32_t colour) override;
    Handle SelectObject(Handle dc, Handle pen) override;
    bool Polyline(Handle dc, const CurvePoint* points, int count) override;
    bool DeleteObject(Handle pen) override;

    std::size_t livePens() const { return m_pens.size(); }

  private:
    struct Pen {
        int width;
        QRgb colour;
    };

    QtSurface* surfaceFor(Handle dc);

    QtSurface* m_single = nullptr;
    QtSurfaces* m_surfaces = nullptr;
    std::map<Handle, Pen> m_pens;
    Handle m_nextPen = 0x1000;
    Handle m_selected = 0;
};

}  // namespace loopster
