// Wide pen segments drawn straight into a 32-bit image. A segment of a pen wider than one pixel
// covers the pixels whose centres lie in the rectangle around it that is the pen's width across and
// reaches half of it past either end, as Qt's square-capped aliased pens draw it (but for a few
// pixels in a thousand along the edges, where the two round differently), at a fraction of the
// cost of Qt's general rasterizer, which sets up and blends every row of every segment on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/curve_point.h"

namespace loopster {

// Rows of 0xAARRGGBB pixels.
struct PixelRows {
    std::uint32_t* pixels;
    // In pixels.
    std::size_t stride;
    int width;
    int height;
};

// Sets the segment's pixels that lie in `rows` to `colour`; points may lie anywhere in the 32-bit
// range. The same segment always covers the same pixels, so drawing it again in the background
// takes away exactly what it drew.
void fillWideSegment(const PixelRows& rows, const CurvePoint& from, const CurvePoint& to,
                     int penWidth, std::uint32_t colour);

// The same for each segment of a polyline of `count` points; the segments are drawn one by one,
// so their ends overlap at every corner.
void fillWidePolyline(const PixelRows& rows, const CurvePoint* points, int count, int penWidth,
                      std::uint32_t colour);

}  // namespace loopster
