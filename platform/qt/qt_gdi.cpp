// The drawing calls on Qt.
#include "platform/qt/qt_gdi.h"

#include <QColor>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace loopster {

namespace {

// The longest piece of a segment reported as one inked area, in pixels along its longer axis.
constexpr int kPieceLength = 16;

}  // namespace

std::uint32_t toQRgb(std::int32_t colour) {
    const auto value = static_cast<std::uint32_t>(colour);
    const std::uint32_t red = value & 0xFFu;
    const std::uint32_t green = (value >> 8) & 0xFFu;
    const std::uint32_t blue = std::min<std::uint32_t>(value >> 16, 0xFFu);
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

Handle QtGdi::CreatePen(int /*style*/, int width, std::int32_t colour) {
    // A wide solid pen of the system has round ends and joins; width 0 or less means one pixel.
    QPen pen(QColor::fromRgb(toQRgb(colour)));
    pen.setWidth(std::max(width, 1));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    if (pen.width() > 1) {
        // Qt strokes round joins as curves and then fills the whole outline, four times the cost
        // of drawing the segments one by one with square ends, whose ends overlap at every
        // corner. At the saver's two pixels both cover the same pixels but for a few at the
        // sharpest corners.
        pen.setCapStyle(Qt::SquareCap);
        pen.setJoinStyle(Qt::MiterJoin);
    }
    const Handle handle = m_nextPen++;
    m_pens.emplace(handle, pen);
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
    QImage& buffer = surface->backBuffer();
    const int width = pen->second.width();
    // The pen reaches past the points by up to its width. Points far outside the window are
    // passed on as they are (the painter clips them); only the reported areas are held near it.
    const int margin = width + 1;
    const int right = buffer.width() + margin;
    const int bottom = buffer.height() + margin;
    const auto near = [margin](int value, int limit) { return std::clamp(value, -margin, limit); };

    const auto segments = static_cast<std::size_t>(count - 1);
    m_points.resize(static_cast<std::size_t>(count));
    m_lines.resize(segments);
    m_areas.clear();
    for (std::size_t j = 0; j < m_points.size(); ++j) {
        m_points[j] = QPoint(points[j].x, points[j].y);
    }
    const auto box = [&](const QPoint& from, const QPoint& to) {
        return QRect(QPoint(near(std::min(from.x(), to.x()), right),
                            near(std::min(from.y(), to.y()), bottom)),
                     QPoint(near(std::max(from.x(), to.x()), right),
                            near(std::max(from.y(), to.y()), bottom)))
            .adjusted(-margin, -margin, margin, margin);
    };
    // A long slanting segment's bounding box holds far more than the segment, and everything
    // reported is cleared and sent to the screen again next frame. Such segments are reported
    // as pieces about a tile long; each piece's ends lie within a pixel of the line, which the
    // margin covers. Segments reaching far outside the window keep their one box.
    const int longest = 4 * std::max(buffer.width(), buffer.height());
    for (std::size_t j = 0; j < segments; ++j) {
        const QPoint& from = m_points[j];
        const QPoint& to = m_points[j + 1];
        m_lines[j] = QLine(from, to);
        // In 64 bits: points far outside the window may lie anywhere in the 32-bit range.
        const std::int64_t dx = std::int64_t{to.x()} - from.x();
        const std::int64_t dy = std::int64_t{to.y()} - from.y();
        const std::int64_t length = std::max(std::abs(dx), std::abs(dy));
        if (length < kPieceLength || dx == 0 || dy == 0 || length > longest) {
            m_areas.push_back(box(from, to));
            continue;
        }
        const std::int64_t pieces = length / kPieceLength + 1;
        QPoint start = from;
        for (std::int64_t k = 1; k <= pieces; ++k) {
            const QPoint end(from.x() + static_cast<int>(dx * k / pieces),
                             from.y() + static_cast<int>(dy * k / pieces));
            m_areas.push_back(box(start, end));
            start = end;
        }
    }

    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(pen->second);
    // One pixel wide, a polyline takes Qt's fast path for thin lines; a wider pen takes it only
    // for separate lines.
    if (width == 1) {
        painter.drawPolyline(m_points.data(), count);
    } else {
        painter.drawLines(m_lines.data(), static_cast<int>(segments));
    }
    painter.end();

    surface->inked(m_areas);
    return true;
}

bool QtGdi::DeleteObject(Handle pen) {
    if (pen == m_selected) {
        m_selected = 0;
    }
    return m_pens.erase(pen) == 1;
}

}  // namespace loopster
