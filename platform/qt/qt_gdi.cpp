// The drawing calls on Qt.
#include "platform/qt/qt_gdi.h"

#include <QColor>
#include <QPainter>
#include <algorithm>

namespace loopster {

Handle QtGdi::CreatePen(int /*style*/, int width, std::int32_t colour) {
    // A wide solid pen of the system has round ends and joins; width 0 or less means one pixel.
    QPen pen(QColor::fromRgb(toQRgb(colour)));
    pen.setWidth(std::max(width, 1));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    const Handle handle = m_nextPen++;
    m_pens.emplace(handle, pen);
    return handle;
}

Handle QtGdi::SelectObject(Handle /*dc*/, Handle pen) {
    const Handle previous = m_selected;
    m_selected = pen;
    return previous;
}

bool QtGdi::Polyline(Handle dc, const CurvePoint* points, int count) {
    const auto pen = m_pens.find(m_selected);
    if (dc != m_window.hDC() || pen == m_pens.end() || count < 2) {
        return false;
    }
    m_points.resize(static_cast<std::size_t>(count));
    // Points far outside the window are passed on as they are; the painter clips them.
    int left = points[0].x;
    int right = points[0].x;
    int top = points[0].y;
    int bottom = points[0].y;
    for (std::size_t j = 0; j < m_points.size(); ++j) {
        const CurvePoint& point = points[j];
        m_points[j] = QPoint(point.x, point.y);
        left = std::min(left, point.x);
        right = std::max(right, point.x);
        top = std::min(top, point.y);
        bottom = std::max(bottom, point.y);
    }

    QImage& buffer = m_window.backBuffer();
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen->second);
    painter.drawPolyline(m_points.data(), count);
    painter.end();

    // The pen reaches past the points by up to its width; the window clips the area to itself.
    const QRect buffered = buffer.rect();
    const int margin = pen->second.width() + 1;
    const QRect bounds(QPoint(std::clamp(left - margin, -1, buffered.right() + 1),
                              std::clamp(top - margin, -1, buffered.bottom() + 1)),
                       QPoint(std::clamp(right + margin, -1, buffered.right() + 1),
                              std::clamp(bottom + margin, -1, buffered.bottom() + 1)));
    m_window.inked(bounds);
    return true;
}

bool QtGdi::DeleteObject(Handle pen) {
    if (pen == m_selected) {
        m_selected = 0;
    }
    return m_pens.erase(pen) == 1;
}

}  // namespace loopster
