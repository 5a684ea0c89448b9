// Stepping one-pixel segments and filling the outlines of wide ones, clipped to the buffer.
#include "core/raster/pen_raster.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/raster/damage.h"

namespace loopster {

namespace {

using std::int64_t;

// Rounded down and up for a positive divisor.
int64_t floorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}
int64_t ceilDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return quotient * divisor < value ? quotient + 1 : quotient;
}

// Where the pen's pixels go: a sink has the size it clips to (`width`, `height`) and takes runs of
// a row (`run(y, left, right)`, right outside) and single pixels (`pixel(x, y)`), all inside it.
// The pixels of a polyline are the same whichever sink takes them.
struct BufferSink {
    const PixelRows& rows;
    std::uint32_t colour;
    int width;
    int height;

    void run(int64_t y, int64_t left, int64_t right) {
        std::uint32_t* const row = rows.pixels + static_cast<std::size_t>(y) * rows.stride;
        std::fill(row + left, row + right, colour);
    }
    void pixel(int64_t x, int64_t y) {
        rows.pixels[static_cast<std::size_t>(y) * rows.stride + static_cast<std::size_t>(x)] =
            colour;
    }
};

}  // namespace

// Lists each pixel once: the plane's bit says whether it is listed already.
struct ListSink {
    PixelList& list;
    std::vector<PixelPoint>* repeats;
    int width;
    int height;

    void pixel(std::int64_t x, std::int64_t y) { run(y, x, x + 1); }

    // A run's bits are taken a plane word at a time: the new ones are those not set yet.
    void run(std::int64_t y, std::int64_t left, std::int64_t right) {
        const auto rowStart = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        std::size_t first = rowStart + static_cast<std::size_t>(left);
        const std::size_t end = rowStart + static_cast<std::size_t>(right);
        const auto row = static_cast<std::int16_t>(y);
        while (first < end) {
            const std::size_t index = first / 64;
            const std::size_t low = first % 64;
            const std::size_t stop = std::min(end, (index + 1) * 64);
            const std::size_t bits = stop - first;
            const std::uint64_t mask =
                (bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1) << low;
            std::uint64_t& word = list.m_plane[index];
            emit(mask & ~word, index, rowStart, row, list.m_points);
            if (repeats != nullptr) {
                emit(mask & word, index, rowStart, row, *repeats);
            }
            word |= mask;
            first = stop;
        }
    }

    static void emit(std::uint64_t bits, std::size_t index, std::size_t rowStart, std::int16_t row,
                     std::vector<PixelPoint>& into) {
        while (bits != 0) {
            const std::size_t at = index * 64 + static_cast<std::size_t>(std::countr_zero(bits));
            into.push_back(PixelPoint{static_cast<std::int16_t>(at - rowStart), row});
            bits &= bits - 1;
        }
    }
};

