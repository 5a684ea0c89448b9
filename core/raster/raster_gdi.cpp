// The drawing calls over raster surfaces.
#include "core/raster/raster_gdi.h"

#include <algorithm>

namespace loopster {

std::uint32_t toRgb32(std::int32_t colour) {
    const auto value = static_cast<std::uint32_t>(colour);
    const std::uint32_t red = value & 0xFFu;
    const std::uint32_t green = (value >> 8) & 0xFFu;
    const std::uint32_t blue = std::min<std::uint32_t>(value >> 16, 0xFFu);
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

Handle RasterGdi::CreatePen(int /*style*/, int width, std::int32_t colour) {
    const Handle handle = m_nextPen++;
    m_pens.emplace(handle, Pen{std::max(width, 1), toRgb32(colour)});
    return handle;
}

Handle RasterGdi::SelectObject(Handle /*dc*/, Handle pen) {
    const Handle previous = m_selected;
    m_selected = pen;
    return previous;
}

RasterSurface* RasterGdi::surfaceFor(Handle dc) {
    if (m_surfaces != nullptr) {
        return m_surfaces->surface(dc);
    }
    return dc == m_single->hDC() ? m_single : nullptr;
}

bool RasterGdi::Polyline(Handle dc, const CurvePoint* points, int count) {
    const auto pen = m_pens.find(m_selected);
    RasterSurface* const surface = surfaceFor(dc);
    if (surface == nullptr || pen == m_pens.end() || count < 2) {
        return false;
    }
    surface->polyline(points, count, pen->second.width, pen->second.colour);
    return true;
}

bool RasterGdi::DeleteObject(Handle pen) {
    if (pen == m_selected) {
        m_selected = 0;
    }
    return m_pens.erase(pen) == 1;
}

}  // namespace loopster
