// The pen rasteriser on its own: clipping never changes which pixels a pen inks, drawing again in
// the background takes away exactly what was drawn, the damage tracker hears of every inked
// pixel, and points anywhere in the 32-bit range are safe. Its pixels against the system's own
// are checked by pen_raster_gdi_test, under Wine.
#include "core/raster/pen_raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/raster/damage.h"

namespace loopster {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kInk = 0xFFFFC040u;

struct Image {
    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), kBlack) {}
    PixelRows rows() {
        return PixelRows{pixels.data(), static_cast<std::size_t>(width), width, height};
    }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

// Polylines that wander well past every side of a 120 x 90 buffer, with level, upright, diagonal
// and repeated points among them.
std::vector<std::vector<CurvePoint>> wanderingPolylines() {
    std::mt19937 random(2026);
    std::vector<std::vector<CurvePoint>> polylines;
    for (int k = 0; k < 60; ++k) {
        std::vector<CurvePoint> points{
            {static_cast<int>(random() % 240) - 60, static_cast<int>(random() % 180) - 45}};
        for (int j = 0; j < 12; ++j) {
            CurvePoint next{static_cast<int>(random() % 240) - 60,
                            static_cast<int>(random() % 180) - 45};
            switch (random() % 5) {
                case 0:
                    next.y = points.back().y;
                    break;
                case 1:
                    next.x = points.back().x;
                    break;
                case 2:
                    next.y = points.back().y + (next.x - points.back().x);
                    break;
                case 3:
                    next = points.back();
                    break;
                default:
                    break;
            }
            points.push_back(next);
        }
        polylines.push_back(points);
    }
    return polylines;
}

TEST(PenRaster, ClippingToTheBufferKeepsEveryPixelWhereItWouldBe) {
    // The same polylines on a buffer large enough to hold them whole, moved into its middle.
    const int shift = 100;
    for (const int pen : {1, 2, 3}) {
        for (const std::vector<CurvePoint>& points : wanderingPolylines()) {
            Image small(120, 90);
            Image whole(120 + 2 * shift, 90 + 2 * shift);
            std::vector<CurvePoint> moved = points;
            for (CurvePoint& point : moved) {
                point.x += shift;
                point.y += shift;
            }
            drawPolyline(small.rows(), points.data(), static_cast<int>(points.size()), pen, kInk);
            drawPolyline(whole.rows(), moved.data(), static_cast<int>(moved.size()), pen, kInk);
            for (int y = 0; y < small.height; ++y) {
                for (int x = 0; x < small.width; ++x) {
                    ASSERT_EQ(small.at(x, y), whole.at(x + shift, y + shift))
                        << "pen " << pen << " at " << x << ',' << y;
                }
            }
        }
    }
}

TEST(PenRaster, ThePenLeavesEachSegmentsLastPixelToTheNextAndInksEveryVertexOfAClosedCurve) {
    // The corner of the light curve, and a closed one through every octant.
    Image image(40, 40);
    const std::vector<CurvePoint> open{{10, 10}, {10, 9}, {8, 11}};
    drawPolyline(image.rows(), open.data(), 3, 1, kInk);
    EXPECT_EQ(image.at(10, 10), kInk);
    EXPECT_EQ(image.at(10, 9), kInk);
    EXPECT_EQ(image.at(9, 10), kInk);
    EXPECT_EQ(image.at(8, 11), kBlack);

    const std::vector<CurvePoint> closed{{20, 5}, {33, 9}, {36, 20}, {31, 33}, {20, 36},
                                         {8, 31}, {4, 20}, {9, 8},   {20, 5}};
    for (const int pen : {1, 2}) {
        Image ring(40, 40);
        drawPolyline(ring.rows(), closed.data(), static_cast<int>(closed.size()), pen, kInk);
        for (const CurvePoint& point : closed) {
            EXPECT_EQ(ring.at(point.x, point.y), kInk) << pen << ": " << point.x << ',' << point.y;
        }
    }
}

