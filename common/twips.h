// Twips (1/1440 inch), the unit of window and control places and of the screen's size, and their
// conversions to and from pixels. Both platforms use these, so the dialog and the screen size come
// out the same on each.
#pragma once

#include <algorithm>
#include <cmath>

namespace loopster {

inline constexpr int kTwipsPerInch = 1440;

// A resolution that the system could not tell (0 or less) counts as the usual 96 dots per inch.
inline double knownDotsPerInch(double dotsPerInch) {
    return dotsPerInch > 0.0 ? dotsPerInch : 96.0;
}

// Twips to pixels at the given resolution: 15 twips a pixel at 96 dots per inch. The nearest pixel,
// halves away from zero, which is what Win32's MulDiv gives; these are layout pixels, not one of
// the system's own numbers, which round half to even.
inline int twipsToPixels(int twips, double dotsPerInch) {
    return static_cast<int>(
        std::lround(static_cast<double>(twips) * knownDotsPerInch(dotsPerInch) / kTwipsPerInch));
}

// Twips per pixel as the run-time has always reported it for the screen: a whole number, 15 at 96
// dots per inch, 12 at 120, 10 at 144, and never less than 1.
inline double twipsPerPixel(double dotsPerInch) {
    return std::max(1.0, std::floor(kTwipsPerInch / knownDotsPerInch(dotsPerInch)));
}

}  // namespace loopster
