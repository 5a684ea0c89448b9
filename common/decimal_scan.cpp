// The decimal reader for C++ libraries without a floating-point from_chars (the browser build's).
// It is a file of its own so that a program whose library has from_chars links none of it, and
// none of the strtod it calls: on Windows that alone is 19 KB of the saver.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "common/numeric.h"

namespace loopster {

// The grammar is scanned here and its extent converted by strtod, which rounds correctly as well;
// strtod reads the decimal mark of the C locale, which the programs never change.
std::from_chars_result scannedFromChars(const char* first, const char* last, double& value) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* p = first;
    if (p != last && *p == '-') {
        ++p;
    }
    // Infinity and NaN, in any case, as from_chars takes them.
    const auto startsWith = [&p, last](std::string_view word) {
        if (static_cast<std::size_t>(last - p) < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            if ((p[i] | 0x20) != word[i]) {
                return false;
            }
        }
        return true;
    };
    const double sign = p != first ? -1.0 : 1.0;
    if (startsWith("inf")) {
        value = sign * std::numeric_limits<double>::infinity();
        return {p + (startsWith("infinity") ? 8 : 3), std::errc()};
    }
    if (startsWith("nan")) {
        const char* end = p + 3;
        if (end != last && *end == '(') {
            const char* q = end + 1;
            while (q != last &&
                   (isDigit(*q) || ((*q | 0x20) >= 'a' && (*q | 0x20) <= 'z') || *q == '_')) {
                ++q;
            }
            if (q != last && *q == ')') {
                end = q + 1;
            }
        }
        value = sign * std::numeric_limits<double>::quiet_NaN();
        return {end, std::errc()};
    }
    bool anyDigit = false;
    bool nonZero = false;
    for (bool point = false; p != last; ++p) {
        if (isDigit(*p)) {
            anyDigit = true;
            nonZero = nonZero || *p != '0';
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) {
        return {first, std::errc::invalid_argument};
    }
    const char* end = p;
    if (p != last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q != last && (*q == '+' || *q == '-')) {
            ++q;
        }
        const char* const digits = q;
        while (q != last && isDigit(*q)) {
            ++q;
        }
        if (q != digits) {
            end = q;
        }
    }
    const std::string number(first, end);
    const double result = std::strtod(number.c_str(), nullptr);
    if (std::isinf(result) || (result == 0.0 && nonZero)) {
        return {end, std::errc::result_out_of_range};
    }
    value = result;
    return {end, std::errc()};
}

}  // namespace loopster
