// The curve tracer: samples the roulette at equal steps of the rolling angle from its start point
// until the pen comes back to it.
#include "core/geometry/curve_tracer.h"

#include <cmath>

#include "common/numeric.h"
#include "common/run_error.h"

namespace loopster {

namespace {

void store(CurveBuffer& curve, int index, double x, double y) {
    if (index < 0 || index > kCurvePointsLast) {
        throw RunError(ErrorKind::SubscriptOutOfRange);
    }
    curve.CurvePoints[static_cast<std::size_t>(index)] = {toInt32(x), toInt32(y)};
}

}  // namespace

void TraceCurve(std::int16_t index, const FrameTable& table, double piValue, CurveBuffer& curve) {
    const FrameRecord& frame = frameAt(table, index);
    const double R = frame.FixedRadius;
    const double r = frame.RollingRadius;
    const double p = frame.PenOffset;
    const double theta0 = frame.StartAngle;
    const double g = frame.GearPosition;

    // The rolling gear's centre runs at R + r outside (g = 100), R - r inside (g = -100).
    const double D = R + r * (g / 100.0);

    const double x0 = (D + p) * std::cos(theta0);
    const double y0 = (D + p) * std::sin(theta0);
    store(curve, 0, x0, y0);
    curve.PointCount = 1;

    if (r == 0.0) {
        throw RunError(ErrorKind::DivisionByZero);
    }
    const double n = floorOf(20.0 * R / r);
    if (n == 0.0) {
        throw RunError(ErrorKind::DivisionByZero);
    }
    // One turn of the rolling angle takes 2n steps, and never fewer than 50.
    double s = piValue / n;
    if (s > piValue / 25.0) {
        s = piValue / 25.0;
    }
    // g = 0 counts as rolling inside.
    const double k = g > 0.0 ? R / r : -R / r;

    // The closing threshold is the angle step's own value compared with a distance in model
    // units: the curve ends when the pen is back within about a tenth of a unit of its start.
    double theta = theta0;
    bool first = true;
    for (;;) {
        theta += s;
        const double turned = first ? s : theta - theta0;
        first = false;
        const double phi = theta0 + k * turned;
        const double x = D * std::cos(theta) + p * std::cos(phi);
        const double y = D * std::sin(theta) + p * std::sin(phi);
        const double d = std::sqrt((x - x0) * (x - x0) + (y - y0) * (y - y0));
        store(curve, curve.PointCount, x, y);
        if (d <= s) {
            return;
        }
        ++curve.PointCount;
    }
}

}  // namespace loopster