namespace {

template <typename Sink>
void fillRun(Sink& sink, int64_t y, int64_t left, int64_t right) {
    if (y < 0 || y >= sink.height) {
        return;
    }
    left = std::max<int64_t>(left, 0);
    right = std::min<int64_t>(right, sink.width);
    if (left >= right) {
        return;
    }
    sink.run(y, left, right);
}

// The octants of a segment's direction, numbered clockwise from the positive x axis with y
// growing downwards; a direction on the border between two belongs to the one the system puts it
// in.
int octantOf(int64_t dx, int64_t dy) {
    if (dy > 0) {
        if (dx > 0) {
            return dx > dy ? 1 : 2;
        }
        return -dx > dy ? 4 : 3;
    }
    if (dx < 0) {
        return -dx > -dy ? 5 : 6;
    }
    return dx > -dy ? 8 : 7;
}

// A slanting one-pixel segment of `major` steps (its last point not among them). Step k inks the
// pixel at `majorStart + majorDir * k` along the major axis and `minorStart + minorDir * m(k)`
// along the other, where m(k) = floor((2 minor k + major + bias - 1) / (2 major)) is how often the
// error term, started at 2 minor - major, has passed zero (or reached it, with the bias). The
// bias, 0 or 1, is how the system breaks the ties of an exact midpoint, by octant. Only the steps
// that land in the buffer are walked.
template <typename Sink>
void stepSegment(Sink& sink, bool xMajor, int64_t majorStart, int majorDir, int64_t minorStart,
                 int minorDir, int64_t major, int64_t minor, int bias) {
    const int64_t majorSize = xMajor ? sink.width : sink.height;
    const int64_t minorSize = xMajor ? sink.height : sink.width;
    int64_t first = 0;
    int64_t last = major - 1;
    if (majorDir > 0) {
        first = std::max(first, -majorStart);
        last = std::min(last, majorSize - 1 - majorStart);
    } else {
        first = std::max(first, majorStart - (majorSize - 1));
        last = std::min(last, majorStart);
    }
    // The range of m(k) that lands in the buffer; m(k) never falls as k grows.
    const int64_t lowest = minorDir > 0 ? -minorStart : minorStart - (minorSize - 1);
    const int64_t highest = minorDir > 0 ? minorSize - 1 - minorStart : minorStart;
    if (first > last || highest < 0) {
        return;
    }
    if (lowest > 0) {
        if (minor == 0) {
            return;
        }
        first = std::max(first, ceilDiv(2 * major * lowest - major - bias + 1, 2 * minor));
    }
    if (minor > 0) {
        last = std::min(last, floorDiv(2 * major * (highest + 1) - major - bias, 2 * minor));
    }
    if (first > last) {
        return;
    }
    const int64_t steps = floorDiv(2 * minor * first + major + bias - 1, 2 * major);
    int64_t error = 2 * minor - major + 2 * minor * first - 2 * major * steps;
    int64_t x = xMajor ? majorStart + majorDir * first : minorStart + minorDir * steps;
    int64_t y = xMajor ? minorStart + minorDir * steps : majorStart + majorDir * first;
    const int64_t majorX = xMajor ? majorDir : 0;
    const int64_t majorY = xMajor ? 0 : majorDir;
    const int64_t minorX = xMajor ? 0 : minorDir;
    const int64_t minorY = xMajor ? minorDir : 0;
    const int64_t stepped = 2 * minor - 2 * major;
    const int64_t straight = 2 * minor;
    for (int64_t k = first; k <= last; ++k) {
        sink.pixel(x, y);
        if (error + bias > 0) {
            x += minorX;
            y += minorY;
            error += stepped;
        } else {
            error += straight;
        }
        x += majorX;
        y += majorY;
    }
}

template <typename Sink>
void thinSegment(Sink& sink, CurvePoint from, CurvePoint to) {
    // Level and upright segments are runs from the first point up to the last, which they leave
    // out.
    if (from.y == to.y) {
        const int64_t left = from.x <= to.x ? int64_t{from.x} : int64_t{to.x} + 1;
        const int64_t right = from.x <= to.x ? int64_t{to.x} : int64_t{from.x} + 1;
        fillRun(sink, from.y, left, right);
        return;
    }
    if (from.x == to.x) {
        if (from.x < 0 || from.x >= sink.width) {
            return;
        }
        const int64_t top = from.y <= to.y ? int64_t{from.y} : int64_t{to.y} + 1;
        const int64_t bottom = from.y <= to.y ? int64_t{to.y} : int64_t{from.y} + 1;
        for (int64_t y = std::max<int64_t>(top, 0); y < std::min<int64_t>(bottom, sink.height);
             ++y) {
            sink.pixel(from.x, y);
        }
        return;
    }
    from = thinSlantPoint(from);
    to = thinSlantPoint(to);
    const int64_t dx = int64_t{to.x} - from.x;
    const int64_t dy = int64_t{to.y} - from.y;
    const int octant = octantOf(dx, dy);
    // Octants 3, 5, 6 and 8 take the step at an exact midpoint, the others do not.
    const int bias = octant == 3 || octant == 5 || octant == 6 || octant == 8 ? 1 : 0;
    const bool xMajor = octant == 1 || octant == 4 || octant == 5 || octant == 8;
    const int xDir = octant == 1 || octant == 2 || octant == 7 || octant == 8 ? 1 : -1;
    const int yDir = octant <= 4 ? 1 : -1;
    const int64_t ax = std::abs(dx);
    const int64_t ay = std::abs(dy);
    if (xMajor) {
        stepSegment(sink, true, from.x, xDir, from.y, yDir, ax, ay, bias);
    } else {
        stepSegment(sink, false, from.y, yDir, from.x, xDir, ay, ax, bias);
    }
}

// The rows of a wide pen's round end around a point at (0, 0): the system's elliptic region
// whose bounding box reaches from -(width / 2) to (width + 1) / 2 on both axes, right and bottom
// left out, its rows stepped as an ellipse of the box's size.
struct EndRow {
    int dy;
    int left;
    int right;
};

std::vector<EndRow> roundEnd(int width) {
    const int low = -(width / 2);
    const int high = (width + 1) / 2;
    const int size = high - low;
    std::vector<EndRow> rows;
    if (size < 2) {
        for (int y = low; y < high; ++y) {
            rows.push_back(EndRow{y, low, high});
        }
        return rows;
    }
    std::vector<int> lefts(static_cast<std::size_t>(size) + 1, low);
    std::vector<int> rights(static_cast<std::size_t>(size) + 1, high);
    const int64_t a = size - 1;
    const int64_t b = size - 1;
    const int64_t aSquared8 = 8 * a * a;
    const int64_t bSquared8 = 8 * b * b;
    int64_t stepX = 4 * b * b * (1 - a);
    int64_t stepY = 4 * a * a * (1 + b % 2);
    int64_t error = stepX + stepY + a * a * (b % 2);
    int x = 0;
    int y = size / 2;
    while (x <= size / 2) {
        const int64_t twice = 2 * error;
        if (twice >= stepX) {
            ++x;
            stepX += bSquared8;
            error += stepX;
        }
        if (twice <= stepY) {
            ++y;
            stepY += aSquared8;
            error += stepY;
            if (y < size) {
                lefts[static_cast<std::size_t>(y)] = low + x;
                rights[static_cast<std::size_t>(y)] = high - x;
                // Rows the stepping passes over keep the row above them.
                for (int below = y + 1; below < size; ++below) {
                    lefts[static_cast<std::size_t>(below)] = low + x;
                    rights[static_cast<std::size_t>(below)] = high - x;
                }
            }
        }
    }
    for (int i = 0; i < size; ++i) {
        // The upper half mirrors the lower one.
        const auto source = static_cast<std::size_t>(i < size / 2 ? b - i : i);
        rows.push_back(EndRow{low + i, lefts[source], rights[source]});
    }
    return rows;
}

template <typename Sink>
void fillEnd(Sink& sink, const std::vector<EndRow>& end, CurvePoint at) {
    for (const EndRow& row : end) {
        fillRun(sink, int64_t{at.y} + row.dy, int64_t{at.x} + row.left, int64_t{at.x} + row.right);
    }
}

// Rounded half away from zero, then cut to an integer, as the system rounds a pen's half widths.
int64_t roundAway(double value) {
    // Through 32 bits: the halves are at most the pen's width, and a 32-bit x86 build turns a
    // double into 64 bits only with the x87 unit, which the build keeps out of the core.
    return static_cast<int>(value > 0 ? value + 0.5 : value - 0.5);
}

// One edge of an outline, crossed row by row: on row y its crossing is
// x0 + ceil((y - top) * run / rise), kept as a quotient and a remainder that the rows step with
// additions.
struct EdgeWalk {
    int64_t top;
    int64_t bottom;
    int64_t x0;
    int64_t run;
    int64_t rise;
    int64_t quotient;
    int64_t remainder;
    int64_t quotientStep;
    int64_t remainderStep;

