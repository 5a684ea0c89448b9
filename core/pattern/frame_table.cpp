// Linear interpolation of one frame's parameters between the sheet's from and to values.
#include "core/pattern/frame_table.h"

#include <algorithm>

#include "common/numeric.h"
#include "common/run_error.h"

namespace loopster {

namespace {

struct Channels {
    std::int32_t red;
    std::int32_t green;
    std::int32_t blue;
};

// Division rounds toward zero and the remainder takes the dividend's sign; blue is not reduced,
// so 16777216 splits into red 0, green 0, blue 256.
Channels split(std::int32_t colour) {
    return {colour % 256, (colour / 256) % 256, colour / 65536};
}

std::int32_t blend(std::int32_t start, std::int32_t end, double t) {
    const double v = roundHalfEven(start + (end - start) * t);
    return static_cast<std::int32_t>(std::clamp(v, 0.0, 255.0));
}

// a + (b - a) * f with the difference formed first and the product before the sum.
double interpolate(const std::string& from, const std::string& to, double f) {
    const double a = textToNumber(from);
    const double b = textToNumber(to);
    return a + (b - a) * f;
}

}  // namespace

FrameRecord& frameAt(FrameTable& table, int index) {
    if (index < 0 || index > kFrameTableLast) {
        throw RunError(ErrorKind::SubscriptOutOfRange);
    }
    return table[static_cast<std::size_t>(index)];
}

const FrameRecord& frameAt(const FrameTable& table, int index) {
    if (index < 0 || index > kFrameTableLast) {
        throw RunError(ErrorKind::SubscriptOutOfRange);
    }
    return table[static_cast<std::size_t>(index)];
}

std::int32_t GradientColor(const GenBox& genbox, float t) {
    const Channels start = split(genbox.Picture1);
    const Channels end = split(genbox.Picture2);
    const double fraction = static_cast<double>(t);
    return blend(start.red, end.red, fraction) + 256 * blend(start.green, end.green, fraction) +
           65536 * blend(start.blue, end.blue, fraction);
}

void BuildFrame(std::int16_t index, const GenBox& genbox, const PatternGlobals& globals,
                FrameTable& table) {
    FrameRecord& frame = frameAt(table, index);
    if (globals.FrameCount == 0) {
        throw RunError(ErrorKind::DivisionByZero);
    }
    const double f = static_cast<double>(index) / static_cast<double>(globals.FrameCount);

    frame.PenColor = GradientColor(genbox, static_cast<float>(f));
    frame.FixedRadius = 5.0 * globals.FixedGearSize;
    // A 16-bit product: a rolling gear beyond +-6553 overflows, after the colour and the fixed
    // radius are already stored.
    frame.RollingRadius = static_cast<double>(toInt16(5.0 * globals.RollingGearSize));
    frame.StartAngle = interpolate(genbox.Text4, genbox.Text5, f) / 180.0 * globals.PiValue;
    frame.PenOffset = interpolate(genbox.Text1, genbox.Text2, f) / 100.0 * frame.RollingRadius;
    frame.GearPosition = toInt16(interpolate(genbox.Text7, genbox.Text8, f));
}

}  // namespace loopster
