// The drawing calls on Qt.
#include "platform/qt/qt_gdi.h"

#include <QColor>
#include <QPainter>
#include <QPen>
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

void PolylineStroker::draw(QImage& image, const CurvePoint* points, int count, int width,
                           QRgb colour) {
    if (count < 2) {
        return;
    }
    if (width > 1) {
        // A wide solid pen of the system has round ends and joins. Drawn one by one with square
        // ends, the segments overlap at every corner and cover the same pixels at the saver's two
        // pixels but for a few at the sharpest corners, at a fraction of the cost.
        fillWidePolyline(rowsOf(image), points, count, width, 0xFF000000u | colour);
        return;
    }
    const auto size = static_cast<std::size_t>(count);
    m_points.resize(size);
    for (std::size_t j = 0; j < size; ++j) {
        m_points[j] = QPoint(points[j].x, points[j].y);
    }
    // Points far outside the image are passed on as they are; the painter clips them. One pixel
    // wide, a polyline takes Qt's fast path for thin lines.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Round ends and joins, as the system's pens have.
    painter.setPen(QPen(QColor::fromRgb(colour), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(m_points.data(), count);
}

PixelRows rowsOf(QImage& image) {
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
    m_stroker.draw(surface->backBuffer(), points, count, pen->second.width, pen->second.colour);
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
