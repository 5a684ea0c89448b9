// The pattern randomiser. The order of the random draws is part of the behaviour: a replayed
// sequence must give the same patterns, so every draw happens exactly where the comment says.
#include "core/pattern/randomiser.h"

#include "common/numeric.h"
#include "common/run_error.h"

namespace loopster {

namespace {

// floor(scale * u), the product in double precision from the single-precision draw.
double scaledDraw(Random& random, double scale) {
    return floorOf(scale * static_cast<double>(random.next()));
}

}  // namespace

std::int32_t RandomDarkColor(Random& random) {
    for (;;) {
        const auto v = static_cast<std::int32_t>(scaledDraw(random, 16777216.0));
        const std::int32_t red = v % 256;
        const std::int32_t green = (v / 256) % 256;
        const std::int32_t blue = v / 65536;
        if (red + green + blue <= 400) {
            return v;
        }
    }
}

std::int16_t NewPattern(GenBox& genbox, PatternGlobals& globals, Random& random) {
    // One time in five, a new gear pair. The two sizes share the factor y, so the gears stand in
    // the ratio z : x, which keeps every curve closing after a few hundred points.
    if (random.next() < 0.2f) {
        const double x = scaledDraw(random, 6.0) + 2.0;
        const double y = scaledDraw(random, 6.0) + 5.0;
        const double z = scaledDraw(random, 6.0) + 7.0;
        globals.RollingGearSize = toInt16(x * y);
        globals.FixedGearSize = y * z;
    }

    genbox.Text1 = genbox.Text2;
    genbox.Text4 = genbox.Text5;
    genbox.Text7 = genbox.Text8;
    genbox.Picture1 = genbox.Picture2;

    genbox.Text2 = integerText(static_cast<long long>(scaledDraw(random, 400.0)));
    genbox.Text5 = integerText(static_cast<long long>(scaledDraw(random, 360.0)));
    genbox.Text8 = integerText(static_cast<long long>(scaledDraw(random, -200.0) + 100.0));

    // The complement of a dark colour plus one: 16777216, not 16777215, so a dark colour of 0
    // gives 16777216 itself, which the gradient draws with blue clamped to 255.
    genbox.Picture2 = 16777216 - RandomDarkColor(random);

    const double to = textToNumber(genbox.Text2);
    const double from = textToNumber(genbox.Text1);
    const double step = textToNumber(genbox.Text3);
    if (step == 0.0) {
        throw RunError(ErrorKind::DivisionByZero);
    }
    double q = (to - from) / step;
    // The zero test comes before the rounding, so a quotient of 0.4 still gives 0 frames.
    if (q == 0.0) {
        q = 1.0;
    }
    if (q < 0.0) {
        q = -q;
    }
    return toInt16(q);
}

}  // namespace loopster
