// The drawing calls on Qt.
#include "hosts/qt/qt_gdi.h"

#include <algorithm>
#include <cstdint>

namespace loopster {

std::uint32_t toQRgb(std::int32_t colour) {
    const auto value = static_cast<std::uint32_t>(colour);
    const std::uint32_t red = value & 0xFFu;
    const std::uint32_t green = (value >> 8) & 0xFFu;
    const std::uint32_t blue = std::min<std::uint32_t>(value >> 16, 0xFFu);
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

PixelRows rowsOf(QImage& image) {
    if (image.depth() != 32) {
        return PixelRows{nullptr, 0, 0, 0};
    }
    // One call for the pixels: every scanLine() checks whether the image must be detached.
    return PixelRows{reinterpret_cast<std::uint32_t*>(image.bits()),
                     static_cast<std::size_t>(image.bytesPerLine()) / sizeof(std::uint32_t),
                     image.width(), image.height()};
}

Handle QtGdi::CreatePen(int /*style*/, int width, std::int32_t colour) {
    const Handle handle = m_nextPen++;
    m_pens.emplace(handle, Pen{std::max(width, 1), toQRgb(colour)});
    return handle;
}

Handle QtGdi::SelectObject(Handle /*dc*/, Handle pen) {
    const Handle previous = m_selected;
    m_selected = pen;
    return previous;
}

QtSurface* QtGdi::surfaceFor(Handle dc) {
    if (m_surfaces != nullptr) {
        return m_surfaces->surface(dc);
    }
    return dc == m_single->hDC() ? m_single : nullptr;
}

bool QtGdi::Polyline(Handle dc, const CurvePoint* points, int count) {
    const auto pen = m_pens.find(m_selected);
    QtSurface* const surface = surfaceFor(dc);
    if (surface == nullptr || pen == m_pens.end() || count < 2) {
        return false;
    }
    drawPolyline(rowsOf(surface->backBuffer()), points, count, pen->second.width,
                 pen->second.colour);
    surface->inked(points, count, pen->second.width);
    return true;
}

bool QtGdi::DeleteObject(Handle pen) {
    if (pen == m_selected) {
        m_selected = 0;
    }
    return m_pens.erase(pen) == 1;
}

}  // namespace loopster
