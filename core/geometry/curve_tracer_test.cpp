// The tracer against the worked examples and a sweep over every gear pair the randomiser can draw.
#include "core/geometry/curve_tracer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "common/run_error.h"

namespace loopster {
namespace {

constexpr double kPi = 3.141592654;

struct Tracer {
    std::unique_ptr<FrameTable> table = std::make_unique<FrameTable>();
    std::unique_ptr<CurveBuffer> curve = std::make_unique<CurveBuffer>();

    const CurveBuffer& trace(double R, double r, double p, double theta0, std::int16_t g,
                             std::int16_t index = 0) {
        (*table)[static_cast<std::size_t>(index)] = {R, r, p, theta0, 0, g};
        TraceCurve(index, *table, kPi, *curve);
        return *curve;
    }
    CurvePoint at(int i) const { return curve->CurvePoints[static_cast<std::size_t>(i)]; }
};

void expectPoint(CurvePoint point, int x, int y) {
    EXPECT_EQ(point.x, x);
    EXPECT_EQ(point.y, y);
}

TEST(TraceCurve, WorkedExampleClosesAfterTwoTurns) {
    Tracer tracer;
    const CurveBuffer& curve = tracer.trace(500, 200, 100, 0, -100);
    EXPECT_EQ(curve.PointCount, 200);
    expectPoint(tracer.at(0), 400, 0);
    expectPoint(tracer.at(1), 398, 3);
    expectPoint(tracer.at(200), 400, 0);
}

TEST(TraceCurve, PenAtTheCentreTracesACircle) {
    Tracer tracer;
    EXPECT_EQ(tracer.trace(500, 200, 0, 0, -100).PointCount, 100);
    expectPoint(tracer.at(0), 300, 0);
    expectPoint(tracer.at(100), 300, 0);
    // Every point lies on the circle of radius D = 300.
    for (int i = 0; i <= 100; ++i) {
        EXPECT_NEAR(std::hypot(tracer.at(i).x, tracer.at(i).y), 300.0, 0.75);
    }
}

TEST(TraceCurve, EqualGearsRollingInsideStayAtTheOrigin) {
    Tracer tracer;
    EXPECT_EQ(tracer.trace(200, 200, 0, 0, -100).PointCount, 1);
    expectPoint(tracer.at(0), 0, 0);
    expectPoint(tracer.at(1), 0, 0);
}

TEST(TraceCurve, SmallRatiosClampTheStepToFiftyPerTurn) {
    // R = r with the pen at the centre and the rolling centre at R: one turn, 50 steps.
    Tracer tracer;
    EXPECT_EQ(tracer.trace(200, 200, 0, 0, 0).PointCount, 50);
}

TEST(TraceCurve, GearPositionZeroRollsInside) {
    // g = 0: D = R and k = -R / r, compared against an independent evaluation.
    Tracer tracer;
    const double R = 500;
    const double r = 200;
    const double p = 80;
    const CurveBuffer& curve = tracer.trace(R, r, p, 0.3, 0);
    const double s = kPi / 50;
    const double theta = 0.3 + 7 * s;
    const double phi = 0.3 - R / r * (theta - 0.3);
    EXPECT_NEAR(tracer.at(7).x, R * std::cos(theta) + p * std::cos(phi), 0.5001);
    EXPECT_NEAR(tracer.at(7).y, R * std::sin(theta) + p * std::sin(phi), 0.5001);
    EXPECT_EQ(curve.PointCount, 200);
}

TEST(TraceCurve, CoordinatesRoundTiesToEven) {
    Tracer tracer;
    tracer.trace(2, 1, 0.5, 0, -100);  // first point (D + p) = 1 + 0.5 = 1.5 -> 2
    expectPoint(tracer.at(0), 2, 0);
    tracer.trace(2, 1, 1.5, 0, -100);  // 2.5 -> 2
    expectPoint(tracer.at(0), 2, 0);
    // PiValue is 4e-10 above pi, so its cosine is -1 to within 1e-19 and rounds to -1 exactly:
    // the first x is the tie -2.5 itself, and its sine a tiny negative y that rounds to 0.
    ASSERT_EQ(std::cos(kPi), -1.0);
    tracer.trace(2, 1, 1.5, kPi, -100);  // -2.5 -> -2
    expectPoint(tracer.at(0), -2, 0);
    tracer.trace(2, 1, 2.5, kPi, -100);  // -3.5 -> -4
    expectPoint(tracer.at(0), -4, 0);
}

TEST(TraceCurve, ShorterCurvesLeaveStalePointsAbovePointCount) {
    Tracer tracer;
    tracer.trace(500, 200, 100, 0, -100);
    const CurvePoint stale = tracer.at(150);
    EXPECT_EQ(tracer.trace(500, 200, 0, 0, -100).PointCount, 100);
    expectPoint(tracer.at(150), stale.x, stale.y);
}

TEST(TraceCurve, LimitsAreRunErrors) {
    Tracer tracer;
    EXPECT_THROW(TraceCurve(5001, *tracer.table, kPi, *tracer.curve), RunError);
    try {
        tracer.trace(10, 0, 0, 0, -100);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::DivisionByZero);
        EXPECT_EQ(tracer.curve->PointCount, 1) << "the first point is stored before the division";
    }
    try {
        tracer.trace(10, 300, 0, 0, -100);  // 20 * R < r: n = 0
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::DivisionByZero);
    }
    try {
        // An irrational-looking ratio never closes within the table.
        tracer.trace(500, 7 * std::sqrt(2.0), 3, 0, -100);
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.kind(), ErrorKind::SubscriptOutOfRange);
        EXPECT_EQ(tracer.curve->PointCount, 20001);
    }
}

TEST(TraceCurve, EveryCurveTheRandomiserCanDrawClosesWithin481Points) {
    Tracer tracer;
    int densest = 0;
    // The start gears (100, 40) and every pair x * y, y * z with x 2..7, y 5..10, z 7..12.
    std::vector<std::pair<int, int>> gears = {{100, 40}};
    for (int x = 2; x <= 7; ++x) {
        for (int y = 5; y <= 10; y += 5) {
            for (int z = 7; z <= 12; ++z) {
                gears.emplace_back(y * z, x * y);
            }
        }
    }
    for (const auto& [fixed, rolling] : gears) {
        for (std::int16_t g : {std::int16_t{-100}, std::int16_t{-37}, std::int16_t{0},
                               std::int16_t{1}, std::int16_t{64}, std::int16_t{100}}) {
            for (double percent : {0.0, 45.0, 250.0, 399.0}) {
                const double R = 5.0 * fixed;
                const double r = 5.0 * rolling;
                const CurveBuffer& curve = tracer.trace(R, r, percent / 100 * r, 1.1, g);
                ASSERT_LE(curve.PointCount, 480) << fixed << " " << rolling << " " << g;
                const CurvePoint first = tracer.at(0);
                const CurvePoint last = tracer.at(curve.PointCount);
                EXPECT_LE(std::abs(first.x - last.x) + std::abs(first.y - last.y), 1);
                densest = std::max(densest, static_cast<int>(curve.PointCount));
            }
        }
    }
    EXPECT_EQ(densest + 1, 481);
}

}  // namespace
}  // namespace loopster