    int64_t crossing() const { return x0 + quotient + (remainder > 0 ? 1 : 0); }
    void step() {
        quotient += quotientStep;
        remainder += remainderStep;
        if (remainder >= rise) {
            remainder -= rise;
            ++quotient;
        }
    }
};

template <typename Sink>
void fillConvexExactly(Sink& sink, const std::array<std::array<int64_t, 2>, 4>& corners,
                       int64_t firstRow, int64_t endRow) {
    std::array<EdgeWalk, 4> edges{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        auto upper = corners[i];
        auto lower = corners[(i + 1) % corners.size()];
        if (upper[1] == lower[1]) {
            continue;
        }
        if (upper[1] > lower[1]) {
            std::swap(upper, lower);
        }
        EdgeWalk& edge = edges[count++];
        edge.top = upper[1];
        edge.bottom = lower[1];
        edge.x0 = upper[0];
        edge.rise = lower[1] - upper[1];
        const int64_t run = lower[0] - upper[0];
        // A segment's outline has two pairs of parallel edges, which step alike: the divisions
        // are what a short segment costs most, so a pair shares them.
        const EdgeWalk* twin = nullptr;
        for (std::size_t k = 0; k + 1 < count; ++k) {
            if (edges[k].rise == edge.rise && edges[k].run == run) {
                twin = &edges[k];
            }
        }
        edge.run = run;
        if (twin != nullptr) {
            edge.quotientStep = twin->quotientStep;
            edge.remainderStep = twin->remainderStep;
        } else {
            edge.quotientStep = floorDiv(run, edge.rise);
            edge.remainderStep = run - edge.quotientStep * edge.rise;
        }
        // Nothing to divide for an edge that starts in the buffer, as nearly all do.
        edge.quotient = 0;
        edge.remainder = 0;
        if (edge.top < firstRow) {
            const int64_t along = (firstRow - edge.top) * run;
            edge.quotient = floorDiv(along, edge.rise);
            edge.remainder = along - edge.quotient * edge.rise;
        }
    }
    for (int64_t y = firstRow; y < endRow; ++y) {
        int64_t left = 0;
        int64_t right = 0;
        bool crossed = false;
        for (std::size_t i = 0; i < count; ++i) {
            EdgeWalk& edge = edges[i];
            if (y < edge.top || y >= edge.bottom) {
                continue;
            }
            const int64_t x = edge.crossing();
            edge.step();
            left = crossed ? std::min(left, x) : x;
            right = crossed ? std::max(right, x) : x;
            crossed = true;
        }
        if (crossed) {
            fillRun(sink, y, left, right);
        }
    }
}

// Fills a convex polygon as the system's polygon regions do: on each row y, the columns x with
// left(y) <= x < right(y), where left and right are where the outline crosses the line through
// the pixels' top left corners; the top row is in, the bottom one out.
template <typename Sink>
void fillConvex(Sink& sink, const std::array<std::array<int64_t, 2>, 4>& corners) {
    int64_t top = corners[0][1];
    int64_t bottom = corners[0][1];
    for (const auto& corner : corners) {
        top = std::min(top, corner[1]);
        bottom = std::max(bottom, corner[1]);
    }
    // Past about 2^30 the products of the exact crossing leave 64 bits; such outlines lie far
    // off any buffer and are crossed in floating point instead.
    constexpr int64_t kExact = int64_t{1} << 30;
    bool exact = true;
    for (const auto& corner : corners) {
        exact = exact && std::abs(corner[0]) < kExact && std::abs(corner[1]) < kExact;
    }
    const int64_t firstRow = std::max<int64_t>(top, 0);
    const int64_t endRow = std::min<int64_t>(bottom, sink.height);
    if (firstRow >= endRow) {
        return;
    }
    if (exact) {
        fillConvexExactly(sink, corners, firstRow, endRow);
        return;
    }
    for (int64_t y = firstRow; y < endRow; ++y) {
        int64_t left = 0;
        int64_t right = 0;
        bool crossed = false;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            auto upper = corners[i];
            auto lower = corners[(i + 1) % corners.size()];
            if (upper[1] == lower[1]) {
                continue;
            }
            if (upper[1] > lower[1]) {
                std::swap(upper, lower);
            }
            if (y < upper[1] || y >= lower[1]) {
                continue;
            }
            const double at =
                static_cast<double>(upper[0]) + std::ceil(static_cast<double>(y - upper[1]) *
                                                          static_cast<double>(lower[0] - upper[0]) /
                                                          static_cast<double>(lower[1] - upper[1]));
            const int64_t x =
                static_cast<int>(std::clamp(at, -1.0, static_cast<double>(sink.width) + 1));
            left = crossed ? std::min(left, x) : x;
            right = crossed ? std::max(right, x) : x;
            crossed = true;
        }
        if (crossed) {
            fillRun(sink, y, left, right);
        }
    }
}

