// Clearing a back buffer by the ink drawn on it.
#include "hosts/qt/buffer_ink.h"

#include <QRect>
#include <algorithm>
#include <cstddef>
#include <new>

#include "hosts/qt/qt_gdi.h"

namespace loopster {

namespace {

// Written straight into the buffer's rows: a painter set up for each of a frame's hundreds of small
// boxes costs more than the filling. The buffer holds 32-bit 0xFFRRGGBB pixels.
void fill(QImage& buffer, const DamageRect& area, std::uint32_t colour) {
    const QRect clipped =
        QRect(area.left, area.top, area.width(), area.height()).intersected(buffer.rect());
    if (clipped.isEmpty()) {
        return;
    }
    // One call for the pixels: every scanLine() checks whether the image must be detached.
    std::uint8_t* const bits = buffer.bits();
    const auto stride = static_cast<std::size_t>(buffer.bytesPerLine());
    const auto width = static_cast<std::size_t>(clipped.width());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::size_t>(y) * stride);
        std::fill_n(row + clipped.left(), width, colour);
    }
}

}  // namespace

QImage allocateBuffer(const QSize& size, std::unique_ptr<std::uint8_t[]>& memory) {
    memory.reset();
    const auto bytesPerLine = static_cast<std::size_t>(size.width()) * sizeof(std::uint32_t);
    memory.reset(new (std::nothrow)
                     std::uint8_t[bytesPerLine * static_cast<std::size_t>(size.height())]);
    if (!memory) {
        return {};
    }
    return {memory.get(), size.width(), size.height(), static_cast<qsizetype>(bytesPerLine),
            QImage::Format_RGB32};
}

std::string noBufferMessage(const QSize& size) {
    const double mebibytes = static_cast<double>(size.width()) *
                             static_cast<double>(size.height()) * sizeof(std::uint32_t) /
                             (1024.0 * 1024.0);
    return "loopster: no memory for a back buffer of " + std::to_string(size.width()) + " x " +
           std::to_string(size.height()) + " pixels (" +
           std::to_string(static_cast<long long>(mebibytes + 0.5)) + " MiB)";
}

void BufferInk::reset(const QImage& buffer, std::uint32_t colour) {
    m_filledWith = colour;
    m_damage.resize(buffer.width(), buffer.height());
    m_drawn.clear();
    m_drawnPoints.clear();
}

void BufferInk::inked(const CurvePoint* points, int count, int penWidth) {
    m_damage.addPolyline(points, count, penWidth);
    if (count > 0) {
        m_drawn.push_back(DrawnPolyline{count, penWidth});
        m_drawnPoints.insert(m_drawnPoints.end(), points, points + count);
    }
}

void BufferInk::clear(QImage& buffer, std::uint32_t colour) {
    // While the buffer holds nothing else, drawing the polylines again in the background takes
    // away exactly what they drew: the pen rasteriser gives the same points the same pixels, and
    // touches no pixel beside them.
    if (m_filledWith == colour) {
        const PixelRows rows = rowsOf(buffer);
        const CurvePoint* points = m_drawnPoints.data();
        for (const DrawnPolyline& polyline : m_drawn) {
            drawPolyline(rows, points, polyline.count, polyline.width, colour);
            points += polyline.count;
        }
        m_damage.takeInked();
    } else {
        const DamageRect all{0, 0, buffer.width(), buffer.height()};
        fill(buffer, all, colour);
        m_damage.forgetInked();
        m_damage.addChanged(all);
        m_filledWith = colour;
    }
    m_drawn.clear();
    m_drawnPoints.clear();
}

}  // namespace loopster
