// The drawing calls on Qt: pens are numbered handles to QPens, and the one device context is a
// surface's image (the back buffer of a saver window), or one of several (a window per monitor).
// Lines are drawn without antialiasing, as the system's pens draw them.
#pragma once

#include <QLine>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <cstddef>
#include <map>
#include <vector>

#include "platform/gdi.h"
#include "platform/qt/qt_surface.h"

namespace loopster {

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
    QtSurface* surfaceFor(Handle dc);

    QtSurface* m_single = nullptr;
    QtSurfaces* m_surfaces = nullptr;
    std::map<Handle, QPen> m_pens;
    Handle m_nextPen = 0x1000;
    Handle m_selected = 0;
    // Reused from frame to frame, so that drawing allocates nothing once the first is drawn.
    std::vector<QPoint> m_points;
    std::vector<QLine> m_lines;
    std::vector<QRect> m_areas;
};

}  // namespace loopster