// The outline of one segment of a wide pen, without its ends.
template <typename Sink>
void wideSegment(Sink& sink, CurvePoint from, CurvePoint to, int width) {
    const int64_t dx = int64_t{to.x} - from.x;
    const int64_t dy = int64_t{to.y} - from.y;
    if (dx == 0 && dy == 0) {
        return;
    }
    if (dy == 0) {
        const int64_t top = int64_t{from.y} - width / 2;
        for (int64_t y = top; y < top + width; ++y) {
            fillRun(sink, y, std::min(from.x, to.x), std::max(from.x, to.x));
        }
        return;
    }
    if (dx == 0) {
        const int64_t left = int64_t{from.x} - width / 2;
        const int64_t first = std::max<int64_t>(std::min(from.y, to.y), 0);
        const int64_t end = std::min<int64_t>(std::max(from.y, to.y), sink.height);
        for (int64_t y = first; y < end; ++y) {
            fillRun(sink, y, left, left + width);
        }
        return;
    }
    // The pen's width split across the segment into a narrow and a wide half, each rounded to
    // whole pixels along both axes, so that the outline's corners are whole points.
    // The square root of the exact sum rather than hypot(), a library call: the two can differ in
    // the last bit, but the halves below round away from a tie that integer lengths never come
    // within a bit of.
    const double length = std::sqrt(static_cast<double>(dx) * static_cast<double>(dx) +
                                    static_cast<double>(dy) * static_cast<double>(dy));
    const double acrossX = static_cast<double>(width * std::abs(dy)) / length;
    const double acrossY = static_cast<double>(width * std::abs(dx)) / length;
    int64_t narrowX = roundAway(acrossX / 2);
    int64_t narrowY = roundAway(acrossY / 2);
    int64_t wideX = roundAway((acrossX + 1) / 2);
    int64_t wideY = roundAway((acrossY + 1) / 2);
    if (dx < 0) {
        narrowY = -narrowY;
        wideY = -wideY;
    }
    if (dy < 0) {
        std::swap(narrowX, wideX);
        std::swap(narrowY, wideY);
        narrowX = -narrowX;
        wideX = -wideX;
    }
    const std::array<std::array<int64_t, 2>, 4> corners{{
        {from.x - narrowX, from.y + narrowY},
        {from.x + wideX, from.y - wideY},
        {to.x + wideX, to.y - wideY},
        {to.x - narrowX, to.y + narrowY},
    }};
    fillConvex(sink, corners);
}

