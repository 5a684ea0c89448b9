// The saver's pens drawn straight into a 32-bit pixel buffer, with the pixels the Windows build's
// gdi32 inks for the same polyline, so that a frame is the same picture on every platform. A pen
// one pixel wide is a cosmetic pen: each segment is stepped from its first point, choosing
// between two pixels at an exact midpoint by the segment's direction, and its last pixel is left
// to the segment that starts there, so that every vertex is inked once. A wider pen is a
// geometric solid pen: the union of a four-sided outline around every segment and a round end at
// every vertex, filled by the system's polygon and ellipse rules. The same points always give the
// same pixels, so drawing a polyline again in the background takes away exactly what it inked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/curve_point.h"

namespace loopster {

class DamageTracker;

// Rows of 32-bit pixels, top to bottom.
struct PixelRows {
    std::uint32_t* pixels;
    // In pixels, at least `width`.
    std::size_t stride;
    int width;
    int height;
};

// Where a one-pixel pen's slanting segment (neither level nor upright) is stepped from or to when
// it has the point `point` at an end: the point itself, or for a point beyond 2^28 in either
// coordinate, both coordinates divided by 8 towards zero, as the system crops them. The damage
// tracker marks by the same rule.
// The system steps its lines with coordinates that fit in 29 bits: a point farther out has both
// its coordinates divided by 8 first (rounded towards zero), which keeps the products of the
// stepping in 64 bits. Inline, so that the damage tracker's users (the Windows saver among them)
// need none of the rasteriser.
inline CurvePoint thinSlantPoint(CurvePoint point) {
    constexpr std::int32_t kFar = 0x10000000;
    if (point.x >= kFar || point.x <= -kFar || point.y >= kFar || point.y <= -kFar) {
        point.x /= 8;
        point.y /= 8;
    }
    return point;
}

// Draws `count` points joined in order with a solid pen `penWidth` pixels wide (1 or less is one
// pixel), setting the pixels it inks to `colour`; what lies outside `rows` is clipped. Points may
// lie anywhere in the 32-bit range. When `damage` is given, it is told what the pen inked.
void drawPolyline(const PixelRows& rows, const CurvePoint* points, int count, int penWidth,
                  std::uint32_t colour, DamageTracker* damage = nullptr);

// A pixel as a point of X's requests.
struct PixelPoint {
    std::int16_t x;
    std::int16_t y;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// The pixels that polylines ink inside an area of `width` x `height`, the same pixels that
// drawPolyline sets, listed once each however often the pen inks them (a wide pen's round ends
// overlap the segments at every vertex), in the order the pen reaches them. A one-bit plane of
// the area tells which are listed: a frame's list costs its pixels, not the area's.
class PixelList {
  public:
    // Forgets every pixel. The area is at most 32767 pixels either way, as X's are.
    void resize(int width, int height);
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Lists the pixels that a polyline inks and that are not listed yet. With `repeats`, the ones
    // that were already listed before the call are appended to it (more than once, at times).
    void add(const CurvePoint* points, int count, int penWidth,
             std::vector<PixelPoint>* repeats = nullptr);
    bool contains(PixelPoint point) const {
        const std::size_t bit = index(point);
        return (m_plane[bit / 64] >> (bit % 64) & 1u) != 0;
    }
    const std::vector<PixelPoint>& points() const { return m_points; }

    // Hands the listed pixels to `into` (whatever it held goes) and empties the list.
    void take(std::vector<PixelPoint>& into);

  private:
    friend struct ListSink;
    std::size_t index(PixelPoint point) const {
        return static_cast<std::size_t>(point.y) * static_cast<std::size_t>(m_width) +
               static_cast<std::size_t>(point.x);
    }

    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint64_t> m_plane;
    std::vector<PixelPoint> m_points;
};

}  // namespace loopster
