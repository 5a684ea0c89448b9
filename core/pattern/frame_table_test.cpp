// Frame interpolation against the worked example and independent computations.
#include "core/pattern/frame_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "common/run_error.h"

namespace loopster {
namespace {

struct Fixture {
    GenBox genbox;
    PatternGlobals globals;
    std::unique_ptr<FrameTable> table = std::make_unique<FrameTable>();
};

// The kind of the error BuildFrame stops with, or nothing when it succeeds.
std::optional<ErrorKind> errorOf(Fixture& fx, std::int16_t index) {
    try {
        BuildFrame(index, fx.genbox, fx.globals, *fx.table);
    } catch (const RunError& error) {
        return error.kind();
    }
    return std::nullopt;
}

TEST(BuildFrame, WorkedExample) {
    Fixture fx;
    fx.globals.FrameCount = 50;
    fx.genbox.Picture1 = 255;
    fx.genbox.Picture2 = 12582912;
    BuildFrame(10, fx.genbox, fx.globals, *fx.table);
    const FrameRecord& frame = (*fx.table)[10];
    EXPECT_EQ(frame.FixedRadius, 500.0);
    EXPECT_EQ(frame.RollingRadius, 200.0);
    EXPECT_DOUBLE_EQ(frame.StartAngle, 0.20943951026666666);
    EXPECT_EQ(frame.StartAngle, 12.0 / 180.0 * 3.141592654);
    EXPECT_EQ(frame.PenOffset, 100.0);
    EXPECT_EQ(frame.GearPosition, -100);
    EXPECT_EQ(frame.PenColor, 2490572);
}

TEST(BuildFrame, IndexZeroIsTheStartAndLaterFramesInterpolate) {
    Fixture fx;
    fx.globals.FrameCount = 8;
    fx.genbox.Text1 = "40";
    fx.genbox.Text2 = "200";
    fx.genbox.Text4 = "10";
    fx.genbox.Text5 = "-30";
    fx.genbox.Text7 = "-100";
    fx.genbox.Text8 = "100";
    fx.genbox.Picture1 = 0x123456;
    fx.genbox.Picture2 = 0xFEDCBA;
    BuildFrame(0, fx.genbox, fx.globals, *fx.table);
    const FrameRecord& first = (*fx.table)[0];
    EXPECT_EQ(first.PenColor, 0x123456);
    EXPECT_EQ(first.PenOffset, 0.4 * 200.0);
    EXPECT_EQ(first.StartAngle, 10.0 / 180.0 * 3.141592654);
    EXPECT_EQ(first.GearPosition, -100);

    BuildFrame(6, fx.genbox, fx.globals, *fx.table);
    const FrameRecord& later = (*fx.table)[6];
    EXPECT_EQ(later.PenOffset, (40.0 + 160.0 * 0.75) / 100.0 * 200.0);
    EXPECT_EQ(later.GearPosition, 50);
    // Equal from and to give the same value in every frame.
    fx.genbox.Text8 = "-100";
    BuildFrame(7, fx.genbox, fx.globals, *fx.table);
    EXPECT_EQ((*fx.table)[7].GearPosition, -100);
}

TEST(BuildFrame, GearPositionRoundsTiesToEven) {
    Fixture fx;
    fx.globals.FrameCount = 80;
    fx.genbox.Text7 = "-100";
    fx.genbox.Text8 = "-60";  // v = -100 + 40 * i / 80: i = 25 gives -87.5
    BuildFrame(25, fx.genbox, fx.globals, *fx.table);
    EXPECT_EQ((*fx.table)[25].GearPosition, -88);
    fx.genbox.Text7 = "0";
    fx.genbox.Text8 = "5";  // i = 40 gives 2.5
    BuildFrame(40, fx.genbox, fx.globals, *fx.table);
    EXPECT_EQ((*fx.table)[40].GearPosition, 2);
}

TEST(BuildFrame, PenOffsetFollowsTheFramesOwnRollingRadius) {
    Fixture fx;
    fx.globals.FrameCount = 1;
    fx.genbox.Text1 = "50";
    fx.globals.RollingGearSize = 10;
    BuildFrame(0, fx.genbox, fx.globals, *fx.table);
    EXPECT_EQ((*fx.table)[0].PenOffset, 25.0);
    fx.globals.RollingGearSize = 70;
    BuildFrame(0, fx.genbox, fx.globals, *fx.table);
    EXPECT_EQ((*fx.table)[0].PenOffset, 175.0);
}

TEST(BuildFrame, LimitsAreRunErrors) {
    Fixture fx;
    fx.globals.FrameCount = 10;
    EXPECT_EQ(errorOf(fx, -1), ErrorKind::SubscriptOutOfRange);
    EXPECT_EQ(errorOf(fx, 5001), ErrorKind::SubscriptOutOfRange);
    fx.globals.FixedGearSize = 1e9;
    fx.globals.RollingGearSize = 6553;
    BuildFrame(5000, fx.genbox, fx.globals, *fx.table);
    EXPECT_EQ((*fx.table)[5000].RollingRadius, 32765.0);
    EXPECT_EQ((*fx.table)[5000].FixedRadius, 5e9);
    fx.globals.RollingGearSize = 6554;
    fx.genbox.Picture1 = 77;
    fx.genbox.Picture2 = 77;
    EXPECT_EQ(errorOf(fx, 3), ErrorKind::Overflow);
    // Colour and fixed radius were stored before the overflow.
    EXPECT_EQ((*fx.table)[3].PenColor, 77);
    EXPECT_EQ((*fx.table)[3].FixedRadius, 5e9);
    fx.globals.RollingGearSize = 40;
    fx.genbox.Text4 = "ten";
    EXPECT_EQ(errorOf(fx, 3), ErrorKind::TypeMismatch);
}

TEST(GradientColor, InterpolatesEachChannelWithTiesToEven) {
    GenBox genbox;
    genbox.Picture1 = 255;
    genbox.Picture2 = 12582912;
    EXPECT_EQ(GradientColor(genbox, 0.5f), 6291584);
    EXPECT_EQ(GradientColor(genbox, 0.0f), 255);
    genbox.Picture1 = 0x00FF00;
    genbox.Picture2 = 0x0000FF;
    EXPECT_EQ(GradientColor(genbox, 0.25f), 0x00BF40);
}

TEST(GradientColor, BlueAbove255IsDrawnAs255) {
    // 16777216 splits into blue 256; the drawn colour must stay a 24-bit colour.
    GenBox genbox;
    genbox.Picture1 = 16777216;
    genbox.Picture2 = 16777216;
    EXPECT_EQ(GradientColor(genbox, 0.0f), 0xFF0000);
    genbox.Picture1 = 0;
    const std::int32_t nearEnd = GradientColor(genbox, 0.999f);
    EXPECT_EQ(nearEnd, 0xFF0000);
    EXPECT_LT(GradientColor(genbox, 0.5f), 16777216);
}

}  // namespace
}  // namespace loopster