// The heavy pen's short segments come ready made: a segment's pixels depend only on the step
// from its first point to its last, so for every step of up to kStampReach pixels along each
// axis the outline and the round end at the first point are drawn once, into a scratch buffer
// with the same code as any other segment, and kept as runs of pixels relative to that point.
// A frame's segments are then a lookup and a few runs each instead of the outline's set-up.
constexpr int kStampReach = 16;

struct StampRun {
    int dy;
    int left;
    int right;
};

class HeavyStamps {
  public:
    HeavyStamps() {
        constexpr int kMargin = 4;
        constexpr int kSide = 2 * (kStampReach + kMargin) + 1;
        constexpr int kCentre = kStampReach + kMargin;
        const std::vector<EndRow> end = roundEnd(2);
        std::vector<std::uint32_t> scratch(static_cast<std::size_t>(kSide * kSide));
        const PixelRows rows{scratch.data(), kSide, kSide, kSide};
        BufferSink sink{rows, 1u, kSide, kSide};
        for (int dy = -kStampReach; dy <= kStampReach; ++dy) {
            for (int dx = -kStampReach; dx <= kStampReach; ++dx) {
                std::fill(scratch.begin(), scratch.end(), 0u);
                const CurvePoint from{kCentre, kCentre};
                fillEnd(sink, end, from);
                wideSegment(sink, from, CurvePoint{kCentre + dx, kCentre + dy}, 2);
                Stamp& stamp = m_stamps[index(dx, dy)];
                stamp.first = m_runs.size();
                for (int y = 0; y < kSide; ++y) {
                    const std::uint32_t* row = scratch.data() + y * kSide;
                    for (int x = 0; x < kSide;) {
                        if (row[x] == 0) {
                            ++x;
                            continue;
                        }
                        const int left = x;
                        while (x < kSide && row[x] != 0) {
                            ++x;
                        }
                        m_runs.push_back(StampRun{y - kCentre, left - kCentre, x - kCentre});
                    }
                }
                stamp.count = m_runs.size() - stamp.first;
            }
        }
    }

    static bool covers(std::int64_t dx, std::int64_t dy) {
        return dx >= -kStampReach && dx <= kStampReach && dy >= -kStampReach && dy <= kStampReach;
    }

