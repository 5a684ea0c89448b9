// The tile map: what is marked comes back as whole tiles, clipped to the buffer, in rows that a
// region accepts as they are, and nothing is handed out twice.
#include "platform/qt/dirty_tiles.h"

#include <gtest/gtest.h>

#include <vector>

namespace loopster {
namespace {

constexpr int kTile = DirtyTiles::kTileSize;

// Regions compare their stored rectangles, so a region built in a form Qt does not expect would
// differ from an equal one built by Qt; comparing both ways checks the form too.
void expectSameRegion(const QRegion& actual, const QRegion& expected) {
    EXPECT_TRUE((actual ^ expected).isEmpty()) << "different pixels";
    EXPECT_EQ(actual, expected) << "same pixels, different form";
}

QRegion regionOf(const std::vector<QRect>& rects) {
    QRegion region;
    for (const QRect& rect : rects) {
        region += rect;
    }
    return region;
}

TEST(DirtyTiles, AnInkedAreaComesBackAsTheTilesAroundIt) {
    DirtyTiles tiles;
    tiles.resize(QSize(10 * kTile, 5 * kTile));
    // Two pixels that straddle a tile corner touch four tiles.
    tiles.markInked(QRect(kTile - 1, kTile - 1, 2, 2));
    const QRegion changed = tiles.takeChanged();
    expectSameRegion(changed, QRegion(0, 0, 2 * kTile, 2 * kTile));
    EXPECT_TRUE(tiles.takeChanged().isEmpty());

    // Still inked after it was sent; the clear hands it out once and marks it changed again.
    expectSameRegion(regionOf(tiles.clearInked()), QRegion(0, 0, 2 * kTile, 2 * kTile));
    EXPECT_TRUE(tiles.clearInked().empty());
    expectSameRegion(tiles.takeChanged(), QRegion(0, 0, 2 * kTile, 2 * kTile));
}

TEST(DirtyTiles, RunsAlongARowAreOneRectangleAndGapsSplitThem) {
    DirtyTiles tiles;
    tiles.resize(QSize(10 * kTile, 5 * kTile));
    tiles.markInked(QRect(0, 0, 3 * kTile, 1));
    tiles.markInked(QRect(5 * kTile, 0, 1, 1));
    tiles.markInked(QRect(kTile, 2 * kTile, 1, kTile + 1));
    const std::vector<QRect> runs = tiles.clearInked();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], QRect(0, 0, 3 * kTile, kTile));
    EXPECT_EQ(runs[1], QRect(5 * kTile, 0, kTile, kTile));
    EXPECT_EQ(runs[2], QRect(kTile, 2 * kTile, kTile, kTile));
    EXPECT_EQ(runs[3], QRect(kTile, 3 * kTile, kTile, kTile));
}

TEST(DirtyTiles, AreasAreClippedToTheBufferWhoseSizeNeedNotBeWholeTiles) {
    DirtyTiles tiles;
    const QSize size(2 * kTile + 5, kTile + 3);
    tiles.resize(size);
    tiles.markInked(QRect(-100, -100, 10000, 10000));
    expectSameRegion(regionOf(tiles.clearInked()), QRegion(QRect(QPoint(0, 0), size)));
    expectSameRegion(tiles.takeChanged(), QRegion(QRect(QPoint(0, 0), size)));

    // Entirely outside: nothing.
    tiles.markInked(QRect(size.width(), 0, 50, 50));
    tiles.markChanged(QRect(-60, -60, 50, 50));
    EXPECT_TRUE(tiles.clearInked().empty());
    EXPECT_TRUE(tiles.takeChanged().isEmpty());
}

TEST(DirtyTiles, ChangedWithoutInkIsSentButNeverCleared) {
    DirtyTiles tiles;
    tiles.resize(QSize(4 * kTile, 4 * kTile));
    tiles.markChanged(QRect(0, 0, 4 * kTile, 4 * kTile));
    EXPECT_TRUE(tiles.clearInked().empty());
    expectSameRegion(tiles.takeChanged(), QRegion(0, 0, 4 * kTile, 4 * kTile));
}

TEST(DirtyTiles, ForgettingTheInkOrResizingLeavesNothingToClear) {
    DirtyTiles tiles;
    tiles.resize(QSize(4 * kTile, 4 * kTile));
    tiles.markInked(QRect(0, 0, 10, 10));
    tiles.forgetInked();
    EXPECT_TRUE(tiles.clearInked().empty());
    // The change itself is still to be sent.
    expectSameRegion(tiles.takeChanged(), QRegion(0, 0, kTile, kTile));

    tiles.markInked(QRect(0, 0, 10, 10));
    tiles.resize(QSize(8 * kTile, 8 * kTile));
    EXPECT_TRUE(tiles.clearInked().empty());
    EXPECT_TRUE(tiles.takeChanged().isEmpty());
}

// The region built straight from the runs must equal one built by adding rectangle after
// rectangle, for a scattered pattern of tiles with several runs in a row.
TEST(DirtyTiles, TheChangedRegionEqualsTheUnionOfItsTiles) {
    DirtyTiles tiles;
    tiles.resize(QSize(20 * kTile, 12 * kTile + 7));
    QRegion expected;
    for (int row = 0; row < 13; ++row) {
        for (int column = 0; column < 20; ++column) {
            if ((row * 7 + column * 3) % 5 < 2) {
                const QRect tile(column * kTile, row * kTile, kTile, kTile);
                tiles.markInked(QRect(tile.topLeft() + QPoint(3, 3), QSize(1, 1)));
                expected += tile.intersected(QRect(0, 0, 20 * kTile, 12 * kTile + 7));
            }
        }
    }
    expectSameRegion(tiles.takeChanged(), expected);
}

}  // namespace
}  // namespace loopster
