// The drawing calls on Qt: pens are numbered handles, and the one device context is a surface's
// image (the back buffer of a saver window), or one of several (a window per monitor). Lines are
// drawn without antialiasing, as the system's pens draw them.
#pragma once

#include <QPoint>
#include <QRgb>
#include <cstddef>
#include <map>
#include <vector>

#include "platform/gdi.h"
#include "platform/qt/qt_surface.h"
#include "platform/qt/wide_line.h"

namespace loopster {

// Draws polylines as the saver's pens draw them. The same points, width and image always give the
// same pixels, so a curve drawn again in the background colour takes away exactly what it inked.
class PolylineStroker {
  public:
    // `width` 0 or less is one pixel.
    void draw(QImage& image, const CurvePoint* points, int count, int width, QRgb colour);

  private:
    // Reused from frame to frame, so that drawing allocates nothing once the first is drawn.
    std::vector<QPoint> m_points;
};

// The rows of a 32-bit image, for drawing into it directly.
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
    PolylineStroker m_stroker;
};

}  // namespace loopster
