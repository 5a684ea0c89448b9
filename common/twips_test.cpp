// Twips to pixels for the dialog and twips per pixel for the screen, at the usual resolutions.
#include "common/twips.h"

#include <gtest/gtest.h>

namespace loopster {
namespace {

TEST(Twips, DialogPlacesRoundToTheNearestPixelWithHalvesUpAsMulDivDoes) {
    EXPECT_EQ(twipsToPixels(2430, 96), 162);
    EXPECT_EQ(twipsToPixels(255, 120), 21);    // 21.25
    EXPECT_EQ(twipsToPixels(2430, 120), 203);  // 202.5
    EXPECT_EQ(twipsToPixels(2820, 144), 282);
    EXPECT_EQ(twipsToPixels(735, 0), 49) << "an unknown resolution counts as 96";
}

TEST(Twips, TheScreenHasAWholeNumberOfTwipsPerPixel) {
    EXPECT_EQ(twipsPerPixel(96), 15.0);
    EXPECT_EQ(twipsPerPixel(120), 12.0);
    EXPECT_EQ(twipsPerPixel(144), 10.0);
    EXPECT_EQ(twipsPerPixel(100), 14.0);
    EXPECT_EQ(twipsPerPixel(-1), 15.0);
    EXPECT_EQ(twipsPerPixel(3000), 1.0);
}

}  // namespace
}  // namespace loopster
