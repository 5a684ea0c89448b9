// The damage tracker: what a polyline can ink is always covered, whole tiles come back clipped to
// the buffer in banded order, and nothing is handed out twice.
#include "core/raster/damage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace loopster {
namespace {

constexpr int kTile = DamageTracker::kDefaultTileSize;

using Pixels = std::set<std::pair<int, int>>;

Pixels pixelsOf(const std::vector<DamageRect>& rects) {
    Pixels pixels;
    for (const DamageRect& rect : rects) {
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                EXPECT_TRUE(pixels.emplace(x, y).second) << "overlap at " << x << ',' << y;
            }
        }
    }
    return pixels;
}

// Banded: top to bottom, bands of equal top and bottom, left to right and apart within a band.
void expectBanded(const std::vector<DamageRect>& rects) {
    for (std::size_t j = 1; j < rects.size(); ++j) {
        const DamageRect& a = rects[j - 1];
        const DamageRect& b = rects[j];
        if (a.top == b.top) {
            EXPECT_EQ(a.bottom, b.bottom) << j;
            EXPECT_LT(a.right, b.left) << j;
        } else {
            EXPECT_LE(a.bottom, b.top) << j;
        }
    }
}

TEST(DamageTracker, AMarkedPointComesBackAsTheTilesAroundItOnceAsInkAndOnceAsChange) {
    DamageTracker damage;
    damage.resize(10 * kTile, 5 * kTile);
    // Near a tile corner, the pen's margin reaches into all four tiles.
    const CurvePoint point{kTile, kTile};
    damage.addPolyline(&point, 1, 1);
    const std::vector<DamageRect> square{{0, 0, 2 * kTile, 2 * kTile}};
    EXPECT_EQ(damage.takeChanged(), square);
    EXPECT_TRUE(damage.takeChanged().empty());

    // Still inked after it was shown; clearing hands it out once and marks it changed again.
    EXPECT_EQ(damage.takeInked(), square);
    EXPECT_TRUE(damage.takeInked().empty());
    EXPECT_EQ(damage.takeChanged(), square);

    // Forgotten ink is not cleared; a resize forgets everything.
    damage.addPolyline(&point, 1, 1);
    damage.forgetInked();
    EXPECT_TRUE(damage.takeInked().empty());
    damage.addPolyline(&point, 1, 1);
    damage.resize(20 * kTile, 20 * kTile);
    EXPECT_TRUE(damage.takeInked().empty());
    EXPECT_TRUE(damage.takeChanged().empty());
}

TEST(DamageTracker, RowsOfRunsAreMergedIntoBandsAndClippedToTheBuffer) {
    DamageTracker damage;
    const int width = 10 * kTile + 5;
    const int height = 4 * kTile + 3;
    damage.resize(width, height);
    // A change beyond every edge is the whole buffer, which need not be whole tiles.
    damage.addChanged({-100, -100, 100000, 100000});
    EXPECT_EQ(damage.takeChanged(), (std::vector<DamageRect>{{0, 0, width, height}}));
    EXPECT_TRUE(damage.takeInked().empty());

    // Two columns of tiles over rows 0 and 1, and one run in row 3: two bands.
    damage.addChanged({0, 0, 1, 2 * kTile});
    damage.addChanged({5 * kTile, kTile - 1, 5 * kTile + 1, kTile + 1});
    damage.addChanged({5 * kTile, 0, 6 * kTile, 1});
    damage.addChanged({2 * kTile, 3 * kTile, 10 * kTile + 1, 3 * kTile + 1});
    EXPECT_EQ(damage.takeChanged(),
              (std::vector<DamageRect>{{0, 0, kTile, 2 * kTile},
                                       {5 * kTile, 0, 6 * kTile, 2 * kTile},
                                       {2 * kTile, 3 * kTile, width, 4 * kTile}}));
    // Outside entirely: nothing.
    damage.addChanged({width, 0, width + 50, 50});
    const std::vector<CurvePoint> outside{{-500, -500}, {-100, -400}};
    damage.addPolyline(outside.data(), 2, 2);
    EXPECT_TRUE(damage.takeChanged().empty());
}

// Every pixel a pen of each width can ink along long slanting, short, axis-parallel and far
// reaching segments lies in a marked tile and in a box around a segment: whatever is left out
// would stay on the screen after the next clear. The reference is every pixel whose centre lies
// within half the pen's width (and a pixel for the system's rounding) of a segment.
TEST(DamageTracker, TheMarkedTilesHoldEveryPixelThePenCanReach) {
    const int width = 200;
    const int height = 100;
    const std::vector<CurvePoint> curve{
        {0, 0},    {199, 99}, {3, 97},  {197, 1}, {100, 99},    {-500, -3},   {150, 2},
        {152, 40}, {152, 90}, {10, 90}, {11, 91}, {100000, 50}, {-100000, 60}};
    for (const int pen : {1, 2, 5}) {
        DamageTracker damage;
        damage.resize(width, height);
        damage.addPolyline(curve.data(), static_cast<int>(curve.size()), pen);
        std::vector<DamageRect> inked = damage.takeInked();
        expectBanded(inked);
        const Pixels marked = pixelsOf(inked);
        // The boxes around the segments, which a clear may fill instead of the tiles.
        std::vector<DamageRect> boxes;
        damage.inkedBoxes(curve.data(), static_cast<int>(curve.size()), pen, boxes);
        Pixels boxed;
        for (const DamageRect& box : boxes) {
            for (int y = box.top; y < box.bottom; ++y) {
                for (int x = box.left; x < box.right; ++x) {
                    boxed.emplace(x, y);
                }
            }
        }
        const double reach = pen / 2.0 + 1.0;
        int covered = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                bool near = false;
                for (std::size_t j = 0; !near && j + 1 < curve.size(); ++j) {
                    const double ax = curve[j].x, ay = curve[j].y;
                    const double bx = curve[j + 1].x, by = curve[j + 1].y;
                    const double lx = bx - ax, ly = by - ay;
                    const double along = std::clamp(
                        ((x + 0.5 - ax) * lx + (y + 0.5 - ay) * ly) / (lx * lx + ly * ly), 0.0,
                        1.0);
                    near =
                        std::hypot(ax + along * lx - x - 0.5, ay + along * ly - y - 0.5) <= reach;
                }
                if (near) {
                    ++covered;
                    EXPECT_TRUE(marked.count({x, y}) == 1) << pen << ": " << x << ',' << y;
                    EXPECT_TRUE(boxed.count({x, y}) == 1) << pen << ": " << x << ',' << y;
                }
            }
        }
        EXPECT_GT(covered, 1000);
        // The diagonals are marked in pieces, not as their bounding boxes (which cover all).
        EXPECT_LT(marked.size(), static_cast<std::size_t>(width * height)) << pen;
        EXPECT_LT(boxed.size(), marked.size()) << pen;
    }
}

TEST(DamageTracker, ALongDiagonalIsMarkedAlongItsLength) {
    DamageTracker damage;
    damage.resize(1920, 1080);
    const std::vector<CurvePoint> diagonal{{0, 0}, {1919, 1079}};
    damage.addPolyline(diagonal.data(), 2, 2);
    const Pixels marked = pixelsOf(damage.takeChanged());
    // A few tiles either side of the line, not the screen.
    EXPECT_LT(marked.size(), static_cast<std::size_t>(1920 * 4 * kTile));
    EXPECT_EQ(DamageTracker::bounds(damage.takeInked()), (DamageRect{0, 0, 1920, 1080}));
}

}  // namespace
}  // namespace loopster