TEST(PenRaster, DrawingAgainInTheBackgroundTakesAwayExactlyWhatWasDrawnAndTheTrackerHeardOfIt) {
    for (const int pen : {1, 2, 3}) {
        Image image(120, 90);
        DamageTracker damage;
        damage.resize(image.width, image.height);
        auto polylines = wanderingPolylines();
        // Beyond 2^28 a one-pixel pen steps at a point's coordinates divided by 8: across the
        // buffer's row 50, though the line lies at rows 400 to 401.
        polylines.push_back({{1 << 28, 400}, {-(1 << 28), 401}});
        for (const std::vector<CurvePoint>& points : polylines) {
            drawPolyline(image.rows(), points.data(), static_cast<int>(points.size()), pen, kInk,
                         &damage);
        }
        std::vector<bool> changed(image.pixels.size());
        for (const DamageRect& rect : damage.takeChanged()) {
            for (int y = rect.top; y < rect.bottom; ++y) {
                for (int x = rect.left; x < rect.right; ++x) {
                    changed[static_cast<std::size_t>(y * image.width + x)] = true;
                }
            }
        }
        int inked = 0;
        for (std::size_t j = 0; j < image.pixels.size(); ++j) {
            if (image.pixels[j] == kInk) {
                ++inked;
                ASSERT_TRUE(changed[j]) << "pen " << pen << ", pixel " << j;
            }
        }
        EXPECT_GT(inked, 2000) << pen;
        for (const std::vector<CurvePoint>& points : polylines) {
            drawPolyline(image.rows(), points.data(), static_cast<int>(points.size()), pen, kBlack);
        }
        for (std::size_t j = 0; j < image.pixels.size(); ++j) {
            ASSERT_EQ(image.pixels[j], kBlack) << "pen " << pen << ", pixel " << j;
        }
    }
}

TEST(PenRaster, PointsAtTheEndsOfThe32BitRangeInkOnlyWhatLiesOnTheBuffer) {
    const int big = std::numeric_limits<std::int32_t>::max();
    const int small = std::numeric_limits<std::int32_t>::min();
    const std::vector<CurvePoint> away{{big, 10},    {big - 5, 40},    {small, 10}, {small, 40},
                                       {10, big},    {50, big},        {10, small}, {50, small + 3},
                                       {big, small}, {big - 7, small}, {70, -big},  {big, -3}};
    for (const int pen : {1, 2}) {
        Image image(64, 48);
        for (std::size_t j = 0; j + 1 < away.size(); j += 2) {
            drawPolyline(image.rows(), &away[j], 2, pen, kInk);
        }
        for (const std::uint32_t pixel : image.pixels) {
            ASSERT_EQ(pixel, kBlack) << pen;
        }
        // From the buffer to far past its right edge: the row to the edge.
        const std::vector<CurvePoint> out{{10, 10}, {big, 10}};
        drawPolyline(image.rows(), out.data(), 2, pen, kInk);
        for (int x = 0; x < image.width; ++x) {
            EXPECT_EQ(image.at(x, 10), x >= 10 || (pen == 2 && x == 9) ? kInk : kBlack)
                << pen << ": " << x;
        }
    }
}

}  // namespace
}  // namespace loopster

namespace loopster {
namespace {

// The list of a polyline's pixels is the buffer's pixels, each once, for every pen; pixels listed
// before come back as repeats, and handing the list over empties the plane.
TEST(PixelList, ListsExactlyThePixelsTheBufferGetsEachOnce) {
    for (const int width : {1, 2, 5}) {
        PixelList list;
        list.resize(120, 90);
        for (const std::vector<CurvePoint>& points : wanderingPolylines()) {
            Image image(120, 90);
            const int count = static_cast<int>(points.size());
            drawPolyline(image.rows(), points.data(), count, width, kInk);
            list.add(points.data(), count, width);
            std::vector<std::uint8_t> listed(120 * 90, 0);
            for (const PixelPoint point : list.points()) {
                ASSERT_TRUE(point.x >= 0 && point.x < 120 && point.y >= 0 && point.y < 90);
                const auto at = static_cast<std::size_t>(point.y * 120 + point.x);
                EXPECT_EQ(listed[at]++, 0) << width << ": " << point.x << ',' << point.y;
            }
            for (int y = 0; y < 90; ++y) {
                for (int x = 0; x < 120; ++x) {
                    EXPECT_EQ(listed[static_cast<std::size_t>(y * 120 + x)] != 0,
                              image.at(x, y) == kInk)
                        << width << ": " << x << ',' << y;
                }
            }
            std::vector<PixelPoint> repeats;
            const std::size_t before = list.points().size();
            list.add(points.data(), count, width, &repeats);
            EXPECT_EQ(list.points().size(), before);
            EXPECT_GE(repeats.size(), before);
            std::vector<PixelPoint> taken;
            list.take(taken);
            EXPECT_EQ(taken.size(), before);
            EXPECT_TRUE(list.points().empty());
            for (const PixelPoint point : taken) {
                EXPECT_FALSE(list.contains(point));
            }
        }
    }
}

}  // namespace
}  // namespace loopster
