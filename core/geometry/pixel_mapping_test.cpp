// Model units to pixels, against worked examples.
#include "core/geometry/pixel_mapping.h"

#include <gtest/gtest.h>

#include <memory>

namespace loopster {
namespace {

std::unique_ptr<CurveBuffer> curveOf(std::initializer_list<CurvePoint> points) {
    auto curve = std::make_unique<CurveBuffer>();
    std::size_t j = 0;
    for (const CurvePoint& point : points) {
        curve->CurvePoints[j++] = point;
    }
    curve->PointCount = static_cast<std::int16_t>(j - 1);
    return curve;
}

TEST(PixelMapping, WidthSpansThirtyFourHundredUnitsCentredOnTheOrigin) {
    auto odd = curveOf({{0, 0}, {1700, 0}, {-1700, 0}});
    mapToPixels(*odd, 1023.0f, 767.0f, 0.85);
    // 511.5 rounds half to even.
    EXPECT_EQ(odd->CurvePoints[0].x, 512);
    EXPECT_EQ(odd->CurvePoints[0].y, 384);
    EXPECT_EQ(odd->CurvePoints[1].x, 1023);
    EXPECT_EQ(odd->CurvePoints[2].x, 0);

    // The scale comes from the width on both axes; model y grows downwards.
    auto wide = curveOf({{0, 1700}, {0, -1700}, {1700, 1700}});
    mapToPixels(*wide, 1024.0f, 768.0f, 0.85);
    EXPECT_EQ(wide->CurvePoints[0].y, 896);
    EXPECT_EQ(wide->CurvePoints[1].y, -128);
    EXPECT_EQ(wide->CurvePoints[2].x, 1024);
    EXPECT_EQ(wide->CurvePoints[2].y, 896);
}

TEST(PixelMapping, OnlyPointsUpToPointCountAreMapped) {
    auto curve = curveOf({{0, 0}, {100, 100}});
    curve->CurvePoints[2] = {4000, 4000};
    mapToPixels(*curve, 800.0f, 600.0f, 0.85);
    EXPECT_EQ(curve->CurvePoints[2].x, 4000);
    EXPECT_EQ(curve->CurvePoints[1].x, 424);
    EXPECT_EQ(curve->CurvePoints[1].y, 324);
}

}  // namespace
}  // namespace loopster
