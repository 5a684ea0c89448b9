// Scanning a segment's rectangle row by row.
#include "platform/qt/wide_line.h"

#include <algorithm>
#include <cmath>

namespace loopster {

namespace {

// Qt's aliased edges fall a hair before the exact ones; shifting the segment by this much makes
// the two agree on all but a few pixels in a thousand.
constexpr double kBias = -1.0 / 128.0;

// Rounded down and up, for values from -1 to well within int's range (held there by the callers):
// without SSE4.1 std::floor and std::ceil are library calls, and a segment has one row after
// another to round.
int floorFrom(double value) {
    return static_cast<int>(value + 1.0) - 1;
}
int ceilFrom(double value) {
    const int down = floorFrom(value);
    return static_cast<double>(down) < value ? down + 1 : down;
}

}  // namespace

void fillWideSegment(const PixelRows& rows, const CurvePoint& from, const CurvePoint& to,
                     int penWidth, std::uint32_t colour) {
    const double x0 = from.x + kBias;
    const double y0 = from.y + kBias;
    const double dx = static_cast<double>(to.x) - from.x;
    const double dy = static_cast<double>(to.y) - from.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    // A segment of no length is a square the pen's width across.
    const double ux = length > 0.0 ? dx / length : 1.0;
    const double uy = length > 0.0 ? dy / length : 0.0;
    const double half = penWidth / 2.0;
    const double along = length / 2.0 + half;
    const double cx = x0 + dx / 2.0;
    const double cy = y0 + dy / 2.0;

    // The rows whose centres lie within the rectangle's height.
    const double reach = std::abs(uy) * along + std::abs(ux) * half;
    const double top = std::clamp(cy - reach - 0.5, -1.0, static_cast<double>(rows.height));
    const double bottom = std::clamp(cy + reach - 0.5, -1.0, static_cast<double>(rows.height));
    const int firstRow = std::max(ceilFrom(top), 0);
    const int lastRow = std::min(floorFrom(bottom), rows.height - 1);

    // On the row whose centre lies v below the rectangle's centre, a point u right of it is
    // inside while |u ux + v uy| <= along and |v ux - u uy| <= half. Each bound is a range of u
    // whose ends move by a fixed step from row to row, so the rows are walked with additions; a
    // bound parallel to the rows (only a level segment has uy 0, only a vertical one ux 0, and
    // their points are whole pixels) is already met by every row chosen above and stands open.
    // The ranges are kept half a pixel to the left, so that column x is inside while x lies in
    // them.
    constexpr double kOpen = 1e300;
    const bool endsBound = ux != 0.0;
    const bool sidesBound = uy != 0.0;
    const double endsStep = endsBound ? -uy / ux : 0.0;
    const double endsHalf = endsBound ? along / std::abs(ux) : kOpen;
    const double sidesStep = sidesBound ? ux / uy : 0.0;
    const double sidesHalf = sidesBound ? half / std::abs(uy) : kOpen;
    const double v0 = firstRow + 0.5 - cy;
    const double origin = cx - 0.5;
    double endsMid = origin + v0 * endsStep;
    double sidesMid = origin + v0 * sidesStep;
    const auto right = static_cast<double>(rows.width);
    std::uint32_t* row = rows.pixels + static_cast<std::size_t>(firstRow) * rows.stride;
    for (int y = firstRow; y <= lastRow; ++y) {
        const double low = std::max(endsMid - endsHalf, sidesMid - sidesHalf);
        const double high = std::min(endsMid + endsHalf, sidesMid + sidesHalf);
        // The columns whose centres lie in the range, held to the row.
        const int first = std::max(ceilFrom(std::clamp(low, -1.0, right)), 0);
        const int last = std::min(floorFrom(std::clamp(high, -1.0, right)), rows.width - 1);
        for (int x = first; x <= last; ++x) {
            row[x] = colour;
        }
        endsMid += endsStep;
        sidesMid += sidesStep;
        row += rows.stride;
    }
}

void fillWidePolyline(const PixelRows& rows, const CurvePoint* points, int count, int penWidth,
                      std::uint32_t colour) {
    for (int j = 0; j + 1 < count; ++j) {
        fillWideSegment(rows, points[j], points[j + 1], penWidth, colour);
    }
}

}  // namespace loopster