    template <typename Sink>
    void draw(Sink& sink, CurvePoint from, int dx, int dy) const {
        const Stamp& stamp = m_stamps[index(dx, dy)];
        const StampRun* run = m_runs.data() + stamp.first;
        for (std::size_t k = 0; k < stamp.count; ++k, ++run) {
            fillRun(sink, int64_t{from.y} + run->dy, int64_t{from.x} + run->left,
                    int64_t{from.x} + run->right);
        }
    }

  private:
    struct Stamp {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    static std::size_t index(int dx, int dy) {
        return static_cast<std::size_t>((dy + kStampReach) * (2 * kStampReach + 1) +
                                        (dx + kStampReach));
    }
    std::array<Stamp, (2 * kStampReach + 1) * (2 * kStampReach + 1)> m_stamps{};
    std::vector<StampRun> m_runs;
};

const HeavyStamps& heavyStamps() {
    static const HeavyStamps stamps;
    return stamps;
}

template <typename Sink>
void widePolyline(Sink& sink, const CurvePoint* points, int count, int width) {
    // Every vertex gets the pen's round end: the ends of the polyline as its caps, the others as
    // its round joins, which have the same shape. The saver's heavy pen's segments and ends are
    // stamped; a long segment is drawn on its own after its first point's end.
    if (width == 2) {
        const HeavyStamps& stamps = heavyStamps();
        static const std::vector<EndRow> heavyEnd = roundEnd(2);
        for (int j = 0; j + 1 < count; ++j) {
            const int64_t dx = int64_t{points[j + 1].x} - points[j].x;
            const int64_t dy = int64_t{points[j + 1].y} - points[j].y;
            if (HeavyStamps::covers(dx, dy)) {
                stamps.draw(sink, points[j], static_cast<int>(dx), static_cast<int>(dy));
            } else {
                fillEnd(sink, heavyEnd, points[j]);
                wideSegment(sink, points[j], points[j + 1], width);
            }
        }
        fillEnd(sink, heavyEnd, points[count - 1]);
        return;
    }
    const std::vector<EndRow> end = roundEnd(width);
    for (int j = 0; j < count; ++j) {
        if (j == 0 || points[j].x != points[j - 1].x || points[j].y != points[j - 1].y) {
            fillEnd(sink, end, points[j]);
        }
    }
    for (int j = 0; j + 1 < count; ++j) {
        wideSegment(sink, points[j], points[j + 1], width);
    }
}

template <typename Sink>
void polylineTo(Sink& sink, const CurvePoint* points, int count, int penWidth) {
    if (penWidth > 1) {
        widePolyline(sink, points, count, penWidth);
    } else {
        for (int j = 0; j + 1 < count; ++j) {
            thinSegment(sink, points[j], points[j + 1]);
        }
    }
}

}  // namespace

void drawPolyline(const PixelRows& rows, const CurvePoint* points, int count, int penWidth,
                  std::uint32_t colour, DamageTracker* damage) {
    if (points == nullptr || count < 2 || rows.pixels == nullptr || rows.width <= 0 ||
        rows.height <= 0) {
        return;
    }
    BufferSink sink{rows, colour, rows.width, rows.height};
    polylineTo(sink, points, count, penWidth);
    if (damage != nullptr) {
        damage->addPolyline(points, count, penWidth);
    }
}

void PixelList::resize(int width, int height) {
    m_width = std::clamp(width, 0, 32767);
    m_height = std::clamp(height, 0, 32767);
    const std::size_t bits = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
    m_plane.assign((bits + 63) / 64, 0);
    m_points.clear();
}

void PixelList::add(const CurvePoint* points, int count, int penWidth,
                    std::vector<PixelPoint>* repeats) {
    if (points == nullptr || count < 2 || m_width <= 0 || m_height <= 0) {
        return;
    }
    ListSink sink{*this, repeats, m_width, m_height};
    polylineTo(sink, points, count, penWidth);
}

void PixelList::take(std::vector<PixelPoint>& into) {
    // Clearing the plane whole streams through it, which costs less than reaching a word for
    // every pixel once there are more pixels than an eighth of its words.
    if (m_points.size() >= m_plane.size() / 8) {
        std::fill(m_plane.begin(), m_plane.end(), 0);
    } else {
        for (const PixelPoint point : m_points) {
            const std::size_t bit = index(point);
            m_plane[bit / 64] &= ~(std::uint64_t{1} << (bit % 64));
        }
    }
    into.swap(m_points);
    m_points.clear();
}

}  // namespace loopster
