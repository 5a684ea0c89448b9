// The randomiser against scripted random sequences: draw order, frame counts, gears and colours.
#include "core/pattern/randomiser.h"
#include "core/pattern/standard_random.h"

#include <gtest/gtest.h>

#include <cmath>

#include "seam/fake/fake_random.h"

namespace loopster {
namespace {

// A draw that makes floor(scale * u) equal `value`.
float drawFor(double value, double scale) {
    return static_cast<float>((value + 0.5) / scale);
}

struct Sheet {
    GenBox genbox;
    PatternGlobals globals;
};

TEST(NewPattern, FirstCallStartsFromTheStoredTargets) {
    Sheet run;
    // No new gears (0.5), pen 0, angle 90, position -100 + ..., a dark colour of 0.
    FakeRandom random({0.5f, 0.0f, drawFor(90, 360), 0.5f, 0.0f});
    const std::int16_t frames = NewPattern(run.genbox, run.globals, random);

    EXPECT_EQ(run.genbox.Text1, "250");
    EXPECT_EQ(run.genbox.Text4, "60");
    EXPECT_EQ(run.genbox.Text7, "-100");
    EXPECT_EQ(run.genbox.Picture1, 33023);
    EXPECT_EQ(run.genbox.Text2, "0");
    EXPECT_EQ(run.genbox.Text5, "90");
    EXPECT_EQ(run.genbox.Text8, "0");
    EXPECT_EQ(run.genbox.Picture2, 16777216);
    EXPECT_EQ(frames, 50);
    EXPECT_EQ(run.globals.FixedGearSize, 100.0);
    EXPECT_EQ(run.globals.RollingGearSize, 40);
    EXPECT_EQ(random.draws(), 5u);
    // The steps are never written.
    EXPECT_EQ(run.genbox.Text3, "5");
    EXPECT_EQ(run.genbox.Text6, "30");
    EXPECT_EQ(run.genbox.Text9, "0");
}

TEST(NewPattern, FrameCountFollowsRowOneOnly) {
    // |to - from| with the step 5, and the expected count.
    const struct {
        int distance;
        int frames;
    } cases[] = {{0, 1}, {1, 0}, {2, 0}, {3, 1}, {12, 2}, {13, 3}, {150, 30}, {250, 50}, {399, 80}};
    for (const auto& c : cases) {
        Sheet run;
        run.genbox.Text2 = "0";
        FakeRandom random({0.5f, drawFor(c.distance, 400), 0.5f, 0.5f, 0.0f});
        EXPECT_EQ(NewPattern(run.genbox, run.globals, random), c.frames) << c.distance;
    }
    // Ties round to even: 2.5 gives 2 and 3.5 gives 4 (reachable only with other steps).
    for (const auto& [step, frames] : {std::pair{"4", 2}, std::pair{"-4", 2}, std::pair{"2", 4}}) {
        Sheet run;
        run.genbox.Text2 = "0";
        run.genbox.Text3 = step;
        const float pen = std::string(step) == "2" ? drawFor(7, 400) : drawFor(10, 400);
        FakeRandom random({0.5f, pen, 0.5f, 0.5f, 0.0f});
        EXPECT_EQ(NewPattern(run.genbox, run.globals, random), frames) << step;
    }
}

TEST(NewPattern, GearTestAndFactorsAtTheirBounds) {
    {
        Sheet run;
        FakeRandom random({0.2f, 0.5f, 0.5f, 0.5f, 0.0f});
        NewPattern(run.genbox, run.globals, random);
        EXPECT_EQ(run.globals.RollingGearSize, 40) << "0.2 itself keeps the gears";
        EXPECT_EQ(random.draws(), 5u);
    }
    {
        Sheet run;
        FakeRandom random({0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f, 0.0f});
        NewPattern(run.genbox, run.globals, random);
        EXPECT_EQ(run.globals.RollingGearSize, 10);
        EXPECT_EQ(run.globals.FixedGearSize, 35.0);
        EXPECT_EQ(random.draws(), 8u);
    }
    {
        const float almostOne = std::nextafter(1.0f, 0.0f);
        Sheet run;
        FakeRandom random(
            {std::nextafter(0.2f, 0.0f), almostOne, almostOne, almostOne, 0.5f, 0.5f, 0.5f, 0.0f});
        NewPattern(run.genbox, run.globals, random);
        EXPECT_EQ(run.globals.RollingGearSize, 70);
        EXPECT_EQ(run.globals.FixedGearSize, 120.0);
    }
}

TEST(NewPattern, TargetsCoverTheirRanges) {
    const float almostOne = std::nextafter(1.0f, 0.0f);
    Sheet run;
    FakeRandom random({0.5f, almostOne, almostOne, almostOne, 0.0f});
    NewPattern(run.genbox, run.globals, random);
    EXPECT_EQ(run.genbox.Text2, "399");
    EXPECT_EQ(run.genbox.Text5, "359");
    EXPECT_EQ(run.genbox.Text8, "-100");

    FakeRandom tiny({0.5f, 0.0f, 0.0f, 1e-7f, 0.0f});
    NewPattern(run.genbox, run.globals, tiny);
    EXPECT_EQ(run.genbox.Text8, "99");
    EXPECT_EQ(run.genbox.Text7, "-100") << "the old target became the start";
}

TEST(NewPattern, ReplayingTheSequenceReplaysThePatterns) {
    StandardRandom first;
    StandardRandom second;
    first.seed(43210.5f);
    second.seed(43210.5f);
    Sheet a;
    Sheet b;
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(NewPattern(a.genbox, a.globals, first), NewPattern(b.genbox, b.globals, second));
    }
    EXPECT_EQ(a.genbox.Text2, b.genbox.Text2);
    EXPECT_EQ(a.genbox.Picture2, b.genbox.Picture2);
    EXPECT_EQ(a.globals.FixedGearSize, b.globals.FixedGearSize);
}

TEST(RandomDarkColor, AcceptsUpToFourHundredAndRedraws) {
    const auto drawOf = [](int value) { return static_cast<float>(value) * 0x1p-24f; };
    FakeRandom accepted({drawOf(37375)});
    EXPECT_EQ(RandomDarkColor(accepted), 37375);
    FakeRandom rejected({drawOf(37631), drawOf(65280)});
    EXPECT_EQ(RandomDarkColor(rejected), 65280);
    EXPECT_EQ(rejected.draws(), 2u);
}

TEST(RandomDarkColor, EndColourIsTheComplementPlusOne) {
    const auto endFor = [](int dark) {
        Sheet run;
        FakeRandom random({0.5f, 0.5f, 0.5f, 0.5f, static_cast<float>(dark) * 0x1p-24f});
        NewPattern(run.genbox, run.globals, random);
        return run.genbox.Picture2;
    };
    EXPECT_EQ(endFor(255), 16776961);
    EXPECT_EQ(endFor(65280), 16711936);
    EXPECT_EQ(endFor(0), 16777216);
}

// Offers one colour as the first draw and black, which always passes, after it.
class OneColourThenBlack final : public Random {
  public:
    void seed(float) override {}
    float next() override {
        ++draws;
        return draws == 1 ? static_cast<float>(colour) * 0x1p-24f : 0.0f;
    }
    std::int32_t colour = 0;
    int draws = 0;
};

TEST(RandomDarkColor, AcceptsExactlyTheColoursWhosePartsAddUpToAtMost400) {
    // Every 24-bit colour offered once: an accepted one comes back after one draw, a rejected one
    // is redrawn. Of the 16,777,216 colours, 9,271,406 have red + green + blue <= 400.
    OneColourThenBlack random;
    long long accepted = 0;
    long long wrong = 0;
    for (std::int32_t colour = 0; colour < 16777216; ++colour) {
        random.colour = colour;
        random.draws = 0;
        const std::int32_t result = RandomDarkColor(random);
        if (random.draws == 1 && result == colour) {
            ++accepted;
        } else if (random.draws != 2 || result != 0) {
            ++wrong;
        }
    }
    EXPECT_EQ(accepted, 9271406);
    EXPECT_EQ(wrong, 0) << "a colour was neither returned nor redrawn once";
}

}  // namespace
}  // namespace loopster
