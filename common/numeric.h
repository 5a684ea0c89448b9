// Number rules shared by every subsystem: rounding half to even, checked conversions to 16- and
// 32-bit integers, and the conversions between sheet texts and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace loopster {

// Rounds to the nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Relies on the
// default rounding mode, which nothing in the program changes.
double roundHalfEven(double value);

// Round half to even, then a value outside the target range (or NaN) is the overflow error.
std::int16_t toInt16(double value);
std::int32_t toInt32(double value);

// The largest integer not above the value, as a double.
double floorOf(double value);

// Reads a decimal number text (blanks around it, an optional sign, digits, an optional fraction and
// exponent). Anything else is the type-mismatch error.
double textToNumber(std::string_view text);

// The decimal integer text that writers store: an optional "-" and digits, nothing else.
std::string integerText(long long value);

}  // namespace loopster
