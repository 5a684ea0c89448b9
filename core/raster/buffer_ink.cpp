// Clearing a pixel buffer by the ink drawn on it.
#include "core/raster/buffer_ink.h"

#include <algorithm>
#include <new>

namespace loopster {

bool PixelBuffer::allocate(int width, int height) {
    m_memory.reset();
    m_rows = PixelRows{nullptr, 0, 0, 0};
    if (width <= 0 || height <= 0) {
        return false;
    }
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    m_memory.reset(new (std::nothrow) std::uint32_t[pixels]);
    if (!m_memory) {
        return false;
    }
    m_rows = PixelRows{m_memory.get(), static_cast<std::size_t>(width), width, height};
    return true;
}

std::string noBufferMessage(int width, int height) {
    const double mebibytes = static_cast<double>(width) * static_cast<double>(height) *
                             sizeof(std::uint32_t) / (1024.0 * 1024.0);
    return "loopster: no memory for a back buffer of " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels (" +
           std::to_string(static_cast<long long>(mebibytes + 0.5)) + " MiB)";
}

void fillRect(const PixelRows& rows, const DamageRect& area, std::uint32_t colour) {
    const int left = std::max(area.left, 0);
    const int top = std::max(area.top, 0);
    const int right = std::min(area.right, rows.width);
    const int bottom = std::min(area.bottom, rows.height);
    if (rows.pixels == nullptr || left >= right || top >= bottom) {
        return;
    }
    for (int y = top; y < bottom; ++y) {
        std::uint32_t* row = rows.pixels + static_cast<std::size_t>(y) * rows.stride;
        std::fill(row + left, row + right, colour);
    }
}

void BufferInk::reset(const PixelRows& rows, std::uint32_t colour) {
    m_rows = rows;
    fillRect(m_rows, DamageRect{0, 0, rows.width, rows.height}, colour);
    m_filledWith = colour;
    m_damage.resize(rows.width, rows.height);
    m_drawn.clear();
    m_drawnPoints.clear();
}

void BufferInk::polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) {
    drawPolyline(m_rows, points, count, penWidth, colour, &m_damage);
    if (count > 1) {
        m_drawn.push_back(DrawnPolyline{count, penWidth});
        m_drawnPoints.insert(m_drawnPoints.end(), points, points + count);
    }
}

void BufferInk::clear(std::uint32_t colour) {
    // While the buffer holds nothing else, drawing the polylines again in the background takes
    // away exactly what they drew: the pen rasteriser gives the same points the same pixels, and
    // touches no pixel beside them.
    if (m_filledWith == colour) {
        const CurvePoint* points = m_drawnPoints.data();
        for (const DrawnPolyline& polyline : m_drawn) {
            drawPolyline(m_rows, points, polyline.count, polyline.width, colour);
            points += polyline.count;
        }
        m_damage.takeInked();
    } else {
        const DamageRect all{0, 0, m_rows.width, m_rows.height};
        fillRect(m_rows, all, colour);
        m_damage.forgetInked();
        m_damage.addChanged(all);
        m_filledWith = colour;
    }
    m_drawn.clear();
    m_drawnPoints.clear();
}

}  // namespace loopster
