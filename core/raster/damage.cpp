// The tile map of a back buffer and the area a polyline can ink.
#include "core/raster/damage.h"

#include "core/raster/pen_raster.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace loopster {

namespace {

// A flag in each byte of a 64-bit word.
constexpr std::uint64_t kEveryByte = 0x0101010101010101u;

}  // namespace

DamageTracker::DamageTracker(int tileSize) : m_tileSize(std::max(tileSize, 1)) {}

void DamageTracker::resize(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_columns = (m_width + m_tileSize - 1) / m_tileSize;
    m_rows = (m_height + m_tileSize - 1) / m_tileSize;
    m_tiles.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), 0);
}

void DamageTracker::addPolyline(const CurvePoint* points, int count, int penWidth) {
    inkedBoxes(points, count, penWidth, m_boxes);
    for (const DamageRect& box : m_boxes) {
        mark(box.left, box.top, box.right, box.bottom, kInked | kChanged);
    }
    m_boxes.clear();
}

void DamageTracker::inkedBoxes(const CurvePoint* points, int count, int penWidth,
                               std::vector<DamageRect>& boxes) const {
    if (points == nullptr || count < 1 || m_width == 0 || m_height == 0) {
        return;
    }
    // A pen reaches past the line by half its width, rounded either way; one pixel more covers
    // every system's rounding of the line itself.
    const std::int64_t margin = std::max(penWidth, 1) + 1;
    const auto box = [this, margin, &boxes](const CurvePoint& from, const CurvePoint& to) {
        const std::int64_t left = std::max<std::int64_t>(std::min(from.x, to.x) - margin, 0);
        const std::int64_t top = std::max<std::int64_t>(std::min(from.y, to.y) - margin, 0);
        const std::int64_t right =
            std::min<std::int64_t>(std::int64_t{std::max(from.x, to.x)} + margin + 1, m_width);
        const std::int64_t bottom =
            std::min<std::int64_t>(std::int64_t{std::max(from.y, to.y)} + margin + 1, m_height);
        if (left < right && top < bottom) {
            boxes.push_back(
                DamageRect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                           static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)});
        }
    };
    if (count == 1) {
        box(points[0], points[0]);
        return;
    }
    // A long slanting segment's bounding box holds far more than the segment, and everything
    // marked is cleared and shown again next frame. Such segments are marked as pieces about a
    // tile long; each piece's ends lie within a pixel of the line, which the margin covers.
    // Segments reaching far outside the buffer keep their one box.
    const std::int64_t longest = 4 * std::int64_t{std::max(m_width, m_height)};
    for (int j = 0; j + 1 < count; ++j) {
        CurvePoint from = points[j];
        CurvePoint to = points[j + 1];
        // Where the rasteriser really steps the segment, which for far points is not where they
        // lie.
        if (penWidth <= 1 && from.x != to.x && from.y != to.y) {
            from = thinSlantPoint(from);
            to = thinSlantPoint(to);
        }
        // In 64 bits: points far outside the buffer may lie anywhere in the 32-bit range.
        const std::int64_t dx = std::int64_t{to.x} - from.x;
        const std::int64_t dy = std::int64_t{to.y} - from.y;
        const std::int64_t length = std::max(std::abs(dx), std::abs(dy));
        if (length < m_tileSize || dx == 0 || dy == 0 || length > longest) {
            box(from, to);
            continue;
        }
        const std::int64_t pieces = length / m_tileSize + 1;
        CurvePoint start = from;
        for (std::int64_t k = 1; k <= pieces; ++k) {
            const CurvePoint end{static_cast<std::int32_t>(from.x + dx * k / pieces),
                                 static_cast<std::int32_t>(from.y + dy * k / pieces)};
            box(start, end);
            start = end;
        }
    }
}

void DamageTracker::addChanged(const DamageRect& area) {
    mark(area.left, area.top, area.right, area.bottom, kChanged);
}

void DamageTracker::mark(std::int64_t left, std::int64_t top, std::int64_t right,
                         std::int64_t bottom, std::uint8_t flags) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, m_width);
    bottom = std::min<std::int64_t>(bottom, m_height);
    if (right <= left || bottom <= top) {
        return;
    }
    const auto size = static_cast<std::int64_t>(m_tileSize);
    for (std::int64_t row = top / size; row <= (bottom - 1) / size; ++row) {
        const auto first = static_cast<std::size_t>(row * m_columns);
        for (std::int64_t column = left / size; column <= (right - 1) / size; ++column) {
            std::uint8_t& tile = m_tiles[first + static_cast<std::size_t>(column)];
            tile = static_cast<std::uint8_t>(tile | flags);
        }
    }
}

const std::vector<DamageRect>& DamageTracker::takeInked() {
    collect(kInked, kChanged);
    return m_rects;
}

void DamageTracker::forgetInked() {
    for (std::uint8_t& tile : m_tiles) {
        tile = static_cast<std::uint8_t>(tile & ~kInked);
    }
}

const std::vector<DamageRect>& DamageTracker::takeChanged() {
    collect(kChanged, 0);
    return m_rects;
}

DamageRect DamageTracker::bounds(const std::vector<DamageRect>& rects) {
    if (rects.empty()) {
        return {};
    }
    DamageRect all = rects.front();
    for (const DamageRect& rect : rects) {
        all.left = std::min(all.left, rect.left);
        all.top = std::min(all.top, rect.top);
        all.right = std::max(all.right, rect.right);
        all.bottom = std::max(all.bottom, rect.bottom);
    }
    return all;
}

void DamageTracker::collect(std::uint8_t flag, std::uint8_t alsoSet) {
    m_rects.clear();
    // Where the band that the next row may extend starts in m_rects.
    std::size_t band = 0;
    for (int row = 0; row < m_rows; ++row) {
        m_row.clear();
        const int top = row * m_tileSize;
        const int bottom = std::min(top + m_tileSize, m_height);
        std::uint8_t* const tiles =
            m_tiles.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns);
        int column = 0;
        while (column < m_columns) {
            // Most tiles are blank: eight at a time are passed over while none has the flag.
            std::uint64_t eight = 0;
            if (column + 8 <= m_columns) {
                std::memcpy(&eight, tiles + column, sizeof eight);
                if ((eight & (kEveryByte * std::uint64_t{flag})) == 0) {
                    column += 8;
                    continue;
                }
            }
            if ((tiles[column] & flag) == 0) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < m_columns && (tiles[column] & flag) != 0) {
                tiles[column] = static_cast<std::uint8_t>((tiles[column] & ~flag) | alsoSet);
                ++column;
            }
            m_row.push_back(DamageRect{start * m_tileSize, top,
                                       std::min(column * m_tileSize, m_width), bottom});
        }
        if (m_row.empty()) {
            band = m_rects.size();
            continue;
        }
        // A row right below a band with the same runs makes that band taller; any other row
        // starts a band of its own.
        const std::size_t bandSize = m_rects.size() - band;
        bool extends = bandSize == m_row.size() && m_rects[band].bottom == top;
        for (std::size_t j = 0; extends && j < bandSize; ++j) {
            extends = m_rects[band + j].left == m_row[j].left &&
                      m_rects[band + j].right == m_row[j].right;
        }
        if (extends) {
            for (std::size_t j = 0; j < bandSize; ++j) {
                m_rects[band + j].bottom = bottom;
            }
        } else {
            band = m_rects.size();
            m_rects.insert(m_rects.end(), m_row.begin(), m_row.end());
        }
    }
}

}  // namespace loopster
