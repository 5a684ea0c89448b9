// Number rules shared by every subsystem: rounding half to even, checked conversions to 16- and
// 32-bit integers, and the conversions between sheet texts and numbers.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace loopster {

// Rounds to the nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Relies on the
// default rounding mode, which nothing in the program changes.
// Inline, like the two conversions below: the curve tracer and the pixel mapping call them for
// every point of every frame.
inline double roundHalfEven(double value) {
    return std::nearbyint(value);
}

// Raises the overflow error; kept out of line so the conversions stay small.
[[noreturn]] void throwOverflow();

// Round half to even, then a value outside the target range (or NaN) is the overflow error.
template <typename Int>
inline Int checkedRound(double value) {
    const double rounded = roundHalfEven(value);
    // NaN fails both comparisons and so lands in the overflow branch too.
    if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) [[unlikely]] {
        throwOverflow();
    }
    return static_cast<Int>(rounded);
}
// std::from_chars of a double in the general format: an optional "-", digits with an optional
// point, an optional exponent; no blanks, no "+", no hexadecimal, no "inf" or "nan". A value
// beyond the double range is result_out_of_range and leaves `value` as it was.
std::from_chars_result decimalFromChars(const char* first, const char* last, double& value);
// The same for a standard library without the floating-point from_chars (libc++ 14, which the
// browser build uses); decimalFromChars calls it there.
std::from_chars_result scannedFromChars(const char* first, const char* last, double& value);

inline std::int16_t toInt16(double value) {
    return checkedRound<std::int16_t>(value);
}
inline std::int32_t toInt32(double value) {
    return checkedRound<std::int32_t>(value);
}

// The largest integer not above the value, as a double.
double floorOf(double value);

// Reads a decimal number text (blanks around it, an optional sign, digits, an optional fraction and
// exponent). Anything else is the type-mismatch error.
double textToNumber(std::string_view text);

// The decimal integer text that writers store: an optional "-" and digits, nothing else.
std::string integerText(long long value);

}  // namespace loopster
